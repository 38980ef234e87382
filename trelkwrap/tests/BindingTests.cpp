#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include "BindingTestSupport.h"
#include "CDeviceManagement.h"
#include "CTrelkException.h"
#include "TrelkBinding.h"

// The binding against the odd test libraries, with the registry of this
// prefix; the unload and reload requests are the system-wide events.

namespace {

using Trelk::CLibraryBinding;

using BindingTesting::BinFolder;
using BindingTesting::DeleteValue;
using BindingTesting::kWaitMs;
using BindingTesting::Request;
using BindingTesting::SetValue;
using BindingTesting::TestLibrary;

void SetRawValue(const char* name, const void* data, DWORD size, DWORD type) {
  ASSERT_TRUE(BindingTesting::SetRawValue(name, data, size, type));
}

// A family of its own per test, under the value "TestLib".
CLibraryBinding::Family TestFamily(const char* fallback = "NoSuchTrelkLibrary.dll") {
  return CLibraryBinding::Family{"TestLib", fallback, "RUVON_Initialize", "RUVON_Terminate", true};
}

DWORD ApiVersion(CLibraryBinding& binding) {
  return binding.Forward<decltype(&RUVON_GetAPIVersion)>("RUVON_GetAPIVersion");
}

class BindingTest : public ::testing::Test {
protected:
  void SetUp() override {
    DeleteValue("TestLib");
    DeleteValue("Options");
  }
  void TearDown() override {
    DeleteValue("TestLib");
    DeleteValue("Options");
  }
};

TEST_F(BindingTest, PathComesFromTheRegistry) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  CLibraryBinding binding(TestFamily());
  // A non-negative result of the library's initialise is reported as 0.
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(ApiVersion(binding), 77u);
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_FALSE(binding.IsLoaded());
}

TEST_F(BindingTest, FallbackIsLoadedWhenTheValueIsMissingOrDoesNotLoad) {
  CLibraryBinding binding(TestFamily("TrelkTestFull.dll"));
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(ApiVersion(binding), 77u);
  EXPECT_EQ(binding.Terminate(0), 0u);

  ASSERT_TRUE(SetValue("TestLib", BinFolder() + "\\NotThere.dll"));
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(ApiVersion(binding), 77u);
  EXPECT_EQ(binding.Terminate(0), 0u);
}

TEST_F(BindingTest, PathValueWithoutTerminatorIsReadToItsEnd) {
  // 259 bytes of path and no terminator: read whole and terminated.
  std::string path = BinFolder() + "\\";
  const std::string file = "TrelkTestFull.dll";
  while (path.size() + file.size() + 2 <= 259) path += ".\\";
  if (path.size() + file.size() < 259) path += "\\";
  path += file;
  ASSERT_EQ(path.size(), 259u);
  SetRawValue("TestLib", path.data(), static_cast<DWORD>(path.size()), REG_BINARY);
  CLibraryBinding binding(TestFamily());
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(ApiVersion(binding), 77u);
  EXPECT_EQ(binding.Terminate(0), 0u);

  // A value that fills the whole buffer is not taken.
  std::string full(260, 'x');
  SetRawValue("TestLib", full.data(), static_cast<DWORD>(full.size()), REG_BINARY);
  EXPECT_EQ(binding.Initialize(31, 0), TRELK_BIND_NO_LIBRARY);
}

TEST_F(BindingTest, MissingLibraryFailsAndLeavesNothingCounted) {
  CLibraryBinding binding(TestFamily());
  EXPECT_EQ(binding.Initialize(31, 0), TRELK_BIND_NO_LIBRARY);
  EXPECT_EQ(binding.GetReferenceCount(), 0u);
  EXPECT_EQ(binding.Terminate(0), ELNYX_NOT_INITIALIZED);
}

TEST_F(BindingTest, LibraryWithoutInitialiseEntryIsFreedAndNeverReportedAsSuccess) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("NoInit")));
  CLibraryBinding binding(TestFamily());
  EXPECT_EQ(binding.Initialize(31, 0), TRELK_BIND_NO_ENTRY);
  EXPECT_EQ(GetModuleHandleA("TrelkTestNoInit.dll"), nullptr);
  EXPECT_EQ(binding.Initialize(31, 0), TRELK_BIND_NO_ENTRY);
  EXPECT_EQ(binding.GetReferenceCount(), 0u);
  EXPECT_EQ(ApiVersion(binding), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(binding.Terminate(0), ELNYX_NOT_INITIALIZED);
}

TEST_F(BindingTest, NegativeInitialiseResultIsReturnedAndTheLibraryFreed) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Negative")));
  CLibraryBinding binding(TestFamily());
  EXPECT_EQ(binding.Initialize(31, 0), ELNYX_INIT_FAILED);
  EXPECT_EQ(GetModuleHandleA("TrelkTestNegative.dll"), nullptr);
  EXPECT_FALSE(binding.IsLoaded());
  EXPECT_EQ(binding.Terminate(0), ELNYX_NOT_INITIALIZED);
}

TEST_F(BindingTest, CountedInitialiseAndTerminate) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  // The test's own reference keeps the library's counters across the binding's frees.
  HMODULE own = LoadLibraryA(TestLibrary("Full").c_str());
  ASSERT_NE(own, nullptr);
  typedef LONG(WINAPI * CounterFn)();
  CounterFn terminations = reinterpret_cast<CounterFn>(reinterpret_cast<void*>(GetProcAddress(own, "TestTerminateCount")));
  LONG before = terminations();

  CLibraryBinding binding(TestFamily());
  EXPECT_EQ(ApiVersion(binding), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_EQ(ApiVersion(binding), 77u);
  EXPECT_EQ(terminations(), before);
  EXPECT_EQ(binding.Forward<decltype(&LNYXSearchDevices)>("LNYXSearchDevices", 0u, 0u, 0u, nullptr, nullptr, nullptr),
            TRELK_BIND_NO_ENTRY);
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_EQ(terminations(), before + 1);
  EXPECT_EQ(ApiVersion(binding), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(binding.Terminate(0), ELNYX_NOT_INITIALIZED);
  FreeLibrary(own);
}

TEST_F(BindingTest, OptionsBitZeroSuppressesTheWatcher) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  CLibraryBinding binding(TestFamily());
  DWORD options = 1;
  SetRawValue("Options", &options, sizeof(options), REG_DWORD);
  ASSERT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_FALSE(binding.HasWatcher());
  EXPECT_EQ(binding.Terminate(0), 0u);
  options = 2;
  SetRawValue("Options", &options, sizeof(options), REG_DWORD);
  ASSERT_EQ(binding.Initialize(31, 0), 0u);
  EXPECT_TRUE(binding.HasWatcher());
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_FALSE(binding.HasWatcher());
  // A value of another type counts as 0.
  SetRawValue("Options", "1", 2, REG_SZ);
  EXPECT_EQ(binding.ReadOptions(), 0u);
}

TEST_F(BindingTest, UnloadAndReloadWhileFourThreadsCall) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  CLibraryBinding binding(TestFamily());
  ASSERT_EQ(binding.Initialize(29, 0), 0u);

  std::atomic<bool> stop(false);
  std::atomic<int> unexpected(0), answered(0);
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      while (!stop) {
        DWORD count = 0;
        DWORD result = (t % 2) ? ApiVersion(binding)
                               : binding.Forward<decltype(&LNYXGetDeviceCount)>("LNYXGetDeviceCount", 0u, &count);
        bool ok = result == ELNYX_NOT_INITIALIZED || (t % 2 ? result == 77u : (result == 0 && count == 2));
        if (!ok) ++unexpected;
        ++answered;
      }
    });
  }
  typedef LONG(WINAPI * CounterFn)();
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [&] { return !binding.IsLoaded(); }));
    EXPECT_EQ(ApiVersion(binding), ELNYX_NOT_INITIALIZED);
    EXPECT_EQ(binding.GetReferenceCount(), 1u);
    ASSERT_TRUE(Request(CLibraryBinding::ReloadEventName, [&] { return binding.IsLoaded(); }));
    EXPECT_EQ(ApiVersion(binding), 77u);
    // Re-initialised with the version of the first initialise.
    EXPECT_EQ(binding.Forward<CounterFn>("TestLastVersion"), 29u);
  }
  stop = true;
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(unexpected.load(), 0);
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_FALSE(binding.HasWatcher());
}

TEST_F(BindingTest, ReloadAfterTheLastTerminateLoadsNothing) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  CLibraryBinding binding(TestFamily());
  ASSERT_EQ(binding.Initialize(31, 0), 0u);
  ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [&] { return !binding.IsLoaded(); }));
  EXPECT_EQ(binding.Terminate(0), 0u);
  HANDLE reload = CreateEventA(nullptr, TRUE, FALSE, CLibraryBinding::ReloadEventName);
  SetEvent(reload);
  EXPECT_FALSE(binding.IsLoaded());
  EXPECT_FALSE(binding.HasWatcher());
  ResetEvent(reload);
  CloseHandle(reload);
}

// The families' own entries, with the device management wrapper over a library
// that misreports its listing.
TEST_F(BindingTest, DeviceManagementOverAMisbehavingLibrary) {
  EXPECT_EQ(RUVON_Terminate(0), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(LNYXOpenDM(nullptr), ELNYX_NOT_INITIALIZED);
  ASSERT_TRUE(SetValue("RUVON", TestLibrary("Full")));
  {
    Trelk::CDeviceManagement dm;
    dm.Initialize();
    dm.OpenDM();
    // Claims nine records where two were asked for: only two are read.
    Trelk::CTrelkDeviceList list;
    dm.GetDevices(list);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_STREQ(list.GetAt(1)->GetSerialNumber(), L"S2");
    EXPECT_THROW(list.GetAt(2), std::out_of_range);
    // Three connections announced without an array: none.
    EXPECT_EQ(dm.GetConnectionInfo(L"S1").GetConnectionCount(), 0u);
    // Success without a record: zeros.
    Trelk::CDeviceInfo info = dm.GetDeviceInfo(L"S1");
    EXPECT_EQ(info.GetFirstValue(), 0u);
    EXPECT_STREQ(info.GetSecondText(), L"");
  }
  EXPECT_FALSE(Trelk::RUVONBinding().IsLoaded());
  EXPECT_EQ(RUVON_Terminate(0), ELNYX_NOT_INITIALIZED);
  DeleteValue("RUVON");
}

}  // namespace

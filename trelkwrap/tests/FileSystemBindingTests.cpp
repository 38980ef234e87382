#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "BindingTestSupport.h"
#include "PhoneWorld.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"

// The file-system family's binding over the simulated library, and the
// device-management binding with "Options" not read, as the wizard binds
// them. The unload and reload requests are the system-wide events.

namespace {

using BindingTesting::DeleteValue;
using BindingTesting::Request;
using BindingTesting::SetValue;
using BindingTesting::TestLibrary;
using PhoneSim::Testing::CScratchWorld;
using Trelk::CLibraryBinding;
using Trelk::FSKORBinding;

class FileSystemBindingTest : public ::testing::Test {
protected:
  void SetUp() override {
    DeleteValue("FSKOR");
    DeleteValue("Options");
  }
  void TearDown() override {
    while (FSKORBinding().GetReferenceCount() > 0) FSKOR_Terminate(0);
    DeleteValue("Options");
  }
  CScratchWorld m_world;
};

TEST_F(FileSystemBindingTest, TerminateWithoutInitialiseIsRefused) {
  EXPECT_EQ(FSKOR_Terminate(0), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(LNYXCloseFS(1), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(LNYXAllocFileDataMemory(16), nullptr);
}

TEST_F(FileSystemBindingTest, WithoutAValueTheConnectivityLibraryIsLoadedAndCounted) {
  ASSERT_EQ(FSKOR_Initialize(30, 0), 0u);
  EXPECT_NE(GetModuleHandleA("Lanyx.dll"), nullptr);
  EXPECT_EQ(FSKOR_GetAPIVersion(), FSKOR_API_VERSION);
  EXPECT_TRUE(FSKORBinding().HasWatcher());
  ASSERT_EQ(FSKOR_Initialize(30, 0), 0u);
  EXPECT_EQ(FSKOR_Terminate(0), 0u);
  EXPECT_TRUE(FSKORBinding().IsLoaded());
  EXPECT_TRUE(FSKORBinding().HasWatcher());
  EXPECT_EQ(FSKOR_Terminate(0), 0u);
  // The watcher was stopped and waited for by the terminate itself.
  EXPECT_FALSE(FSKORBinding().IsLoaded());
  EXPECT_FALSE(FSKORBinding().HasWatcher());
  EXPECT_EQ(FSKOR_GetAPIVersion(), ELNYX_NOT_INITIALIZED);
}

TEST_F(FileSystemBindingTest, UnloadRequestAnswersNotLoadedUntilTheReload) {
  ASSERT_EQ(FSKOR_Initialize(30, 0), 0u);
  ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [] { return !FSKORBinding().IsLoaded(); }));
  DWORD handle = 0, number = 0;
  EXPECT_EQ(LNYXOpenFS(L"ANY", 1, &handle, &number), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(LNYXAllocFileDataMemory(16), nullptr);
  ASSERT_TRUE(Request(CLibraryBinding::ReloadEventName, [] { return FSKORBinding().IsLoaded(); }));
  EXPECT_EQ(FSKOR_GetAPIVersion(), FSKOR_API_VERSION);
  EXPECT_EQ(LNYXOpenFS(L"ANY", 1, &handle, &number), ELNYX_DEVICE_NOT_FOUND);
  EXPECT_EQ(FSKOR_Terminate(0), 0u);
}

TEST_F(FileSystemBindingTest, EveryForwarderReachesTheLibrarysEntryOfItsName) {
  ASSERT_EQ(FSKOR_Initialize(30, 0), 0u);
  struct Call {
    const char* name;
    std::function<DWORD()> call;
  };
  const DWORD_PTR z = 0;
  const std::vector<Call> calls = {
      {"LNYXOpenFS", [] { DWORD h = 0, n = 0; return LNYXOpenFS(L"X", 1, &h, &n); }},
      {"LNYXCloseFS", [] { return LNYXCloseFS(0); }},
      {"LNYXInstallApplication", [] { return LNYXInstallApplication(0, 0, nullptr, 0, 0, 0); }},
      {"LNYXRegisterFSNotifyCallback", [=] { return LNYXRegisterFSNotifyCallback(z, z, z); }},
      {"LNYXRegisterFSNotifyIF", [=] { return LNYXRegisterFSNotifyIF(z, z, z); }},
      {"LNYXRefreshDeviceMemoryValues", [=] { return LNYXRefreshDeviceMemoryValues(z); }},
      {"LNYXGetMemoryTypes", [=] { return LNYXGetMemoryTypes(z, z); }},
      {"LNYXGetMemoryValues", [=] { return LNYXGetMemoryValues(z, z, z, z, z); }},
      {"LNYXSetCurrentFolder", [=] { return LNYXSetCurrentFolder(z, z); }},
      {"LNYXGetCurrentFolder", [=] { return LNYXGetCurrentFolder(z, z); }},
      {"LNYXFindBegin", [=] { return LNYXFindBegin(z, z, z, z); }},
      {"LNYXFindNextFolder", [=] { return LNYXFindNextFolder(z, z); }},
      {"LNYXFindNextFile", [=] { return LNYXFindNextFile(z, z); }},
      {"LNYXFindEnd", [=] { return LNYXFindEnd(z); }},
      {"LNYXFreeFolderInfoStructure", [=] { return LNYXFreeFolderInfoStructure(z); }},
      {"LNYXGetConvertFileTypes", [=] { return LNYXGetConvertFileTypes(z, z, z); }},
      {"LNYXCreateFolder", [=] { return LNYXCreateFolder(z, z, z); }},
      {"LNYXDeleteFolder", [=] { return LNYXDeleteFolder(z, z, z, z); }},
      {"LNYXRenameFolder", [=] { return LNYXRenameFolder(z, z, z, z); }},
      {"LNYXGetFolderInfo", [=] { return LNYXGetFolderInfo(z, z, z, z, z, z); }},
      {"LNYXGetFileInfo", [=] { return LNYXGetFileInfo(z, z, z, z); }},
      {"LNYXDeleteFile", [=] { return LNYXDeleteFile(z, z, z); }},
      {"LNYXMoveFile", [=] { return LNYXMoveFile(z, z, z, z, z); }},
      {"LNYXCopyFile", [=] { return LNYXCopyFile(z, z, z, z, z); }},
      {"LNYXRenameFile", [=] { return LNYXRenameFile(z, z, z, z); }},
      {"LNYXReadFile", [=] { return LNYXReadFile(z, z, z, z, z); }},
      {"LNYXWriteFile", [=] { return LNYXWriteFile(z, z, z, z); }},
      {"LNYXCancel", [=] { return LNYXCancel(z); }},
      {"LNYXFreeFileInfoStructure", [=] { return LNYXFreeFileInfoStructure(z); }},
      {"LNYXFreeFolderContentStructure", [=] { return LNYXFreeFolderContentStructure(z); }},
      {"LNYXFreeFileDataMemory", [=] { return LNYXFreeFileDataMemory(z); }},
      {"LNYXConvertFile", [=] { return LNYXConvertFile(z, z, z, z); }},
      {"LNYXFreeConvertFileTypes", [=] { return LNYXFreeConvertFileTypes(z, z); }},
  };
  ASSERT_EQ(calls.size() + 1, 34u);  // and LNYXAllocFileDataMemory below
  // Each entry of the library fails once with a code of its own: a forwarder
  // that reached another entry, or none, answers something else.
  PhoneSim::CPhoneWorld world(m_world.Folder());
  for (size_t i = 0; i < calls.size(); ++i) world.InjectFault(calls[i].name, 0x8FF00000 + static_cast<DWORD>(i), 1);
  for (size_t i = 0; i < calls.size(); ++i)
    EXPECT_EQ(calls[i].call(), 0x8FF00000 + static_cast<DWORD>(i)) << calls[i].name;
  // The library hands out no memory; the forwarder passes its null on.
  EXPECT_EQ(LNYXAllocFileDataMemory(16), nullptr);
  EXPECT_EQ(FSKOR_Terminate(0), 0u);
  for (const Call& c : calls) EXPECT_EQ(c.call(), ELNYX_NOT_INITIALIZED) << c.name;
}

TEST_F(FileSystemBindingTest, DeviceManagementWithoutOptionsAlwaysStartsItsWatcher) {
  ASSERT_TRUE(SetValue("TestLib", TestLibrary("Full")));
  DWORD options = 1;
  ASSERT_TRUE(BindingTesting::SetRawValue("Options", &options, sizeof(options), REG_DWORD));
  CLibraryBinding binding(CLibraryBinding::Family{"TestLib", "NoSuchTrelkLibrary.dll", "RUVON_Initialize",
                                                  "RUVON_Terminate", true});
  binding.SetReadOptions(false);
  ASSERT_EQ(binding.Initialize(30, 0), 0u);
  EXPECT_TRUE(binding.HasWatcher());
  EXPECT_EQ(binding.ReadOptions(), 0u);
  EXPECT_EQ(binding.Terminate(0), 0u);
  EXPECT_FALSE(binding.HasWatcher());
  DeleteValue("TestLib");
}

}  // namespace

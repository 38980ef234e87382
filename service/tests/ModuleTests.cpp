#include <windows.h>
#include <gtest/gtest.h>
#include <thread>
#include "TestModule.h"

namespace {

BEGIN_OBJECT_MAP(g_testMap)
OBJECT_ENTRY(CLSID_TestObject, CTestObject)
END_OBJECT_MAP()

HRESULT WINAPI FailingFactoryCreator(void*, REFIID, void** ppv) {
  *ppv = nullptr;
  return E_OUTOFMEMORY;
}

_ATL_OBJMAP_ENTRY g_failingMap[] = {
    {&CLSID_TestObject, nullptr, FailingFactoryCreator, CTestObject::_CreatorClass::CreateInstance,
     nullptr, 0},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0}};

const UINT WM_TAKE_LOCK_AND_QUIT = WM_APP + 1;
const UINT WM_LOCK_AND_UNLOCK = WM_APP + 3;
const UINT WM_CREATE_OBJECT = WM_APP + 4;
const UINT WM_RELEASE_OBJECT = WM_APP + 5;

// Drives the module from inside its own message loop, as COM calls would.
class CDriver {
public:
  explicit CDriver(CAtlExeModule& module) : m_module(module) {
    s_driver = this;
    m_window = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    m_oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  }
  ~CDriver() {
    ::DestroyWindow(m_window);
    s_driver = nullptr;
  }
  void Post(UINT message) { ::PostMessageW(m_window, message, 0, 0); }

  HRESULT m_created = E_UNEXPECTED;
  CComPtr<IPersist> m_object;

  // Runs the module's server with a watchdog: a run that does not end in time
  // is ended and reported.
  HRESULT RunBounded() {
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD mainThread = ::GetCurrentThreadId();
    bool expired = false;
    std::thread watchdog([&] {
      if (::WaitForSingleObject(done, 20000) == WAIT_TIMEOUT) {
        expired = true;
        while (::WaitForSingleObject(done, 100) == WAIT_TIMEOUT)
          ::PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
      }
    });
    m_module.m_bDelayShutdown = true;
    HRESULT hr = m_module.Run();
    ::SetEvent(done);
    watchdog.join();
    ::CloseHandle(done);
    EXPECT_FALSE(expired) << "the server did not end by itself";
    return hr;
  }

private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    CDriver* self = s_driver;
    switch (message) {
      case WM_LOCK_AND_UNLOCK:
        self->m_module.Lock();
        self->m_module.Unlock();
        return 0;
      case WM_CREATE_OBJECT:
        self->m_created = ::CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_LOCAL_SERVER,
                                             IID_IPersist, reinterpret_cast<void**>(&self->m_object));
        self->Post(WM_RELEASE_OBJECT);
        return 0;
      case WM_RELEASE_OBJECT:
        self->m_object.Release();
        return 0;
      case WM_TAKE_LOCK_AND_QUIT:
        // A client came in just as the monitor decided to end the process.
        self->m_module.Lock();
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_QUIT, 0, 0);
        ::SetTimer(window, 1, 10, nullptr);
        return 0;
      case WM_TIMER:
        // The client lets go once the server has taken up serving again.
        if (g_testMap[0].dwRegister != 0) {
          ::KillTimer(window, 1);
          self->m_module.Unlock();
        }
        return 0;
    }
    return ::CallWindowProcW(self->m_oldProc, window, message, w, l);
  }

  static inline CDriver* s_driver = nullptr;
  CAtlExeModule& m_module;
  HWND m_window;
  WNDPROC m_oldProc;
};

TEST(ExeModule, LockAndUnlockCountAndReturnTheNewCount) {
  CTestModule module;
  EXPECT_EQ(1, module.Lock());
  EXPECT_EQ(2, module.Lock());
  EXPECT_EQ(1, module.Unlock());
  EXPECT_EQ(0, module.Unlock());
  EXPECT_TRUE(module.m_bActivity);
  EXPECT_EQ(0, module.GetLockCount());
}

TEST(ExeModule, LockCountIsExactUnderConcurrentCallers) {
  CTestModule module;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        module.Lock();
        module.Unlock();
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, module.GetLockCount());
}

TEST(ExeModule, TheGlobalInterfaceTableIsMadeOnceAndSharedOut) {
  CTestModule module;
  EXPECT_EQ(E_POINTER, module.GetGITPtr(nullptr));
  CComPtr<IGlobalInterfaceTable> a, b;
  ASSERT_EQ(S_OK, module.GetGITPtr(&a));
  ASSERT_EQ(S_OK, module.GetGITPtr(&b));
  EXPECT_EQ(a.p, b.p);
}

TEST(ExeModule, TheServerEndsAfterTheLastUnlockAndItsIdleTime) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  driver.Post(WM_LOCK_AND_UNLOCK);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_EQ(0, module.m_nShutdownsCancelled);
  EXPECT_EQ(0u, g_testMap[0].dwRegister);  // class objects revoked
}

TEST(ExeModule, AClientArrivingDuringShutdownKeepsTheServerServing) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  driver.Post(WM_TAKE_LOCK_AND_QUIT);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_EQ(1, module.m_nShutdownsCancelled);
  EXPECT_EQ(0, module.GetLockCount());
}

TEST(ExeModule, WhileServingTheClassIsCreatableInTheProcess) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  CComPtr<IPersist> before;
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            ::CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_LOCAL_SERVER, IID_IPersist,
                               reinterpret_cast<void**>(&before)));
  driver.Post(WM_CREATE_OBJECT);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_EQ(S_OK, driver.m_created);
}

TEST(ExeModule, AFailedClassObjectRegistrationEndsTheRunWithItsResult) {
  CTestModule module(g_failingMap);
  EXPECT_EQ(E_OUTOFMEMORY, module.Run());
}

TEST(ExeModule, WinMainRefusesToRunWhenInitialisationFailed) {
  CTestModule module;
  CAtlExeModule::m_bInitFailed = true;
  EXPECT_EQ(-1, module.WinMain(SW_HIDE));
  CAtlExeModule::m_bInitFailed = false;
  EXPECT_TRUE(module.m_calls.empty());
}

}  // namespace

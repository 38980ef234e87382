#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include "ComHeapObject.h"
#include "DllModule.h"
#include "TestModule.h"
#include "ZCLHandle.h"

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
const UINT WM_UNLOCK_AFTER_COUNTDOWN = WM_APP + 6;
const UINT_PTR kLateClientTimer = 1;
const UINT_PTR kCountdownTimer = 2;

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
  // Whether the server was still serving when it had counted down once.
  bool m_servedThroughCountdown = false;
  std::atomic<bool> m_expired{false};

  // Runs the module's server with a watchdog: a run that does not end in time
  // is ended and reported.
  HRESULT RunBounded() {
    CHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD mainThread = ::GetCurrentThreadId();
    std::thread watchdog([&] {
      if (::WaitForSingleObject(done.Get(), 20000) == WAIT_TIMEOUT) {
        m_expired = true;
        while (::WaitForSingleObject(done.Get(), 100) == WAIT_TIMEOUT)
          ::PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
      }
    });
    m_module.m_bDelayShutdown = true;
    HRESULT hr = m_module.Run();
    ::SetEvent(done.Get());
    watchdog.join();
    EXPECT_FALSE(m_expired) << "the server did not end by itself";
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
        ::SetTimer(window, kLateClientTimer, 10, nullptr);
        return 0;
      case WM_UNLOCK_AFTER_COUNTDOWN:
        ::SetTimer(window, kCountdownTimer, 10, nullptr);
        return 0;
      case WM_TIMER:
        if (w == kLateClientTimer && g_testMap[0].dwRegister != 0) {
          // The client lets go once the server has taken up serving again.
          ::KillTimer(window, kLateClientTimer);
          self->m_module.Unlock();
        } else if (w == kCountdownTimer &&
                   (self->m_module.m_nCountdownsEnded > 0 || self->m_expired)) {
          // A client held the server through a whole idle time, then lets go.
          ::KillTimer(window, kCountdownTimer);
          self->m_servedThroughCountdown =
              g_testMap[0].dwRegister != 0 && self->m_module.m_nShutdownsCancelled == 0;
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

// Wine starts a server for each of two clients that ask at the same moment;
// the one whose class object nobody reaches must still end.
TEST(ExeModule, AServerNobodyUsesEndsAfterItsIdleTime) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_EQ(0, module.m_nShutdownsCancelled);
  EXPECT_EQ(0u, g_testMap[0].dwRegister);
}

TEST(ExeModule, AServerHeldFromTheStartOutlastsItsFirstCountdown) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  module.Lock();  // a client that got in as the loop started
  driver.Post(WM_UNLOCK_AFTER_COUNTDOWN);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_TRUE(driver.m_servedThroughCountdown);
  EXPECT_EQ(0, module.m_nShutdownsCancelled);
  EXPECT_EQ(0, module.GetLockCount());
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

// --- Objects made without a factory: callbacks and event sinks.

class CHeapSink : public CComHeapObject<IPersist> {
public:
  CHeapSink() : CComHeapObject(1) {}
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    *clsid = CLSID_NULL;
    return S_OK;
  }
};

class CTestDllModule : public CAtlDllModuleT<CTestDllModule> {
public:
  CTestDllModule() : CAtlDllModuleT<CTestDllModule>(nullptr) {}
  DECLARE_LIBID(GUID_NULL)
  static HRESULT WINAPI UpdateRegistryAppIdRes(BOOL) { return S_OK; }
};

// A server or a document may call a library's sink after its owner has gone.
TEST(HeapObject, ASinkKeepsItsLibraryLoadedUntilItsLastRelease) {
  CTestDllModule library;
  CComPtr<IPersist> sink;
  sink.Attach(new CHeapSink);
  CComPtr<IPersist> second(sink);
  EXPECT_EQ(S_FALSE, library.DllCanUnloadNow());
  sink.Release();
  EXPECT_EQ(S_FALSE, library.DllCanUnloadNow());
  second.Release();
  EXPECT_EQ(S_OK, library.DllCanUnloadNow());
}

// A program ends when its clients have gone, whatever its own servers hold.
TEST(HeapObject, ASinkAServerStillHoldsDoesNotKeepItsProgramRunning) {
  CTestModule module(g_testMap);
  CDriver driver(module);
  CComPtr<IPersist> sink;
  sink.Attach(new CHeapSink);
  ASSERT_EQ(0, module.GetLockCount());  // a held lock would keep the run below going
  driver.Post(WM_LOCK_AND_UNLOCK);
  EXPECT_EQ(S_OK, driver.RunBounded());
  EXPECT_EQ(0, module.GetLockCount());
}

// --- Class factories and object creation: whatever the class throws, the
// caller gets an HRESULT and nothing is left locked.

template <class T>
CComPtr<IClassFactory> MakeFactory() {
  CComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, T::_ClassFactoryCreatorClass::CreateInstance(
                      reinterpret_cast<void*>(T::_CreatorClass::CreateInstance),
                      IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  return factory;
}

std::wstring ErrorDescription() {
  CComPtr<IErrorInfo> info;
  CComBSTR text;
  if (::GetErrorInfo(0, &info) == S_OK) info->GetDescription(&text);
  return text ? text.m_str : L"";
}

class ComCreationTest : public ::testing::Test {
protected:
  void SetUp() override {
    CTestObject::Reset();
    CTestSingleton::Reset();
  }
  void TearDown() override {
    CTestObject::Reset();
    CTestSingleton::Reset();
  }
  // One creation through the factory; the object must be empty on failure.
  static HRESULT Create(IClassFactory* factory) {
    CComPtr<IPersist> object;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&object));
    EXPECT_EQ(SUCCEEDED(hr), object.p != nullptr);
    return hr;
  }
  CTestModule m_module;
};

TEST_F(ComCreationTest, AThrowingClassFailsItsCreationWithAResult) {
  CComPtr<IClassFactory> factory = MakeFactory<CTestObject>();
  ASSERT_TRUE(factory);

  CTestObject::s_throw = CTestObject::ThrowInConstructor;
  EXPECT_EQ(E_ACCESSDENIED, Create(factory));
  EXPECT_NE(std::wstring::npos, ErrorDescription().find(L"no object today"));
  EXPECT_EQ(0, CTestObject::s_constructs);
  EXPECT_EQ(0, m_module.GetLockCount());

  CTestObject::s_throw = CTestObject::ThrowInFinalConstruct;
  EXPECT_EQ(E_UNEXPECTED, Create(factory));
  EXPECT_EQ(1, CTestObject::s_constructs);
  EXPECT_EQ(1, CTestObject::s_releases);  // the half-made object went
  EXPECT_EQ(0, m_module.GetLockCount());

  CTestObject::s_throw = CTestObject::ThrowNowhere;
  EXPECT_EQ(S_OK, Create(factory));
}

TEST_F(ComCreationTest, ASingletonRemembersAThrownFailure) {
  CComPtr<IClassFactory> factory = MakeFactory<CTestSingleton>();
  ASSERT_TRUE(factory);
  CTestSingleton::s_throw = CTestSingleton::ThrowInConstructor;
  EXPECT_EQ(E_ACCESSDENIED, Create(factory));
  CTestSingleton::s_throw = CTestSingleton::ThrowNowhere;
  EXPECT_EQ(E_ACCESSDENIED, Create(factory));
  EXPECT_EQ(0, m_module.GetLockCount());
}

TEST_F(ComCreationTest, AFinalReleaseThatThrowsStillEndsTheObject) {
  CComPtr<IPersist> object;
  ASSERT_EQ(S_OK, CTestObject::CreateInstance(&object.p));
  EXPECT_EQ(1, m_module.GetLockCount());
  CTestObject::s_throw = CTestObject::ThrowInFinalRelease;
  object.Release();
  EXPECT_EQ(1, CTestObject::s_releases);
  EXPECT_EQ(0, m_module.GetLockCount());
}

// A module whose lock count cannot be taken.
class CFailingLockModule : public CTestModule {
public:
  LONG Lock() override { throw ZCLComException(E_OUTOFMEMORY, "no lock"); }
};

TEST(ComFactory, LockServerAnswersWhenTheModuleThrows) {
  CFailingLockModule module;
  CComPtr<IClassFactory> factory = MakeFactory<CTestObject>();
  ASSERT_TRUE(factory);
  EXPECT_EQ(E_OUTOFMEMORY, factory->LockServer(TRUE));
  EXPECT_EQ(0, module.GetLockCount());
}

}  // namespace

#include <windows.h>
#include <cwctype>
#include "ExeModule.h"
#include "Registrar.h"
#include "ZCLFrame.h"

bool CAtlExeModule::m_bInitFailed = false;

HRESULT AtlAddReplacement(IRegistrarBase* registrar, LPCOLESTR key, LPCOLESTR item) {
  if (!registrar) return E_POINTER;
  return registrar->AddReplacement(key, item);
}

CAtlExeModule::CAtlExeModule(_ATL_OBJMAP_ENTRY* objectMap)
    : m_dwMainThreadID(::GetCurrentThreadId()), m_pObjMap(objectMap) {
  HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr))
    m_bComInitialized = true;
  else if (hr != RPC_E_CHANGED_MODE)  // an apartment of another kind still serves
    m_bInitFailed = true;
}

CAtlExeModule::~CAtlExeModule() { Term(); }

LONG CAtlExeModule::Unlock() {
  LONG count = CAtlModule::Unlock();
  if (count == 0) {
    if (m_bDelayShutdown) {
      m_bActivity = true;
      if (m_shutdownEvent.IsCreated()) ::SetEvent(m_shutdownEvent.Handle());
    } else {
      ::PostThreadMessageW(m_dwMainThreadID, WM_QUIT, 0, 0);
    }
  }
  return count;
}

LPCWSTR CAtlExeModule::FindOneOf(LPCWSTR text, LPCWSTR chars) {
  for (; text && *text; ++text)
    for (LPCWSTR c = chars; *c; ++c)
      if (*text == *c) return text + 1;
  return nullptr;
}

bool CAtlExeModule::IsSwitch(LPCWSTR token, LPCWSTR word) {
  for (; *word; ++token, ++word)
    if (!*token || std::towupper(*token) != std::towupper(*word)) return false;
  return *token == 0 || *token == L' ' || *token == L'\t';
}

bool CAtlExeModule::ParseCommandLine(LPCWSTR commandLine, HRESULT* pnRetCode) {
  *pnRetCode = S_OK;
  for (LPCWSTR token = FindOneOf(commandLine, L"-/"); token; token = FindOneOf(token, L"-/")) {
    if (IsSwitch(token, L"UnregServer")) {
      *pnRetCode = UnregisterServer(TRUE);
      return false;
    }
    if (IsSwitch(token, L"RegServer")) {
      *pnRetCode = RegisterServer(TRUE);
      return false;
    }
  }
  return true;
}

HRESULT CAtlExeModule::RegisterServer(BOOL bRegTypeLib) { return AtlRegisterServer(*this, m_pObjMap, bRegTypeLib); }

HRESULT CAtlExeModule::UnregisterServer(BOOL bUnRegTypeLib) {
  return AtlUnregisterServer(*this, m_pObjMap, bUnRegTypeLib, false);
}

int CAtlExeModule::WinMain(int nShowCmd) {
  if (m_bInitFailed) return -1;
  HRESULT hr = S_OK;
  if (ParseCommandLine(::GetCommandLineW(), &hr)) hr = Run(nShowCmd);
  return hr;
}

HRESULT CAtlExeModule::RegisterClassObjects(DWORD context, DWORD flags) {
  HRESULT hr = AtlRegisterClassObjects(m_pObjMap, context, flags);
  if (FAILED(hr)) AtlRevokeClassObjects(m_pObjMap);
  return hr;
}

HRESULT CAtlExeModule::RevokeClassObjects() { return AtlRevokeClassObjects(m_pObjMap); }

HRESULT CAtlExeModule::Run(int) {
  HRESULT hr = RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
  if (FAILED(hr)) return hr;
  // A failed start leaves the event to Term: a client that got in once the
  // class objects were registered may still unlock and signal it.
  if (m_bDelayShutdown && FAILED(StartMonitor())) {
    RevokeClassObjects();
    return E_FAIL;
  }
  for (;;) {
    StartCountdown();
    RunMessageLoop();
    // Once the class objects are revoked no new activation reaches this
    // process. One that got in before (its client already holds the class
    // object) is still served during the pause and shows in the lock count:
    // then the process serves on instead of ending under that client.
    hr = RevokeClassObjects();
    PumpMessagesFor(m_dwPause);
    if (FAILED(hr) || GetLockCount() == 0) break;
    ++m_nShutdownsCancelled;
    hr = RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
    if (FAILED(hr)) break;
  }
  return hr;
}

// An instance nobody ever uses must end too (Wine starts a server for each of
// two clients that ask at the same moment; one registration serves both), so
// the idle countdown starts with the loop and not only at the last unlock.
// The thread's queue exists before the monitor can post the quit to it.
void CAtlExeModule::StartCountdown() {
  if (!m_bDelayShutdown || !m_monitor) return;
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  ::SetEvent(m_shutdownEvent.Handle());
}

void CAtlExeModule::RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void CAtlExeModule::PumpMessagesFor(DWORD milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ULONGLONG now = ::GetTickCount64();
    if (now >= end) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

HRESULT CAtlExeModule::StartMonitor() {
  if (m_monitor) return S_OK;
  if (!ZCLGuarded(3, ZCL_SITE, [&] {
        if (!m_shutdownEvent.IsCreated()) m_shutdownEvent.Create();
      }))
    return E_FAIL;
  m_bStopMonitor = false;
  m_monitor.Reset(::CreateThread(nullptr, 0, MonitorProc, this, 0, nullptr));
  return m_monitor ? S_OK : E_FAIL;
}

// The monitor only waits on the event and posts, so waiting for it to end
// cannot hang.
void CAtlExeModule::StopMonitor() {
  if (!m_monitor) return;
  m_bStopMonitor = true;
  ::SetEvent(m_shutdownEvent.Handle());
  ::WaitForSingleObject(m_monitor.Get(), INFINITE);
  m_monitor.Reset();
}

DWORD WINAPI CAtlExeModule::MonitorProc(void* module) {
  ZCLGuarded(1, ZCL_SITE, [module] { static_cast<CAtlExeModule*>(module)->MonitorShutdown(); });
  return 0;
}

// The countdown restarts with every unlock that reaches zero; the quit goes
// out only when a whole time-out passed without one and nothing is locked.
// The monitor then waits again, for the case that the main thread finds a
// late client and serves on.
void CAtlExeModule::MonitorShutdown() {
  for (;;) {
    m_shutdownEvent.Wait(INFINITE);
    bool signalled;
    do {
      if (m_bStopMonitor) return;
      m_bActivity = false;
      signalled = m_shutdownEvent.Wait(m_dwTimeOut);
    } while (signalled);
    if (m_bStopMonitor) return;
    if (!m_bActivity && GetLockCount() == 0)
      ::PostThreadMessageW(m_dwMainThreadID, WM_QUIT, 0, 0);
    ++m_nCountdownsEnded;
  }
}

void CAtlExeModule::Term() {
  if (m_bTermed) return;
  m_bTermed = true;
  StopMonitor();
  RevokeClassObjects();
  AtlReleaseClassFactories(m_pObjMap);
  ReleaseGIT();
  AtlReleaseTypeInfos();
  if (m_bComInitialized) {
    ::CoUninitialize();
    m_bComInitialized = false;
  }
  m_shutdownEvent.Close();
}

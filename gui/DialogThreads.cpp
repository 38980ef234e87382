#include <windows.h>
#include <memory>
#include "AppModule.h"
#include "CCallDialog.h"
#include "CCallUI.h"
#include "CSmsDialog.h"
#include "CThreadHandle.h"
#include "ComModule.h"
#include "DialogThreads.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLThreadName.h"

namespace {

// A window thread is a single-threaded apartment of its own: the handler it
// takes out of the global interface table is valid there.
class CApartmentScope {
public:
  CApartmentScope() : m_joined(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~CApartmentScope() {
    if (m_joined) ::CoUninitialize();
  }

private:
  bool m_joined;
};

// A window thread keeps the module loaded and busy (DllCanUnloadNow answers
// S_FALSE) for as long as its window lives.
class CModuleLockScope {
public:
  CModuleLockScope() {
    if (_pAtlModule) _pAtlModule->Lock();
  }
  ~CModuleLockScope() {
    if (_pAtlModule) _pAtlModule->Unlock();
  }
};

// Centred, then offset by 20 pixels per placement step, size unchanged, not
// activated; then shown.
void PlaceWindow(HWND window, int placementIndex, HWND insertAfter) {
  CWindow(window).CenterWindow();
  RECT r;
  ::GetWindowRect(window, &r);
  ::SetWindowPos(window, insertAfter, r.left + 20 * placementIndex, r.top + 20 * placementIndex,
                 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
}

// Runs the window's loop with the window as its dialog-key filter.
template <class Dialog>
int RunWindowLoop(Dialog& dialog) {
  CMessageLoop loop;
  bool registered = _pWtlModule && _pWtlModule->AddMessageLoop(&loop);
  loop.AddMessageFilter(&dialog);
  int result = loop.Run();
  loop.RemoveMessageFilter(&dialog);
  if (registered) _pWtlModule->RemoveMessageLoop();
  return result;
}

// The window thread: names itself, makes the window, runs its loop, and
// frees the parameter record when the loop ends.
template <class Dialog, class Params>
unsigned RunDialogThread(Params* parameter, const char* threadName, HWND insertAfter,
                         void (CCallUI::*removeEntry)(HWND)) {
  CModuleLockScope moduleLock;
  CApartmentScope apartment;
  std::unique_ptr<Params> params(parameter);  // released before the apartment ends
  ZCLSetThreadName(0xFFFFFFFF, threadName);
  int result = 0;
  ZCLGuarded(1, ZCL_SITE, [&] {
    Dialog dialog(*params);
    if (!dialog.Create(nullptr, 0, params->templateId)) {
      ZCLLogMessage(1, nullptr, "%s: the window could not be created (error %lu)", threadName,
                    static_cast<unsigned long>(::GetLastError()));
      return;
    }
    PlaceWindow(dialog.m_hWnd, params->placementIndex, insertAfter);
    result = RunWindowLoop(dialog);
    // A loop ended from outside leaves the window: take it out of the registry.
    if (dialog.m_hWnd) (params->owner->*removeEntry)(dialog.m_hWnd);
  });
  return static_cast<unsigned>(result);
}

unsigned __stdcall CallDialogThread(void* parameter) {
  auto* params = static_cast<CallDialogParams*>(parameter);
  // Every path signals the caller; after the window did, this is harmless.
  std::shared_ptr<CEventHandle> ready = params->ready;
  unsigned result = RunDialogThread<CCallDialog>(params, "CallDialogThread", HWND_TOP,
                                                 &CCallUI::RemoveCallWindow);
  ready->Set();
  return result;
}

unsigned __stdcall SmsDialogThread(void* parameter) {
  return RunDialogThread<CSmsDialog>(static_cast<SmsDialogParams*>(parameter), "SmsDialogThread",
                                     HWND_TOPMOST, &CCallUI::RemoveMessageWindow);
}

// Starts the thread and lets it go; false when it could not be started.
bool StartWindowThread(ZCLThreadProcedure procedure, void* parameter) {
  CThreadHandle thread;
  if (!thread.Create(procedure, parameter, 0)) return false;
  thread.Close();
  return true;
}

}  // namespace

void CHandlerPassage::Put(ICallHandler* handler) {
  m_cookie.Revoke();
  if (!handler) return;
  try {
    m_cookie = CGitCookie(handler, __uuidof(ICallHandler), "CallHandler");
  } catch (const ZCLComException& e) {
    ZCLLogMessage(1, nullptr, "The call handler cannot reach the window (0x%08lX)",
                  static_cast<unsigned long>(e.GetHResult()));
  }
}

CComPtr<ICallHandler> CHandlerPassage::Take() {
  CComPtr<ICallHandler> handler;
  if (FAILED(m_cookie.CopyTo(&handler))) handler.Release();
  m_cookie.Revoke();
  return handler;
}

CCallDialogTask::~CCallDialogTask() {
  if (!m_params) return;
  ZCLGuarded(3, ZCL_SITE, [&] {
    std::shared_ptr<CEventHandle> ready = m_params->ready;
    delete m_params;
    if (ready) ready->Set();
  });
}

void CCallDialogTask::Execute() {
  CallDialogParams* params = m_params;
  m_params = nullptr;
  if (!StartWindowThread(&CallDialogThread, params)) {
    m_params = params;  // the destructor frees it and signals the caller
    ZCLLogMessage(1, nullptr, "The call window's thread could not be started");
  }
}

CSmsDialogTask::~CSmsDialogTask() {
  if (!m_params) return;
  ZCLGuarded(3, ZCL_SITE, [&] { delete m_params; });
}

void CSmsDialogTask::Execute() {
  SmsDialogParams* params = m_params;
  m_params = nullptr;
  if (!StartWindowThread(&SmsDialogThread, params)) {
    m_params = params;
    ZCLLogMessage(1, nullptr, "The text-message window's thread could not be started");
  }
}

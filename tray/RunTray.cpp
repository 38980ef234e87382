#include <windows.h>
#include "RunTray.h"
#include <commctrl.h>
#include <memory>
#include <string>
#include "AppModule.h"
#include "CCallBackImp.h"
#include "CInstanceLock.h"
#include "CZembraTrayWindow.h"
#include "TrayShell.h"
#include "ZCLException.h"
#include "ZCLText.h"
#include "resource.h"

const wchar_t kTrayLockName[] = L"{765F3E92-6358-4f10-A233-76A60F065916}";

namespace {

void ShowBox(UINT textId, UINT style) {
  std::wstring product = LoadResourceString(IDS_PRODUCT);
  TrayShell().ShowMessage(nullptr, FormatResourceString(textId, product.c_str()).c_str(), product.c_str(), style);
}

// Runs on the lock's watcher thread: the window is reached by posting only.
void ExitCallback(const wchar_t*) {
  HWND window = GetRegisteredTrayWindow();
  if (window) ::PostMessageW(window, WM_COMMAND, ID_APP_EXIT, 0);
}

int RunWindow(CInstanceLock& lock) {
  CMessageLoop loop;
  if (_pWtlModule) _pWtlModule->AddMessageLoop(&loop);
  struct LoopRegistration {
    ~LoopRegistration() {
      if (_pWtlModule) _pWtlModule->RemoveMessageLoop();
    }
  } registration;
  auto window = std::make_unique<CZembraTrayWindow>();
  if (FAILED(window->ConnectService())) {
    ShowBox(IDS_INIT_FAILED, MB_ICONERROR);
    return 2;
  }
  if (!window->CreateTray()) {
    ShowBox(IDS_INIT_FAILED, MB_ICONERROR);
    return 3;
  }
  lock.SetCallback(&ExitCallback);
  lock.StartWatcher();
  int result = loop.Run();
  // The watcher waits for the event alone: wake it before joining it.
  lock.SignalOtherInstance(L"");
  lock.WaitForWatcher(INFINITE);
  window.reset();  // disconnects from the service
  return result;
}

}  // namespace

int RunTray(const wchar_t* commandLine) {
  std::wstring line = ZCLNullToEmpty(commandLine);
  std::unique_ptr<CInstanceLock> lock;
  try {
    lock = std::make_unique<CInstanceLock>(kTrayLockName, 1);
  } catch (const ZCLException&) {
    ShowBox(IDS_INIT_FAILED, MB_ICONERROR);
    return 2;
  }
  if (line.find(L"-stop") != std::wstring::npos) {
    lock->SignalOtherInstance(line.c_str());
    return 1;
  }
  if (line.find(L"-help") != std::wstring::npos || line.find(L"/?") != std::wstring::npos || !line.empty()) {
    ShowBox(IDS_HELP, MB_OK);
    return 1;
  }
  if (!lock->TryAcquire()) return 0;
  return RunWindow(*lock);
}

int TrayMain(HINSTANCE instance, const wchar_t* commandLine) {
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  CAppModule module;
  module.Init(instance);
  int result = RunTray(commandLine);
  module.Term();
  ::CoUninitialize();
  return result;
}

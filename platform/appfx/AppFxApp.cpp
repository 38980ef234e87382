#include <windows.h>
#include <map>
#include "AppFxApp.h"
#include "CLockable.h"

namespace {

// Filled and read on any window thread: the lock is held only to look up or
// change an entry, never while a window is called.
class CWindowMap {
public:
  CWindowMap() { InitializeCriticalSection(&m_lock); }
  void Set(HWND window, CAppFxWnd* target) {
    CCriticalSectionGuard guard(m_lock);
    m_windows[window] = target;
  }
  void Erase(HWND window) {
    CCriticalSectionGuard guard(m_lock);
    m_windows.erase(window);
  }
  CAppFxWnd* Find(HWND window) {
    CCriticalSectionGuard guard(m_lock);
    auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : it->second;
  }

private:
  CRITICAL_SECTION m_lock;
  std::map<HWND, CAppFxWnd*> m_windows;
};

CWindowMap& Map() {
  static CWindowMap* map = new CWindowMap();  // windows may outlive static destruction
  return *map;
}

CAppFxApp* g_app = nullptr;

int CALLBACK SystemMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return ::MessageBoxW(owner, text, caption, type);
}
AppFxMessageBoxFn g_messageBox = &SystemMessageBox;

// The command line after the program's name, which may be quoted.
LPWSTR SkipProgramName(LPWSTR line) {
  if (!line) return const_cast<LPWSTR>(L"");
  bool quoted = false;
  while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') quoted = !quoted;
    ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

void AppFxMapWindow(HWND window, CAppFxWnd* target) {
  if (window && target) Map().Set(window, target);
}
void AppFxUnmapWindow(HWND window) { Map().Erase(window); }
CAppFxWnd* AppFxLookupWindow(HWND window) { return Map().Find(window); }

BOOL AppFxPreTranslate(MSG* msg) {
  for (HWND window = msg->hwnd; window; window = ::GetParent(window)) {
    if (CAppFxWnd* target = AppFxLookupWindow(window))
      if (target->PreTranslateMessage(msg)) return TRUE;
    if (!(::GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) break;  // the owner is not a parent
  }
  return FALSE;
}

bool AppFxRunModalLoop(HWND dialog, HWND owner, const bool* ended) {
  return WtlRunModalLoop(dialog, owner, ended, [](HWND, MSG* msg) { return AppFxPreTranslate(msg); });
}

CAppFxApp::CAppFxApp() {
  if (!g_app) g_app = this;
}

CAppFxApp::~CAppFxApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CAppFxApp::PumpMessage() {
  MSG msg;
  BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
  if (got == -1) return FALSE;
  if (!got) {
    m_exitCode = static_cast<int>(msg.wParam);
    return FALSE;
  }
  if (!AppFxPreTranslate(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return TRUE;
}

int CAppFxApp::Run() {
  while (PumpMessage()) {
  }
  return ExitInstance();
}

int CAppFxApp::MessageBox(LPCWSTR text, UINT type, LPCWSTR caption) {
  HWND owner = m_hMainWnd && ::IsWindow(m_hMainWnd) ? m_hMainWnd : nullptr;
  return g_messageBox(owner, text, caption ? caption : m_pszAppName, type);
}

CAppFxApp* AppFxGetApp() { return g_app; }

AppFxMessageBoxFn AppFxSetMessageBox(AppFxMessageBoxFn show) {
  AppFxMessageBoxFn previous = g_messageBox;
  g_messageBox = show ? show : &SystemMessageBox;
  return previous;
}

int AppFxWinMain(HINSTANCE instance, LPWSTR, int show) {
  CAppFxApp* app = AppFxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = SkipProgramName(::GetCommandLineW());
  app->m_nCmdShow = show;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

#include <windows.h>
#include <cstdlib>
#include "FullScreen.h"

bool IsAnotherProgramFullScreen(const ForegroundFacts& facts) {
  if (!facts.present || facts.desktopOrShell || !facts.haveRects) return false;
  LONG width = std::labs(facts.window.right - facts.window.left);
  LONG height = std::labs(facts.window.bottom - facts.window.top);
  LONG monitorWidth = std::labs(facts.monitor.right - facts.monitor.left);
  LONG monitorHeight = std::labs(facts.monitor.bottom - facts.monitor.top);
  if (width > monitorWidth && height > monitorHeight && !facts.maximised) return true;
  if (width >= monitorWidth && height >= monitorHeight)
    return (facts.style & (WS_CAPTION | WS_THICKFRAME)) == 0;
  return false;
}

ForegroundFacts ReadForegroundFacts() {
  ForegroundFacts facts;
  HWND foreground = ::GetForegroundWindow();
  if (!foreground) return facts;
  facts.present = true;
  wchar_t className[16] = L"";
  ::GetClassNameW(foreground, className, 16);
  facts.desktopOrShell = foreground == ::GetDesktopWindow() || foreground == ::GetShellWindow() ||
                         wcscmp(className, L"#32769") == 0;
  HMONITOR monitor = ::MonitorFromWindow(foreground, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info = {sizeof(info)};
  if (::GetWindowRect(foreground, &facts.window) && monitor && ::GetMonitorInfoW(monitor, &info)) {
    facts.monitor = info.rcMonitor;
    facts.haveRects = true;
  }
  facts.maximised = ::IsZoomed(foreground) != FALSE;
  facts.style = ::GetWindowLongPtrW(foreground, GWL_STYLE);
  return facts;
}

void PopUpWindow(HWND window, bool flash, bool activate) {
  bool fullScreen = IsAnotherProgramFullScreen(ReadForegroundFacts());
  if (flash) ::FlashWindow(window, TRUE);
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | (activate ? 0 : SWP_NOACTIVATE);
  ::SetWindowPos(window, fullScreen ? HWND_TOP : HWND_TOPMOST, 0, 0, 0, 0, flags);
}

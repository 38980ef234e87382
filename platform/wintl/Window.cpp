#include <windows.h>
#include "Window.h"

std::wstring CWindow::GetWindowText() const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

BOOL CWindow::CenterWindow() {
  RECT window;
  if (!::GetWindowRect(m_hWnd, &window)) return FALSE;
  HMONITOR monitor = ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info = {sizeof(info)};
  if (!::GetMonitorInfoW(monitor, &info)) return FALSE;
  const RECT& work = info.rcWork;
  int width = window.right - window.left;
  int height = window.bottom - window.top;
  int x = work.left + ((work.right - work.left) - width) / 2;
  int y = work.top + ((work.bottom - work.top) - height) / 2;
  return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WtlShowItem(HWND dialog, int id, bool show) {
  ::ShowWindow(::GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

void WtlEnableItem(HWND dialog, int id, bool enable) {
  ::EnableWindow(::GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

#include <windows.h>
#include "WindowImpl.h"

BOOL WtlReflectNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY:
      child = lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
      break;
    case WM_DRAWITEM:
      child = wParam && lParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      child = reinterpret_cast<HWND>(lParam);
      break;
    default:
      return FALSE;
  }
  if (!child || !::IsWindow(child)) return FALSE;
  result = ::SendMessageW(child, OCM__BASE + msg, wParam, lParam);
  return TRUE;
}

bool WtlRunModalLoop(HWND dialog, HWND owner, const bool* ended, WtlModalFilter filter) {
  bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
  bool quit = false;
  MSG msg;
  while (!*ended && ::IsWindow(dialog)) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (!got) {
      quit = true;
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (filter ? !filter(dialog, &msg) : !::IsDialogMessageW(dialog, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  // The owner is enabled before the dialog goes, so activation returns to it.
  if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
  return !quit;
}

void WtlWakeModalLoop(HWND dialog) {
  if (dialog) ::PostMessageW(dialog, WM_NULL, 0, 0);
}

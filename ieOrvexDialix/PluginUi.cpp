#include <windows.h>
#include "PluginUi.h"

namespace {
BOOL SystemTrackPopupMenu(HMENU popup, UINT flags, int x, int y, HWND owner) {
  return ::TrackPopupMenu(popup, flags, x, y, 0, owner, nullptr);
}
int SystemMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  return ::MessageBoxW(owner, text, caption, type);
}
}  // namespace

PluginUi& PluginUiSeam() {
  static PluginUi ui = {&SystemTrackPopupMenu, &SystemMessageBox};
  return ui;
}

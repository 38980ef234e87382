#pragma once
#include <windows.h>

// The helper object's two modal calls, replaceable by tests: a menu's loop and
// a message box would otherwise wait for a user. Set before any helper object
// exists; read on the browser's thread.
struct PluginUi {
  // As TrackPopupMenu: with TPM_RETURNCMD the chosen command (0 for none),
  // otherwise non-zero when shown (the command goes to the owner).
  BOOL (*trackPopupMenu)(HMENU popup, UINT flags, int x, int y, HWND owner);
  int (*messageBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
};

PluginUi& PluginUiSeam();

#include <windows.h>
#include "TrayShell.h"

namespace {

class CSystemShell : public ITrayShell {
public:
  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override { return ::Shell_NotifyIconW(message, data); }
  BOOL TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override {
    return ::TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
  }
  HINSTANCE Execute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                    const wchar_t* folder, int show) override {
    return ::ShellExecuteW(owner, verb, file, parameters, folder, show);
  }
  int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) override {
    return ::MessageBoxW(owner, text, caption, style);
  }
};

CSystemShell g_system;
ITrayShell* g_shell = &g_system;

}  // namespace

ITrayShell& TrayShell() { return *g_shell; }

ITrayShell* SetTrayShell(ITrayShell* shell) {
  ITrayShell* before = g_shell;
  g_shell = shell ? shell : &g_system;
  return before;
}

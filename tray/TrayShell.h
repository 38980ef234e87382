#pragma once
#include <windows.h>
#include <shellapi.h>

// The tray's calls into the shell and its message boxes, in one place so
// that tests put a recording fake in their stead. Used on the tray's
// user-interface thread; replaced only while no window uses it.
class ITrayShell {
public:
  virtual ~ITrayShell() {}
  virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) = 0;
  virtual BOOL TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) = 0;
  virtual HINSTANCE Execute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* folder, int show) = 0;
  virtual int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) = 0;
};

ITrayShell& TrayShell();
// Puts a fake in place (null: the system again); returns the one before.
ITrayShell* SetTrayShell(ITrayShell* shell);

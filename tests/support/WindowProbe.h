#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>
#include "GdiHandles.h"
#include "Image.h"

// Reading and driving another thread's (or process's) dialogs from a test:
// find them by title, read titles, item texts and state, click, type, and
// take pictures of the screen. Header-only, shared by the window tests.
namespace WindowProbe {

inline std::wstring Text(HWND window) {
  int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = ::GetWindowTextW(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

inline std::wstring ClassName(HWND window) {
  wchar_t name[64] = L"";
  ::GetClassNameW(window, name, 64);
  return name;
}

struct DialogSearch {
  DWORD pid;
  std::vector<HWND> found;
};

// A window procedure's calling convention: a lambda will not do on i686.
inline BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid && ClassName(window) == L"#32770" && ::IsWindowVisible(window))
    search->found.push_back(window);
  return TRUE;
}

// The dialogs ("#32770") of a process that are visible; pid 0 means this one.
inline std::vector<HWND> Dialogs(DWORD pid = 0) {
  DialogSearch search{pid ? pid : ::GetCurrentProcessId(), {}};
  ::EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline std::vector<HWND> DialogsTitled(const std::wstring& title, DWORD pid = 0) {
  std::vector<HWND> titled;
  for (HWND window : Dialogs(pid))
    if (Text(window) == title) titled.push_back(window);
  return titled;
}

// Waits (bounded) for exactly one visible dialog with the title.
inline HWND WaitForDialog(const std::wstring& title, DWORD milliseconds = 10000, DWORD pid = 0) {
  ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    std::vector<HWND> found = DialogsTitled(title, pid);
    if (!found.empty()) return found.front();
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(10);
  }
}

inline std::wstring ItemText(HWND dialog, int id) { return Text(::GetDlgItem(dialog, id)); }
inline bool ItemEnabled(HWND dialog, int id) {
  return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}
inline bool ItemVisible(HWND dialog, int id) {
  return (::GetWindowLongPtrW(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
inline bool Topmost(HWND window) {
  return (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

inline void Click(HWND dialog, int id) {
  ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Types into an edit control character by character: a multi-line edit may
// report no change for a text set in one piece. Each message is bounded: the
// edit may belong to another process that stops answering.
inline bool Type(HWND dialog, int id, const std::wstring& text) {
  HWND edit = ::GetDlgItem(dialog, id);
  DWORD_PTR ignored = 0;
  auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageTimeoutW(edit, message, wParam, lParam, SMTO_NORMAL, 10000, &ignored) != 0;
  };
  if (!send(EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF)) return false;  // at the end of what is there
  for (wchar_t c : text)
    if (!send(WM_CHAR, c, 0)) return false;
  return true;
}

// A message box's text lives in its control 0xFFFF.
inline std::wstring BoxText(HWND box) { return ItemText(box, 0xFFFF); }

inline void DismissBox(HWND box) { ::PostMessageW(box, WM_COMMAND, IDOK, 0); }

// Where a test run inside the virtual desktop saves its pictures (the
// DIALIX_SCREENSHOTS folder); empty outside it.
inline std::wstring ScreenshotFolder() {
  wchar_t folder[MAX_PATH] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_SCREENSHOTS", folder, MAX_PATH);
  return length && length < MAX_PATH ? std::wstring(folder) : std::wstring();
}

// The whole screen as a PNG (a window of another process prints black).
// Says on stderr which step failed.
inline bool SaveScreenOnce(const std::wstring& path) {
  auto failed = [](const char* step, long code) {
    std::fprintf(stderr, "screenshot: %s failed (0x%08lx)\n", step, static_cast<unsigned long>(code));
    return false;
  };
  CScreenDC screen(::GetDC(nullptr));
  if (!screen) return failed("GetDC", ::GetLastError());
  int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  CImage image;
  image.Attach(::CreateCompatibleBitmap(screen.Get(), width, height));
  if (!memory || image.IsNull()) return failed("the bitmap", ::GetLastError());
  {
    CSelectObject select(memory.Get(), static_cast<HBITMAP>(image));
    if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY))
      return failed("BitBlt", ::GetLastError());
  }
  HRESULT hr = image.SavePng(path.c_str());
  return SUCCEEDED(hr) || failed("saving the PNG", hr);
}

// The screen's pixels inside a rectangle, as 32-bit rows top-down; empty
// when they cannot be read. What the screen shows, not what a window would
// paint if asked: nothing is redrawn first.
inline std::vector<BYTE> ScreenPixels(const RECT& rect) {
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};
  CScreenDC screen(::GetDC(nullptr));
  CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  CGdiObject bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap.IsValid() || !bits) return {};
  {
    CSelectObject select(memory.Get(), bitmap.Get());
    if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY)) return {};
  }
  ::GdiFlush();
  const BYTE* first = static_cast<const BYTE*>(bits);
  return std::vector<BYTE>(first, first + static_cast<size_t>(width) * height * 4);
}

// A left click of the mouse at the middle of a window, as the user's hand
// would give it: whatever window lies on top there gets it.
inline bool MouseClick(HWND window) {
  RECT rect = {};
  if (!::GetWindowRect(window, &rect)) return false;
  int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  if (width <= 1 || height <= 1) return false;
  LONG x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (width - 1);
    input.mi.dy = y * 65535 / (height - 1);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  return ::SendInput(3, inputs, sizeof(INPUT)) == 3;
}

// A screenshot is a record, not a check of the system: a busy machine has
// been seen failing one now and then, so it is tried three times.
inline bool SaveScreen(const std::wstring& path) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    if (SaveScreenOnce(path)) return true;
    ::Sleep(200);
  }
  return false;
}

}  // namespace WindowProbe

// Reads and drives another process's dialogs for the end-to-end window tests
// and the demo:
//   dialix_wintest <process> <command> [arguments]
// <process> is a program name ("OrvexDialixService.exe") or a process id.
// Commands (a title names one visible "#32770" dialog of the process; every
// wait is bounded by the milliseconds given, 10000 by default):
//   wait <title> [ms]            waits until the dialog shows
//   gone <title> [ms]            waits until no such dialog shows
//   titles                       prints the titles of the process's dialogs
//   dump <title>                 prints the title, then "id<TAB>enabled visible<TAB>text"
//                                for every control, then "topmost 0|1"
//   text <title> <id>            prints a control's text (edits too, asked with
//                                WM_GETTEXT: the system keeps no copy of another
//                                process's edits)
//   click <title> <id>           presses a button (BM_CLICK) and waits for its handler
//   push <title> <id>            presses a button without waiting: for a handler that
//                                opens a modal box, which would hold the sender
//   close <title>                closes the dialog as its close box does (WM_CLOSE)
//   type <title> <id> <text>     types into an edit, one WM_CHAR per character
//   box [ms]                     waits for a message box and prints its text
//   dismiss [ms]                 waits for a message box and presses OK
//   snap <file.png>              saves the screen as a PNG
//   find <class> [ms]            waits for a top-level window of the class (hidden
//                                ones too: "OrvexDialixTrayWindow", "#32768")
//   post <class> <msg> <wParam> <lParam>  posts a message to that window
//   enabled <title> <id>         prints 1 or 0: whether a control is enabled
//   edittext <title> <id>        the same as text
//   pids                         prints the ids of every process of the program
//   front <title> [ms]           prints 1 when the dialog is the foreground window
// Without a process:
//   dialix_wintest areahash      prints a hash of the notification area's
//                                right-hand 24 pixels (the newest icon)
// DIALIX_DESKTOP names the desktop to look at (a Wine virtual desktop that
// the service inherited from the client that started it); the default one
// otherwise.
// Exit code 0 on success, 1 when what was asked for did not happen, 2 on
// bad arguments.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include "GdiHandles.h"
#include "ProcessProbe.h"
#include "WindowProbe.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

using namespace WindowProbe;

namespace {

DWORD FindProcess(const std::wstring& nameOrId) {
  wchar_t* end = nullptr;
  unsigned long id = wcstoul(nameOrId.c_str(), &end, 10);
  if (end && *end == L'\0' && !nameOrId.empty()) return static_cast<DWORD>(id);
  std::vector<DWORD> ids = ProcessesNamed(nameOrId);
  return ids.empty() ? 0 : ids.front();
}

void Print(const std::wstring& text) {
  std::string utf8 = ZCLWideToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// A message box of the process: a dialog with a static text control 0xFFFF.
HWND WaitForBox(DWORD pid, DWORD ms) {
  ULONGLONG deadline = ::GetTickCount64() + ms;
  for (;;) {
    for (HWND window : Dialogs(pid))
      if (::GetDlgItem(window, 0xFFFF)) return window;
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(10);
  }
}

// A control's text asked of its own thread: the system keeps no copy of
// another process's edits. A picture's "text" is its resource id: none.
bool AskText(HWND control, std::wstring* text) {
  text->clear();
  LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
  if (ClassName(control) == L"Static" &&
      ((style & SS_TYPEMASK) == SS_BITMAP || (style & SS_TYPEMASK) == SS_ICON))
    return true;
  wchar_t buffer[1024] = L"";
  DWORD_PTR got = 0;
  if (!::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                             &got))
    return false;
  *text = buffer;
  return true;
}

void Dump(HWND dialog) {
  Print(L"title\t" + Text(dialog));
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    int id = ::GetDlgCtrlID(child);
    bool visible = (::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    wchar_t line[64];
    swprintf(line, 64, L"%d\t%d %d\t", id, ::IsWindowEnabled(child) ? 1 : 0, visible ? 1 : 0);
    std::wstring text;
    AskText(child, &text);
    for (wchar_t& c : text)
      if (c == L'\r' || c == L'\n') c = L' ';  // one line per control
    Print(line + text);
  }
  Print(Topmost(dialog) ? L"topmost 1" : L"topmost 0");
}

struct ClassSearch {
  DWORD pid;
  const std::wstring* name;
  HWND found;
};
BOOL CALLBACK MatchClass(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<ClassSearch*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != s->pid || ClassName(window) != *s->name) return TRUE;
  s->found = window;
  return FALSE;
}

// A top-level window of the process by class, shown or not.
HWND FindByClass(DWORD pid, const std::wstring& className, DWORD ms) {
  ClassSearch search = {pid, &className, nullptr};
  ULONGLONG deadline = ::GetTickCount64() + ms;
  for (;;) {
    ::EnumWindows(&MatchClass, reinterpret_cast<LPARAM>(&search));
    if (search.found || ::GetTickCount64() >= deadline) return search.found;
    ::Sleep(10);
  }
}

// FNV-1a over the pixels of the taskbar's right-hand 24 pixels, where the
// notification area shows its newest icon.
int AreaHash() {
  HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
  RECT area;
  if (!taskbar || !::GetWindowRect(taskbar, &area)) {
    std::fputs("no taskbar\n", stderr);
    return 1;
  }
  int width = 24, height = area.bottom - area.top;
  CScreenDC screen(::GetDC(nullptr));
  CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  CGdiObject bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap.IsValid() || !bits) return 1;
  {
    CSelectObject select(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.right - width, area.top, SRCCOPY);
  }
  ::GdiFlush();
  unsigned long long hash = 1469598103934665603ull;
  const unsigned char* p = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < width * height * 4; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  std::printf("%016llx\n", hash);
  return 0;
}

int Usage() {
  std::fputs("usage: dialix_wintest <process> <command> [arguments]\n", stderr);
  return 2;
}

}  // namespace

struct ZCLDesktopTraits {
  typedef HDESK Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::CloseDesktop(h); }
};

// Windows and the screen DC are those of the calling thread's desktop.
bool UseDesktop(CUniqueHandle<ZCLDesktopTraits>* desktop) {
  wchar_t name[256] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_DESKTOP", name, 256);
  if (!length || length >= 256) return true;
  desktop->Reset(::OpenDesktopW(name, 0, FALSE, GENERIC_ALL));
  if (!*desktop || !::SetThreadDesktop(desktop->Get())) {
    std::fprintf(stderr, "desktop %ls cannot be used\n", name);
    return false;
  }
  return true;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  CUniqueHandle<ZCLDesktopTraits> desktop;
  if (!UseDesktop(&desktop)) return 1;
  std::wstring command = argc >= 3 ? argv[2] : L"";
  if (std::wstring(argv[1]) == L"snap" && argc == 3) {
    return SaveScreen(argv[2]) ? 0 : 1;  // no process needed
  }
  if (std::wstring(argv[1]) == L"areahash") return AreaHash();
  if (argc < 3) return Usage();
  DWORD pid = FindProcess(argv[1]);
  if (!pid) {
    std::fprintf(stderr, "no process %ls\n", argv[1]);
    return 1;
  }
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
  auto ms = [&](int i) { return i < argc ? static_cast<DWORD>(wcstoul(argv[i], nullptr, 10)) : 10000u; };
  auto dialog = [&](DWORD wait) {
    HWND found = WaitForDialog(arg(3), wait, pid);
    if (!found) std::fprintf(stderr, "no window \"%ls\"\n", arg(3).c_str());
    return found;
  };

  if (command == L"wait") return dialog(ms(4)) ? 0 : 1;
  if (command == L"gone") {
    ULONGLONG deadline = ::GetTickCount64() + ms(4);
    while (!DialogsTitled(arg(3), pid).empty()) {
      if (::GetTickCount64() >= deadline) return 1;
      ::Sleep(10);
    }
    return 0;
  }
  if (command == L"titles") {
    for (HWND window : Dialogs(pid)) Print(Text(window));
    return 0;
  }
  if (command == L"pids") {
    for (DWORD id : ProcessesNamed(argv[1])) Print(std::to_wstring(id));
    return 0;
  }
  if (command == L"front") {
    HWND shown = dialog(ms(4));
    if (!shown) return 1;
    Print(::GetForegroundWindow() == shown ? L"1" : L"0");
    return 0;
  }
  if (command == L"box" || command == L"dismiss") {
    HWND box = WaitForBox(pid, ms(3));
    if (!box) return 1;
    if (command == L"box") {
      Print(BoxText(box));
    } else {
      DismissBox(box);
    }
    return 0;
  }
  if (command == L"snap") return argc >= 4 && SaveScreen(arg(3)) ? 0 : 1;
  if (command == L"find" || command == L"post") {
    HWND window = FindByClass(pid, arg(3), command == L"find" ? ms(4) : 10000u);
    if (!window) {
      std::fprintf(stderr, "no window of class %ls\n", arg(3).c_str());
      return 1;
    }
    if (command == L"find") return 0;
    if (argc < 7) return Usage();
    auto number = [&](int i) { return static_cast<uintptr_t>(wcstoull(argv[i], nullptr, 0)); };
    return ::PostMessageW(window, static_cast<UINT>(number(4)), static_cast<WPARAM>(number(5)),
                          static_cast<LPARAM>(number(6)))
               ? 0
               : 1;
  }
  if (argc < 4) return Usage();
  HWND found = dialog(10000);
  if (!found) return 1;
  int id = static_cast<int>(wcstol(arg(4).c_str(), nullptr, 0));
  if (command == L"dump") {
    Dump(found);
    return 0;
  }
  if (command == L"text" || command == L"edittext") {
    HWND control = ::GetDlgItem(found, id);
    std::wstring text;
    if (!control || !AskText(control, &text)) return 1;
    Print(text);
    return 0;
  }
  if (command == L"enabled") {
    if (!::GetDlgItem(found, id)) return 1;
    Print(ItemEnabled(found, id) ? L"1" : L"0");
    return 0;
  }
  if (command == L"click" || command == L"push") {
    HWND button = ::GetDlgItem(found, id);
    if (!button) return 1;
    if (command == L"push") return ::PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 30000, &ignored) ? 0 : 1;
  }
  if (command == L"close") return ::PostMessageW(found, WM_CLOSE, 0, 0) ? 0 : 1;
  if (command == L"type") {
    if (!::GetDlgItem(found, id) || argc < 6) return Usage();
    return Type(found, id, arg(5)) ? 0 : 1;
  }
  return Usage();
}

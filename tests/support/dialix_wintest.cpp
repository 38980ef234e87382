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
//   text <title> <id>            prints a control's text
//   click <title> <id>           presses a button (BM_CLICK)
//   type <title> <id> <text>     types into an edit, one WM_CHAR per character
//   box [ms]                     waits for a message box and prints its text
//   dismiss [ms]                 waits for a message box and presses OK
//   snap <file.png>              saves the screen as a PNG
// Exit code 0 on success, 1 when what was asked for did not happen, 2 on
// bad arguments.
#include <windows.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include "GdiHandles.h"
#include "WindowProbe.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

using namespace WindowProbe;

namespace {

struct ZCLSnapshotTraits {
  typedef HANDLE Type;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(Type h) { ::CloseHandle(h); }
};

DWORD FindProcess(const std::wstring& nameOrId) {
  wchar_t* end = nullptr;
  unsigned long id = wcstoul(nameOrId.c_str(), &end, 10);
  if (end && *end == L'\0' && !nameOrId.empty()) return static_cast<DWORD>(id);
  CUniqueHandle<ZCLSnapshotTraits> snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, nameOrId.c_str()) == 0) return entry.th32ProcessID;
  }
  return 0;
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

void Dump(HWND dialog) {
  Print(L"title\t" + Text(dialog));
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    int id = ::GetDlgCtrlID(child);
    bool visible = (::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    wchar_t line[64];
    swprintf(line, 64, L"%d\t%d %d\t", id, ::IsWindowEnabled(child) ? 1 : 0, visible ? 1 : 0);
    Print(line + Text(child));
  }
  Print(Topmost(dialog) ? L"topmost 1" : L"topmost 0");
}

int Usage() {
  std::fputs("usage: dialix_wintest <process> <command> [arguments]\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argc >= 3 ? argv[2] : L"";
  if (std::wstring(argv[1]) == L"snap" && argc == 3) {
    return SaveScreen(argv[2]) ? 0 : 1;  // no process needed
  }
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
  if (argc < 4) return Usage();
  HWND found = dialog(10000);
  if (!found) return 1;
  int id = static_cast<int>(wcstol(arg(4).c_str(), nullptr, 0));
  if (command == L"dump") {
    Dump(found);
    return 0;
  }
  if (command == L"text") {
    Print(ItemText(found, id));
    return 0;
  }
  if (command == L"click") {
    if (!::GetDlgItem(found, id)) return 1;
    Click(found, id);
    return 0;
  }
  if (command == L"type") {
    if (!::GetDlgItem(found, id) || argc < 6) return Usage();
    Type(found, id, arg(5));
    return 0;
  }
  return Usage();
}

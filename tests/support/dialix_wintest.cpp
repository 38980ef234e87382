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
//   page <title>                 prints the title of the page showing in the dialog (a
//                                visible child dialog; the wizard's title statics)
//   waitpage <title> <text> [ms] waits until the page showing has that title
//   check <title> <id> <0|1>     sets a check box or radio button (BM_SETCHECK; a radio
//                                clears its siblings) and sends its BN_CLICKED
//   settext <title> <id> <text>  sets a control's text (WM_SETTEXT: an edit notifies
//                                EN_UPDATE and EN_CHANGE)
//   command <title> <id>         posts WM_COMMAND with the id to the dialog (the
//                                wizard's Next, Back, Cancel and Help)
//   rows <title> <id>            prints a list view's rows, one text a line
//   select <title> <id> <row>    selects and focuses a list view's row
//   rtl <title>                  prints 1 when the dialog is laid out right to left
//   raise <title>                puts the dialog on top of the others, for a picture
// Controls are found in the dialog and in its child dialogs (pages), a
// visible one first. A title "#<id>" names the visible dialog that has a
// control <id> (the wizard's troubleshoot window shares the wizard's caption).
// Without a process:
//   dialix_wintest areahash      prints a hash of the notification area's
//                                right-hand 24 pixels (the newest icon)
//   dialix_wintest string <module> <id>   prints a string of a resource module
//                                (a language module's text, to compare with)
// DIALIX_DESKTOP names the desktop to look at (a Wine virtual desktop that
// the service inherited from the client that started it); the default one
// otherwise.
// Exit code 0 on success, 1 when what was asked for did not happen, 2 on
// bad arguments.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
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

// The dialogs of the process named by a title, or by "#<id>": those that
// have a control of that id.
std::vector<HWND> NamedDialogs(const std::wstring& title, DWORD pid) {
  if (title.size() < 2 || title[0] != L'#') return DialogsTitled(title, pid);
  int id = static_cast<int>(wcstol(title.c_str() + 1, nullptr, 10));
  std::vector<HWND> found;
  for (HWND window : Dialogs(pid))
    if (::GetDlgItem(window, id)) found.push_back(window);
  return found;
}

HWND WaitForNamedDialog(const std::wstring& title, DWORD ms, DWORD pid) {
  ULONGLONG deadline = ::GetTickCount64() + ms;
  for (;;) {
    std::vector<HWND> found = NamedDialogs(title, pid);
    if (!found.empty()) return found.front();
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(10);
  }
}

struct ControlSearch {
  int id;
  HWND visible;
  HWND any;
};
BOOL CALLBACK MatchControl(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<ControlSearch*>(data);
  if (::GetDlgCtrlID(window) != s->id) return TRUE;
  if (!s->any) s->any = window;
  if (::IsWindowVisible(window)) {
    s->visible = window;
    return FALSE;
  }
  return TRUE;
}

// A control of the dialog or of its pages: hidden pages repeat ids (the
// search page's Unpair button is the authenticate page's title), so the one
// showing wins.
HWND FindControl(HWND dialog, int id) {
  ControlSearch search = {id, nullptr, nullptr};
  ::EnumChildWindows(dialog, &MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.visible ? search.visible : search.any;
}

BOOL CALLBACK MatchVisiblePage(HWND window, LPARAM data) {
  if (ClassName(window) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

HWND VisiblePage(HWND dialog) {
  HWND page = nullptr;
  ::EnumChildWindows(dialog, &MatchVisiblePage, reinterpret_cast<LPARAM>(&page));
  return page;
}

// The wizard pages' title statics. The authenticate page's title id is also
// the search page's Unpair button, so it is asked last.
const int kPageTitles[] = {1000, 1015, 1028, 1031, 1043, 1067, 1035, 1047};

// The showing page's title; empty when no page shows.
std::wstring PageTitle(HWND dialog) {
  HWND page = VisiblePage(dialog);
  if (!page) return L"";
  for (int id : kPageTitles) {
    HWND title = ::GetDlgItem(page, id);
    std::wstring text;
    if (title && AskText(title, &text)) return text;
  }
  return L"";
}

// Memory in another process, for the list-view messages that carry pointers:
// the system copies no structure across processes for them.
class CRemoteMemory {
public:
  CRemoteMemory(HWND window, size_t size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (m_process)
      m_address = ::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~CRemoteMemory() {
    if (m_address) ::VirtualFreeEx(m_process.Get(), m_address, 0, MEM_RELEASE);
  }
  bool IsValid() const { return m_address != nullptr; }
  LPARAM At(size_t offset) const { return reinterpret_cast<LPARAM>(static_cast<char*>(m_address) + offset); }
  bool Write(size_t offset, const void* data, size_t size) {
    return ::WriteProcessMemory(m_process.Get(), reinterpret_cast<void*>(At(offset)), data, size, nullptr) != 0;
  }
  bool Read(size_t offset, void* data, size_t size) {
    return ::ReadProcessMemory(m_process.Get(), reinterpret_cast<void*>(At(offset)), data, size, nullptr) != 0;
  }

private:
  CRemoteMemory(const CRemoteMemory&) = delete;
  CRemoteMemory& operator=(const CRemoteMemory&) = delete;
  CHandle m_process;
  void* m_address = nullptr;
};

// A window that never answers fails the step; a busy machine has been seen
// keeping a call window's button handler (which dials the phone) past 30 s.
const UINT kSendBoundMs = 90000;

bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr) {
  DWORD_PTR ignored = 0;
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendBoundMs,
                               result ? result : &ignored) != 0;
}

bool ListRows(HWND list, std::vector<std::wstring>* rows) {
  const size_t chars = 512;
  DWORD_PTR count = 0;
  CRemoteMemory memory(list, sizeof(LVITEMW) + chars * sizeof(wchar_t));
  if (!memory.IsValid() || !SendBounded(list, LVM_GETITEMCOUNT, 0, 0, &count)) return false;
  for (DWORD_PTR row = 0; row < count; ++row) {
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof(LVITEMW)));
    item.cchTextMax = static_cast<int>(chars);
    std::wstring text(chars, L'\0');
    if (!memory.Write(0, &item, sizeof(item)) || !SendBounded(list, LVM_GETITEMTEXTW, row, memory.At(0)) ||
        !memory.Read(sizeof(LVITEMW), &text[0], chars * sizeof(wchar_t)))
      return false;
    text.resize(wcsnlen(text.c_str(), chars));
    rows->push_back(text);
  }
  return true;
}

// Selected and focused, as a click leaves it: the list tells its page.
bool SelectRow(HWND list, int row) {
  CRemoteMemory memory(list, sizeof(LVITEMW));
  LVITEMW item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return memory.IsValid() && memory.Write(0, &item, sizeof(item)) &&
         SendBounded(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), memory.At(0));
}

// A radio button clears the others of its page first, as a click would.
bool SetCheck(HWND control, bool on) {
  auto isRadio = [](HWND window) {
    LONG_PTR type = ::GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
    return ClassName(window) == L"Button" && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
  };
  HWND parent = ::GetParent(control);
  if (on && isRadio(control))
    for (HWND other = ::GetWindow(parent, GW_CHILD); other; other = ::GetWindow(other, GW_HWNDNEXT))
      if (other != control && isRadio(other) && !SendBounded(other, BM_SETCHECK, BST_UNCHECKED, 0)) return false;
  return SendBounded(control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0) &&
         SendBounded(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
}

// The controls of a window, then those of its showing pages (a page may sit
// in a control that holds it).
void DumpControls(HWND parent) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
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
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (::IsWindowVisible(child) && ::GetWindow(child, GW_CHILD) &&
        (ClassName(child) == L"#32770" || ClassName(child) == L"Static")) {
      Print(L"inside\t" + std::to_wstring(::GetDlgCtrlID(child)));
      DumpControls(child);
    }
}

void Dump(HWND dialog) {
  Print(L"title\t" + Text(dialog));
  DumpControls(dialog);
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
  area.left = area.right - 24;
  std::vector<BYTE> pixels = WindowProbe::ScreenPixels(area);
  if (pixels.empty()) return 1;
  unsigned long long hash = 1469598103934665603ull;
  for (BYTE p : pixels) hash = (hash ^ p) * 1099511628211ull;
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
  if (std::wstring(argv[1]) == L"string" && argc == 4) {
    CModuleHandle module(::LoadLibraryExW(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE));
    wchar_t text[2048] = L"";
    if (!module || ::LoadStringW(module.Get(), static_cast<UINT>(wcstoul(argv[3], nullptr, 0)), text, 2048) <= 0) {
      std::fprintf(stderr, "no string %ls in %ls\n", argv[3], argv[2]);
      return 1;
    }
    Print(text);
    return 0;
  }
  if (argc < 3) return Usage();
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
  auto ms = [&](int i) { return i < argc ? static_cast<DWORD>(wcstoul(argv[i], nullptr, 10)) : 10000u; };
  DWORD pid = FindProcess(argv[1]);
  // A program a script has just started in the background may not be listed
  // yet: the commands that wait for its windows give it their bound to appear.
  DWORD appear = command == L"wait" || command == L"front" ? ms(4)
                 : command == L"box" || command == L"dismiss" ? ms(3) : 0;
  for (ULONGLONG deadline = ::GetTickCount64() + appear; !pid && ::GetTickCount64() < deadline;) {
    ::Sleep(20);
    pid = FindProcess(argv[1]);
  }
  if (!pid) {
    std::fprintf(stderr, "no process %ls\n", argv[1]);
    return 1;
  }
  auto dialog = [&](DWORD wait) {
    HWND found = WaitForNamedDialog(arg(3), wait, pid);
    if (!found) std::fprintf(stderr, "no window \"%ls\"\n", arg(3).c_str());
    return found;
  };

  if (command == L"wait") return dialog(ms(4)) ? 0 : 1;
  if (command == L"gone") {
    ULONGLONG deadline = ::GetTickCount64() + ms(4);
    while (!NamedDialogs(arg(3), pid).empty()) {
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
  if (command == L"waitpage") {
    if (argc < 5) return Usage();
    HWND found = dialog(ms(5));
    if (!found) return 1;
    ULONGLONG deadline = ::GetTickCount64() + ms(5);
    std::wstring title;
    while ((title = PageTitle(found)) != arg(4)) {
      if (::GetTickCount64() >= deadline) {
        std::fprintf(stderr, "the page showing is \"%ls\", not \"%ls\"\n", title.c_str(), arg(4).c_str());
        return 1;
      }
      ::Sleep(10);
    }
    return 0;
  }
  HWND found = dialog(10000);
  if (!found) return 1;
  if (command == L"rtl") {
    Print((::GetWindowLongPtrW(found, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) ? L"1" : L"0");
    return 0;
  }
  if (command == L"raise")
    return ::SetWindowPos(found, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) ? 0 : 1;
  if (command == L"page") {
    Print(PageTitle(found));
    return 0;
  }
  if (command == L"dump") {
    Dump(found);
    return 0;
  }
  int id = static_cast<int>(wcstol(arg(4).c_str(), nullptr, 0));
  if (command == L"command") {
    if (::PostMessageW(found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(FindControl(found, id))))
      return 0;
    std::fprintf(stderr, "command %d could not be posted (error %lu)\n", id, ::GetLastError());
    return 1;
  }
  if (command == L"close") return ::PostMessageW(found, WM_CLOSE, 0, 0) ? 0 : 1;
  HWND control = FindControl(found, id);
  if (!control) {
    std::fprintf(stderr, "no control %d\n", id);
    return 1;
  }
  if (command == L"check" && argc >= 6) return SetCheck(control, arg(5) == L"1") ? 0 : 1;
  if (command == L"settext" && argc >= 6)
    return SendBounded(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5])) ? 0 : 1;
  if (command == L"rows") {
    std::vector<std::wstring> rows;
    if (!ListRows(control, &rows)) return 1;
    for (const std::wstring& row : rows) Print(row);
    return 0;
  }
  if (command == L"select" && argc >= 6) return SelectRow(control, static_cast<int>(wcstol(argv[5], nullptr, 10))) ? 0 : 1;
  if (command == L"text" || command == L"edittext") {
    std::wstring text;
    if (!AskText(control, &text)) return 1;
    Print(text);
    return 0;
  }
  if (command == L"enabled") {
    Print(::IsWindowEnabled(control) ? L"1" : L"0");
    return 0;
  }
  if (command == L"click" || command == L"push") {
    if (command == L"push") return ::PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
    return SendBounded(control, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (command == L"type") {
    if (argc < 6) return Usage();
    return Type(::GetParent(control), id, arg(5)) ? 0 : 1;
  }
  return Usage();
}

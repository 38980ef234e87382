#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "XeluInternal.h"
#include "ZCLFrame.h"

struct CXeluMessageBox::CSettings {
  std::wstring captions[4] = {L"OK", L"Cancel", L"&Yes", L"&No"};  // by kOk..kNo
  UINT background = 0;
  CXeluButtonSkin buttonSkin = CXeluButtonSkin::GetDefaultSkinDef();
  COLORREF textColor = CLR_INVALID;
};

namespace {

enum { kOk, kCancel, kYes, kNo };
const int kIconId = 20;
const int kMargin = 16, kGap = 8, kIconSize = 32, kButtonHeight = 26, kMaxTextWidth = 420;

struct BoxButton {
  int id;
  int caption;
};

std::vector<BoxButton> ButtonsFor(UINT style) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, kOk}, {IDCANCEL, kCancel}};
    case MB_YESNO: return {{IDYES, kYes}, {IDNO, kNo}};
    case MB_YESNOCANCEL: return {{IDYES, kYes}, {IDNO, kNo}, {IDCANCEL, kCancel}};
    default: return {{IDOK, kOk}};
  }
}

LPCWSTR IconFor(UINT style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return IDI_ERROR;
    case MB_ICONWARNING: return IDI_WARNING;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONINFORMATION: return IDI_INFORMATION;
    default: return nullptr;
  }
}

// An in-memory dialog template, built WORD by WORD.
class CTemplate {
public:
  void Word(WORD value) { m_words.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    if (m_words.size() % 2) Word(0);
  }
  void Item(DWORD style, WORD id, WORD atom, const std::wstring& title) {
    AlignDword();
    Dword(style);
    Dword(0);  // extended style
    for (int i = 0; i < 4; ++i) Word(0);  // placed in pixels at initialisation
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Text(title);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
  std::vector<WORD> m_words;
};

// One showing of a box: lives on the showing thread's stack.
struct CBoxRun {
  const CXeluMessageBox::CSettings* settings = nullptr;
  std::wstring text;
  UINT style = 0;
  std::vector<BoxButton> buttons;
  int result = IDCANCEL;
  bool done = false;
  CXeluBackBuffer* background = nullptr;
  CXeluStaticCtrl textCtrl;
  CXeluButtonCtrl buttonCtrls[3];
};

HINSTANCE LibraryInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryInstance), &module);
  return module;
}

void Place(HWND box, int id, int x, int y, int width, int height) {
  ::SetWindowPos(::GetDlgItem(box, id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sizes the box to its text and buttons and centres it over its owner.
void Layout(HWND box, CBoxRun* run, bool hasIcon) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(box, WM_GETFONT, 0, 0));
  CScreenDC screen(::GetDC(box));
  CSelectObject select(screen.Get(), font);
  RECT measured = {0, 0, kMaxTextWidth, 0};
  ::DrawTextW(screen.Get(), run->text.c_str(), -1, &measured,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  const int textWidth = std::max(static_cast<int>(measured.right), 1);
  const int textHeight = std::max(static_cast<int>(measured.bottom), 1);
  int buttonWidth = 88;
  for (const BoxButton& button : run->buttons) {
    SIZE extent = {};
    const std::wstring& caption = run->settings->captions[button.caption];
    ::GetTextExtentPoint32W(screen.Get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
    buttonWidth = std::max(buttonWidth, static_cast<int>(extent.cx) + 24);
  }
  const int count = static_cast<int>(run->buttons.size());
  const int buttonsWidth = count * buttonWidth + (count - 1) * kGap;
  const int textLeft = hasIcon ? kMargin + kIconSize + 12 : kMargin;
  const int textTop = hasIcon && textHeight < kIconSize ? kMargin + (kIconSize - textHeight) / 2 : kMargin;
  const int clientWidth = std::max({textLeft + textWidth + kMargin, buttonsWidth + 2 * kMargin, 240});
  const int buttonsTop = std::max(hasIcon ? kMargin + kIconSize : 0, textTop + textHeight) + kMargin;
  const int clientHeight = buttonsTop + kButtonHeight + 14;

  Place(box, kIconId, kMargin, kMargin, kIconSize, kIconSize);
  Place(box, 0xFFFF, textLeft, textTop, textWidth, textHeight);
  int x = (clientWidth - buttonsWidth) / 2;
  for (const BoxButton& button : run->buttons) {
    Place(box, button.id, x, buttonsTop, buttonWidth, kButtonHeight);
    x += buttonWidth + kGap;
  }

  RECT frame = {0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(box, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(box, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  HWND owner = ::GetWindow(box, GW_OWNER);
  MONITORINFO monitor = {sizeof(monitor)};
  ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : box, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT around = monitor.rcWork;
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
  int left = around.left + (around.right - around.left - width) / 2;
  int top = around.top + (around.bottom - around.top - height) / 2;
  left = std::max(static_cast<int>(monitor.rcWork.left), std::min(left, static_cast<int>(monitor.rcWork.right) - width));
  top = std::max(static_cast<int>(monitor.rcWork.top), std::min(top, static_cast<int>(monitor.rcWork.bottom) - height));
  ::SetWindowPos(box, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitBox(HWND box, CBoxRun* run) {
  LPCWSTR icon = IconFor(run->style);
  if (icon)
    ::SendDlgItemMessageW(box, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, icon)), 0);
  else
    ::ShowWindow(::GetDlgItem(box, kIconId), SW_HIDE);
  Layout(box, run, icon != nullptr);
  if (run->settings->background) run->background->SetBackground(box);
  if (run->textCtrl.Attach(::GetDlgItem(box, 0xFFFF)) && run->settings->textColor != CLR_INVALID)
    run->textCtrl.SetTextColor(run->settings->textColor);
  for (size_t i = 0; i < run->buttons.size(); ++i)
    run->buttonCtrls[i].Attach(::GetDlgItem(box, run->buttons[i].id), &run->settings->buttonSkin);
  // MB_DEFBUTTON2 and 3 pick the default; the first otherwise.
  size_t chosen = (run->style & MB_DEFMASK) >> 8;
  if (chosen >= run->buttons.size()) chosen = 0;
  const int defaultId = run->buttons[chosen].id;
  ::SendMessageW(box, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
  ::SetFocus(::GetDlgItem(box, defaultId));
}

void Finish(HWND box, int result) {
  auto* run = reinterpret_cast<CBoxRun*>(::GetWindowLongPtrW(box, DWLP_USER));
  if (!run || run->done) return;
  run->result = result;
  run->done = true;
  // A button pressed by a message sent from another thread ends no wait of
  // the loop: wake it.
  ::PostMessageW(box, WM_NULL, 0, 0);
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR handled = FALSE;
  ZCLGuarded(2, ZCL_SITE, [&] {
    switch (message) {
      case WM_INITDIALOG:
        ::SetWindowLongPtrW(box, DWLP_USER, lParam);
        InitBox(box, reinterpret_cast<CBoxRun*>(lParam));
        handled = FALSE;  // the focus is set
        break;
      case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // Escape comes as IDCANCEL, with or without a Cancel button.
        if (HIWORD(wParam) == BN_CLICKED && (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO)) {
          Finish(box, id);
          handled = TRUE;
        }
        break;
      }
      case WM_CLOSE:
        Finish(box, IDCANCEL);
        handled = TRUE;
        break;
      case WM_DESTROY:
        Finish(box, IDCANCEL);  // destroyed from outside: the loop ends
        break;
      default:
        break;
    }
  });
  return handled;
}

}  // namespace

CXeluMessageBox::CXeluMessageBox() : m_settings(new CSettings) {}

CXeluMessageBox::~CXeluMessageBox() { delete m_settings; }

void CXeluMessageBox::SetButtonCaptions(HINSTANCE module, UINT ok, UINT cancel, UINT yes, UINT no) {
  ZCLGuarded(2, ZCL_SITE, [&] {
    const UINT ids[4] = {ok, cancel, yes, no};
    const wchar_t* fallbacks[4] = {L"OK", L"Cancel", L"&Yes", L"&No"};
    for (int i = 0; i < 4; ++i) m_settings->captions[i] = XeluModuleString(module, ids[i], fallbacks[i]);
  });
}

void CXeluMessageBox::SetBackgroundSkin(const CXeluStaticBitmapSkin& skin) { m_settings->background = skin.GetBitmap(); }

void CXeluMessageBox::SetButtonSkin(const CXeluButtonSkin& skin) { m_settings->buttonSkin = skin; }

void CXeluMessageBox::SetTextColor(COLORREF color) { m_settings->textColor = color; }

int CXeluMessageBox::Show(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  int result = 0;
  ZCLGuarded(2, ZCL_SITE, [&] {
    CBoxRun run;
    CXeluBackBuffer background(m_settings->background);
    run.settings = m_settings;
    run.background = &background;
    run.text = text ? text : L"";
    run.style = style;
    run.buttons = ButtonsFor(style);

    CTemplate form;
    const DWORD boxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;
    form.Dword(boxStyle);
    form.Dword(WS_EX_DLGMODALFRAME | ((style & MB_TOPMOST) ? WS_EX_TOPMOST : 0));
    form.Word(static_cast<WORD>(2 + run.buttons.size()));
    for (int i = 0; i < 4; ++i) form.Word(0);
    form.Word(0);  // no menu
    form.Word(0);  // the dialog class, "#32770"
    form.Text(caption ? caption : L"");
    form.Word(8);
    form.Text(L"MS Shell Dlg");
    form.Item(WS_CHILD | WS_VISIBLE | SS_ICON, kIconId, 0x0082, L"");
    form.Item(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 0xFFFF, 0x0082, run.text);
    for (size_t i = 0; i < run.buttons.size(); ++i)
      form.Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? WS_GROUP : 0) | BS_PUSHBUTTON,
                static_cast<WORD>(run.buttons[i].id), 0x0080, m_settings->captions[run.buttons[i].caption]);

    HWND root = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    HWND box = ::CreateDialogIndirectParamW(LibraryInstance(), form.Get(), root, &BoxProc,
                                            reinterpret_cast<LPARAM>(&run));
    if (!box) {
      ZCLLogMessage(2, nullptr, "CXeluMessageBox: the box could not be made: %lu", ::GetLastError());
      return;
    }
    // Like the system's box: the owner takes no input while the box shows.
    const bool disabled = root && ::IsWindowEnabled(root) && !::EnableWindow(root, FALSE);
    ::ShowWindow(box, SW_SHOWNORMAL);
    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (!run.done && ::IsWindow(box)) {
      if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
        quit = true;
        quitCode = message.wParam;
        break;
      }
      if (!::IsDialogMessageW(box, &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
    // The owner is enabled before the box goes, so that it is activated.
    if (disabled) ::EnableWindow(root, TRUE);
    if (::IsWindow(box)) ::DestroyWindow(box);
    if (root && ::IsWindow(root) && ::GetForegroundWindow() != root) ::SetForegroundWindow(root);
    if (quit) {
      ::PostQuitMessage(static_cast<int>(quitCode));
      run.result = IDCANCEL;
    }
    result = run.result;
  });
  return result;
}

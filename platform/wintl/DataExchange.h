#pragma once
#include <windows.h>
#include <string>

// Moves texts between a dialog's members and its controls, listed in a map:
//   BEGIN_DDX_MAP(CMyDialog)
//     DDX_TEXT(IDC_NAME, m_name)       // std::wstring or a wchar_t array
//   END_DDX_MAP()
// DoDataExchange(false) puts the members into the controls, (true) reads
// them back; nCtlID limits the exchange to one control. A control that
// cannot take or give its text stops the exchange: the dialog beeps and the
// focus goes to that control (OnDataExchangeError), and the result is FALSE.
template <class T>
class CWinDataExchange {
public:
  BOOL DDX_Text(UINT id, std::wstring& text, BOOL save) {
    HWND dialog = static_cast<T*>(this)->m_hWnd;
    if (!save) {
      if (::SetDlgItemTextW(dialog, static_cast<int>(id), text.c_str())) return TRUE;
    } else {
      HWND control = ::GetDlgItem(dialog, static_cast<int>(id));
      if (control) {
        int length = ::GetWindowTextLengthW(control);
        std::wstring read(static_cast<size_t>(length) + 1, L'\0');
        int got = ::GetWindowTextW(control, &read[0], length + 1);
        read.resize(got > 0 ? static_cast<size_t>(got) : 0);
        text.swap(read);
        return TRUE;
      }
    }
    static_cast<T*>(this)->OnDataExchangeError(id, save);
    return FALSE;
  }

  // A fixed buffer: text that does not fit fails the exchange.
  template <size_t N>
  BOOL DDX_Text(UINT id, wchar_t (&buffer)[N], BOOL save) {
    HWND dialog = static_cast<T*>(this)->m_hWnd;
    if (!save) {
      if (::SetDlgItemTextW(dialog, static_cast<int>(id), buffer)) return TRUE;
    } else {
      HWND control = ::GetDlgItem(dialog, static_cast<int>(id));
      if (control && static_cast<size_t>(::GetWindowTextLengthW(control)) < N) {
        ::GetWindowTextW(control, buffer, static_cast<int>(N));
        return TRUE;
      }
    }
    static_cast<T*>(this)->OnDataExchangeError(id, save);
    return FALSE;
  }

  void OnDataExchangeError(UINT id, BOOL /*save*/) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    HWND control = ::GetDlgItem(static_cast<T*>(this)->m_hWnd, static_cast<int>(id));
    if (control) ::SetFocus(control);
  }
};

#define BEGIN_DDX_MAP(theClass)                                                 \
  BOOL DoDataExchange(BOOL bSaveAndValidate = FALSE, UINT nCtlID = (UINT)-1) {  \
    (void)bSaveAndValidate;                                                     \
    (void)nCtlID;

#define DDX_TEXT(id, var)                                               \
  if (nCtlID == (UINT)-1 || nCtlID == (UINT)(id)) {                     \
    if (!DDX_Text((id), var, bSaveAndValidate)) return FALSE;           \
  }

#define END_DDX_MAP() \
  return TRUE;        \
  }

#pragma once
#include <windows.h>
#include <string>
#include "AppModule.h"
#include "ZCLFrame.h"

// A window handle with the few calls the dialogs make on it. Does not own the
// window.
class CWindow {
public:
  explicit CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
  operator HWND() const { return m_hWnd; }
  bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  BOOL SetWindowText(const wchar_t* text) { return ::SetWindowTextW(m_hWnd, text); }
  std::wstring GetWindowText() const;
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
  BOOL CenterWindow();
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
  }

  HWND m_hWnd;
};

// A control of a dialog, shown or enabled in one call.
void WtlShowItem(HWND dialog, int id, bool show);
void WtlEnableItem(HWND dialog, int id, bool enable);

// Message maps. A class lists its handlers between BEGIN_MSG_MAP and
// END_MSG_MAP; the first handler that leaves bHandled set ends the search.
//   LRESULT OnX(UINT msg, WPARAM, LPARAM, BOOL& bHandled)       MESSAGE_HANDLER
//   LRESULT OnY(WORD code, WORD id, HWND control, BOOL& bHandled) COMMAND_*_HANDLER
#define BEGIN_MSG_MAP(theClass)                                                          \
public:                                                                                  \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,          \
                            LRESULT& lResult) {                                          \
    BOOL bHandled = TRUE;                                                                \
    (void)hWnd;                                                                          \
    (void)bHandled;

#define MESSAGE_HANDLER(msg, func)                     \
  if (uMsg == (msg)) {                                 \
    bHandled = TRUE;                                   \
    lResult = func(uMsg, wParam, lParam, bHandled);    \
    if (bHandled) return TRUE;                         \
  }

#define COMMAND_HANDLER(id, code, func)                                                  \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {        \
    bHandled = TRUE;                                                                     \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),       \
                   bHandled);                                                            \
    if (bHandled) return TRUE;                                                           \
  }

#define COMMAND_ID_HANDLER(id, func)                                                     \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                    \
    bHandled = TRUE;                                                                     \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),       \
                   bHandled);                                                            \
    if (bHandled) return TRUE;                                                           \
  }

#define COMMAND_CODE_HANDLER(code, func)                                                 \
  if (uMsg == WM_COMMAND && HIWORD(wParam) == (code)) {                                  \
    bHandled = TRUE;                                                                     \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),       \
                   bHandled);                                                            \
    if (bHandled) return TRUE;                                                           \
  }

//   LRESULT OnZ(int id, LPNMHDR header, BOOL& bHandled)          NOTIFY_*_HANDLER
#define NOTIFY_HANDLER(id, cd, func)                                                     \
  if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->idFrom == (UINT_PTR)(id) &&  \
      reinterpret_cast<LPNMHDR>(lParam)->code == (UINT)(cd)) {                           \
    bHandled = TRUE;                                                                     \
    lResult = func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled); \
    if (bHandled) return TRUE;                                                           \
  }

#define NOTIFY_ID_HANDLER(id, func)                                                      \
  if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->idFrom == (UINT_PTR)(id)) {  \
    bHandled = TRUE;                                                                     \
    lResult = func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled); \
    if (bHandled) return TRUE;                                                           \
  }

#define CHAIN_MSG_MAP(theBase)                                                           \
  if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

#define END_MSG_MAP() \
  return FALSE;       \
  }

// A modeless dialog from a dialog resource (T::IDD), its messages going to
// T's message map. Created and used on one thread: the thread that runs its
// message loop. A handler that throws is logged; the message counts as handled
// with result 0, and the dialog goes on.
template <class T>
class CDialogImpl : public CWindow {
public:
  // Creates the dialog; null when it cannot be made (the reason is left in
  // GetLastError). templateId 0 means T::IDD.
  HWND Create(HWND parent, LPARAM initParam = 0, UINT templateId = 0) {
    if (!templateId) templateId = T::IDD;
    t_creating = this;
    HWND made = ::CreateDialogParamW(WtlGetResourceInstance(), MAKEINTRESOURCEW(templateId),
                                     parent, &CDialogImpl::DialogProc, initParam);
    t_creating = nullptr;
    return made;
  }
  // The same from a template in memory.
  HWND CreateIndirect(HWND parent, const DLGTEMPLATE* dialogTemplate, LPARAM initParam = 0) {
    t_creating = this;
    HWND made = ::CreateDialogIndirectParamW(WtlGetResourceInstance(), dialogTemplate, parent,
                                             &CDialogImpl::DialogProc, initParam);
    t_creating = nullptr;
    return made;
  }
  BOOL DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
  }
  // Called after the last message; the window handle is gone.
  virtual void OnFinalMessage(HWND) {}

private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialogImpl* self = reinterpret_cast<CDialogImpl*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!self) {
      // The first message (WM_SETFONT or WM_INITDIALOG) binds the object.
      self = t_creating;
      if (!self) return FALSE;
      t_creating = nullptr;
      self->m_hWnd = hWnd;
      ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    LRESULT result = 0;
    BOOL handled = FALSE;
    ZCLGuarded(1, ZCL_SITE, [&] {
      handled = static_cast<T*>(self)->ProcessWindowMessage(hWnd, msg, wParam, lParam, result);
    });
    if (msg == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
      self->m_hWnd = nullptr;
      self->OnFinalMessage(hWnd);
      return FALSE;
    }
    if (!handled) return FALSE;
    switch (msg) {
      // These answer through the procedure's own result.
      case WM_INITDIALOG:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
      case WM_COMPAREITEM:
      case WM_VKEYTOITEM:
      case WM_CHARTOITEM:
      case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
      default:
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }

  static thread_local CDialogImpl* t_creating;
};

template <class T>
thread_local CDialogImpl<T>* CDialogImpl<T>::t_creating = nullptr;

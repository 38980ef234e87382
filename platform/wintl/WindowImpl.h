#pragma once
#include <windows.h>
#include <commctrl.h>
#include "Window.h"

// A plain window of a class of its own (T::GetWndClassName, registered once),
// its messages going to T's message map and then to the default handling.
// Created and used on one thread. A handler that throws is logged and the
// message counts as handled with result 0.
// T's message map under the one guard: a handler that throws is logged and
// the message counts as handled with result 0.
template <class T>
BOOL WtlProcessGuarded(T* self, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  BOOL handled = FALSE;
  if (!ZCLGuarded(1, ZCL_SITE, [&] { handled = self->ProcessWindowMessage(hWnd, msg, wParam, lParam, result); }))
    handled = TRUE;
  return handled;
}

#define DECLARE_WND_CLASS(name) \
  static const wchar_t* GetWndClassName() { return name; }

template <class T>
class CWindowImpl : public CWindow {
public:
  HWND Create(HWND parent, const RECT* rect = nullptr, const wchar_t* name = nullptr, DWORD style = 0,
              DWORD exStyle = 0) {
    if (!Register()) return nullptr;
    RECT r = rect ? *rect : RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    int width = rect ? r.right - r.left : CW_USEDEFAULT;
    int height = rect ? r.bottom - r.top : CW_USEDEFAULT;
    return ::CreateWindowExW(exStyle, T::GetWndClassName(), name, style, r.left, r.top, width, height, parent,
                             nullptr, WtlGetResourceInstance(), this);
  }
  BOOL DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
  }
  // Called after the last message; the window handle is gone.
  virtual void OnFinalMessage(HWND) {}

private:
  static bool Register() {
    WNDCLASSEXW wc = {sizeof(wc)};
    HINSTANCE instance = WtlGetResourceInstance();
    if (::GetClassInfoExW(instance, T::GetWndClassName(), &wc)) return true;
    wc = WNDCLASSEXW{sizeof(wc)};
    wc.lpfnWndProc = &CWindowImpl::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = T::GetWndClassName();
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowImpl* self = reinterpret_cast<CWindowImpl*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!self && msg == WM_NCCREATE) {
      self = static_cast<CWindowImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      if (self) {
        self->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      }
    }
    if (!self) return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    LRESULT result = 0;
    BOOL handled = WtlProcessGuarded(static_cast<T*>(self), hWnd, msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
      LRESULT final = ::DefWindowProcW(hWnd, msg, wParam, lParam);
      ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
      self->m_hWnd = nullptr;
      self->OnFinalMessage(hWnd);
      return final;
    }
    return handled ? result : ::DefWindowProcW(hWnd, msg, wParam, lParam);
  }
};

// Takes over an existing window through the common controls' subclass chain
// (subclasses added later see a message first); T's message map sees every
// message, and what it leaves goes on down the chain. Used on the window's
// thread; the subclass ends with the window or with UnsubclassWindow.
template <class T>
class CSubclassImpl : public CWindow {
public:
  ~CSubclassImpl() { UnsubclassWindow(); }
  bool SubclassWindow(HWND window) {
    if (!window || m_hWnd) return false;
    if (!::SetWindowSubclass(window, &CSubclassImpl::SubclassProc, Id(), reinterpret_cast<DWORD_PTR>(this)))
      return false;
    m_hWnd = window;
    return true;
  }
  void UnsubclassWindow() {
    if (!m_hWnd) return;
    ::RemoveWindowSubclass(m_hWnd, &CSubclassImpl::SubclassProc, Id());
    m_hWnd = nullptr;
  }
  // The handling of the subclasses below this one, and then the window's own.
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
  }

private:
  UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }
  static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    CSubclassImpl* self = reinterpret_cast<CSubclassImpl*>(data);
    LRESULT result = 0;
    BOOL handled = WtlProcessGuarded(static_cast<T*>(self), hWnd, msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
      self->UnsubclassWindow();
      return ::DefSubclassProc(hWnd, msg, wParam, lParam);
    }
    return handled ? result : ::DefSubclassProc(hWnd, msg, wParam, lParam);
  }
};

// Reflection: a parent sends its controls' notifications back to the control
// that sent them, as OCM__BASE + the message, so that a control draws or
// colours itself.
#define OCM__BASE (WM_USER + 0x1c00)
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)

// True when the message was a control's notification and went back to it.
BOOL WtlReflectNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

#define REFLECT_NOTIFICATIONS() \
  if (WtlReflectNotification(uMsg, wParam, lParam, lResult)) return TRUE;

// Runs a modal loop for a dialog that is already created: the owner is
// disabled until *ended turns true (the dialog's close command sets it), and
// each message goes first to the filter (by default the dialog's keys
// through IsDialogMessage). False when WM_QUIT arrived first (it is posted
// again for the outer loop).
typedef BOOL (*WtlModalFilter)(HWND dialog, MSG* msg);
bool WtlRunModalLoop(HWND dialog, HWND owner, const bool* ended, WtlModalFilter filter = nullptr);
// Wakes the dialog's modal loop after *ended was set. The loop reads the flag
// only when a message is posted: one ended inside a sent message (a button
// clicked by another thread or program) would otherwise stay on screen until
// something else is posted.
void WtlWakeModalLoop(HWND dialog);

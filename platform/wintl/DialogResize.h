#pragma once
#include <windows.h>
#include <vector>
#include "Window.h"

// Moves and stretches a dialog's controls with the dialog's client area, as
// listed in a map:
//   BEGIN_DLGRESIZE_MAP(CMyDialog)
//     DLGRESIZE_CONTROL(IDOK, DLSZ_MOVE_X | DLSZ_MOVE_Y)
//   END_DLGRESIZE_MAP()
// DlgResize_Init() in WM_INITDIALOG records where everything lies; the map
// chains CHAIN_MSG_MAP(CDialogResize<T>) for WM_SIZE. Used on the dialog's
// own thread.
enum {
  DLSZ_SIZE_X = 0x1,
  DLSZ_SIZE_Y = 0x2,
  DLSZ_MOVE_X = 0x4,
  DLSZ_MOVE_Y = 0x8,
};

struct _WTL_DLGRESIZE_MAP {
  int id;  // -1 ends the map
  DWORD flags;
};

#define BEGIN_DLGRESIZE_MAP(theClass)                        \
  static const _WTL_DLGRESIZE_MAP* GetDlgResizeMap() {       \
    static const _WTL_DLGRESIZE_MAP theMap[] = {
#define DLGRESIZE_CONTROL(id, flags) {(id), (flags)},
#define END_DLGRESIZE_MAP() \
  {-1, 0}};                 \
  return theMap;            \
  }

template <class T>
class CDialogResize {
public:
  BEGIN_MSG_MAP(CDialogResize)
  MESSAGE_HANDLER(WM_SIZE, OnSize)
  END_MSG_MAP()

  void DlgResize_Init() {
    HWND dialog = static_cast<T*>(this)->m_hWnd;
    ::GetClientRect(dialog, &m_initialClient);
    m_controls.clear();
    for (const _WTL_DLGRESIZE_MAP* entry = T::GetDlgResizeMap(); entry->id != -1; ++entry) {
      HWND control = ::GetDlgItem(dialog, entry->id);
      if (!control) continue;
      Control item = {entry->id, entry->flags, {}};
      ::GetWindowRect(control, &item.initial);
      ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&item.initial), 2);
      m_controls.push_back(item);
    }
    m_initialised = true;
  }

  void DlgResize_UpdateLayout(int width, int height) {
    HWND dialog = static_cast<T*>(this)->m_hWnd;
    int dx = width - (m_initialClient.right - m_initialClient.left);
    int dy = height - (m_initialClient.bottom - m_initialClient.top);
    for (const Control& item : m_controls) {
      RECT r = item.initial;
      if (item.flags & DLSZ_MOVE_X) ::OffsetRect(&r, dx, 0);
      if (item.flags & DLSZ_MOVE_Y) ::OffsetRect(&r, 0, dy);
      if (item.flags & DLSZ_SIZE_X) r.right += dx;
      if (item.flags & DLSZ_SIZE_Y) r.bottom += dy;
      ::SetWindowPos(::GetDlgItem(dialog, item.id), nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  LRESULT OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    bHandled = FALSE;  // the dialog may handle WM_SIZE too
    if (m_initialised && wParam != SIZE_MINIMIZED)
      DlgResize_UpdateLayout(LOWORD(lParam), HIWORD(lParam));
    return 0;
  }

private:
  struct Control {
    int id;
    DWORD flags;
    RECT initial;
  };
  std::vector<Control> m_controls;
  RECT m_initialClient = {};
  bool m_initialised = false;
};

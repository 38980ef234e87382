#include <windows.h>
#include <commctrl.h>
#include "BitmapButton.h"

CBitmapButton::~CBitmapButton() { Detach(); }

void CBitmapButton::SetImages(int normal, int pushed, int focusOrHover, int disabled) {
  m_image[ImageNormal] = normal;
  m_image[ImagePushed] = pushed;
  m_image[ImageFocusOrHover] = focusOrHover;
  m_image[ImageDisabled] = disabled;
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CBitmapButton::SubclassWindow(HWND button) {
  if (!button || m_hWnd) return false;
  if (!::SetWindowSubclass(button, &CBitmapButton::SubclassProc, 1,
                           reinterpret_cast<DWORD_PTR>(this)))
    return false;
  m_hWnd = button;
  if (m_style & BMPBTN_AUTOSIZE) SizeToImage();
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  return true;
}

void CBitmapButton::Detach() {
  if (!m_hWnd) return;
  ::RemoveWindowSubclass(m_hWnd, &CBitmapButton::SubclassProc, 1);
  m_hWnd = nullptr;
}

void CBitmapButton::SizeToImage() {
  int cx = 0, cy = 0;
  if (!m_hWnd || !m_images || !::ImageList_GetIconSize(m_images, &cx, &cy)) return;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CBitmapButton::GetCurrentImage() const {
  if (!m_hWnd) return -1;
  int which = ImageNormal;
  if (!::IsWindowEnabled(m_hWnd))
    which = ImageDisabled;
  else if (::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED)
    which = ImagePushed;
  else if (((m_style & BMPBTN_HOVER) && m_hover) || ::GetFocus() == m_hWnd)
    which = ImageFocusOrHover;
  int image = m_image[which];
  return image >= 0 ? image : m_image[ImageNormal];
}

void CBitmapButton::Paint(HDC dc) {
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  HWND parent = ::GetParent(m_hWnd);
  // Transparent: the dialog's background shows around and under the mask.
  HBRUSH background = reinterpret_cast<HBRUSH>(
      ::SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(m_hWnd)));
  ::FillRect(dc, &client, background ? background : ::GetSysColorBrush(COLOR_BTNFACE));
  int image = GetCurrentImage();
  if (m_images && image >= 0) ::ImageList_Draw(m_images, image, dc, 0, 0, ILD_TRANSPARENT);
}

LRESULT CBitmapButton::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(m_hWnd, &ps);
      if (dc) Paint(dc);
      ::EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      if ((m_style & BMPBTN_HOVER) && !m_tracking) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&track) != FALSE;
        m_hover = true;
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      m_tracking = false;
      m_hover = false;
      ::InvalidateRect(m_hWnd, nullptr, FALSE);
      break;
    case BM_SETSTATE:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONUP:
    case WM_LBUTTONDOWN: {
      // The button paints itself on these; paint over it with the image.
      LRESULT result = ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
      ::InvalidateRect(m_hWnd, nullptr, FALSE);
      return result;
    }
    case WM_NCDESTROY: {
      HWND window = m_hWnd;
      Detach();
      return ::DefSubclassProc(window, msg, wParam, lParam);
    }
    default:
      break;
  }
  *handled = false;
  return 0;
}

LRESULT CALLBACK CBitmapButton::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data) {
  CBitmapButton* self = reinterpret_cast<CBitmapButton*>(data);
  bool handled = false;
  LRESULT result = self->HandleMessage(msg, wParam, lParam, &handled);
  if (handled) return result;
  return ::DefSubclassProc(hWnd, msg, wParam, lParam);
}

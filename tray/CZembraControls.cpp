#include <windows.h>
#include "CZembraControls.h"

void CParentBackground::Draw(HWND control, HDC dc) {
  RECT client;
  ::GetClientRect(control, &client);
  HWND parent = ::GetParent(control);
  if (!m_bitmap.IsValid()) {
    // The parent paints itself into a memory bitmap; the part under the
    // control is kept.
    RECT inParent = client;
    ::MapWindowPoints(control, parent, reinterpret_cast<POINT*>(&inParent), 2);
    RECT parentClient;
    ::GetClientRect(parent, &parentClient);
    CMemoryDC whole, part;
    CGdiObject wholeBitmap;
    {
      CWindowDC screen(parent);
      whole.Reset(::CreateCompatibleDC(screen.Get()));
      wholeBitmap.Reset(::CreateCompatibleBitmap(screen.Get(), parentClient.right, parentClient.bottom));
      part.Reset(::CreateCompatibleDC(screen.Get()));
      m_bitmap.Reset(::CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
    }
    if (!whole.Get() || !wholeBitmap.IsValid() || !part.Get() || !m_bitmap.IsValid()) {
      m_bitmap.Reset();
      return;
    }
    CSelectObject selectWhole(whole.Get(), wholeBitmap.Get());
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(whole.Get()), PRF_CLIENT | PRF_ERASEBKGND);
    CSelectObject selectPart(part.Get(), m_bitmap.Get());
    ::BitBlt(part.Get(), 0, 0, client.right, client.bottom, whole.Get(), inParent.left, inParent.top, SRCCOPY);
    m_size = {client.right, client.bottom};
  }
  CMemoryDC memory(::CreateCompatibleDC(dc));
  if (!memory.Get()) return;
  CSelectObject select(memory.Get(), m_bitmap.Get());
  ::BitBlt(dc, 0, 0, m_size.cx, m_size.cy, memory.Get(), 0, 0, SRCCOPY);
}

bool CZembraButton::SetImages(HWND dialog, HBITMAP firstPicture, HIMAGELIST images, int itemId) {
  HWND item = ::GetDlgItem(dialog, itemId);
  m_images = images;
  m_button.SetImageList(images);
  m_button.SetImages(0, 1, 1, 2);
  m_button.SetBitmapButtonExtendedStyle(BMPBTN_HOVER | BMPBTN_AUTOSIZE | BMPBTN_DRAWCAPTION);
  if (!m_button.SubclassWindow(item) || !SubclassWindow(item)) return false;
  BITMAP picture = {};
  if (firstPicture && ::GetObjectW(firstPicture, sizeof(picture), &picture)) {
    RECT window, client;
    ::GetWindowRect(item, &window);
    ::GetClientRect(item, &client);
    int cx = picture.bmWidth + (window.right - window.left) - client.right;
    int cy = picture.bmHeight + (window.bottom - window.top) - client.bottom;
    ::SetWindowPos(item, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SendMessageW(item, WM_SETFONT, ::SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  return true;
}

void CZembraButton::DoPaint(HDC dc) {
  m_background.Draw(m_hWnd, dc);
  int image = m_button.GetCurrentImage();
  if (m_images && image >= 0) ::ImageList_Draw(m_images, image, dc, 0, 0, ILD_TRANSPARENT);
  int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, &text[0], length + 1)));
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  if (::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED) ::OffsetRect(&client, 1, 1);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  CSelectObject selectFont(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
  int mode = ::SetBkMode(dc, TRANSPARENT);
  COLORREF colour = ::SetTextColor(dc, m_textColour);
  ::DrawTextW(dc, text.c_str(), -1, &client, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  ::SetTextColor(dc, colour);
  ::SetBkMode(dc, mode);
}

LRESULT CZembraButton::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  if (dc) DoPaint(dc);
  ::EndPaint(m_hWnd, &ps);
  return 0;
}

LRESULT CZembraButton::OnMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  m_background.Discard();
  bHandled = FALSE;
  return 0;
}

void CZembraButton::SetPushed(bool pushed) {
  ::SendMessageW(m_hWnd, BM_SETSTATE, pushed ? TRUE : FALSE, 0);
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

LRESULT CZembraButton::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  ::SendMessageW(m_hWnd, BM_SETSTATE, FALSE, 0);
  bHandled = FALSE;
  return 0;
}

LRESULT CZembraButton::OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (LOWORD(lParam) == HTCLIENT) {
    ::SetFocus(m_hWnd);
    return MA_ACTIVATE;
  }
  return MA_NOACTIVATE;
}

LRESULT CZembraButton::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&) {
  if (wParam == VK_SPACE) SetPushed(true);
  if (wParam == VK_ESCAPE) SetPushed(false);
  return 0;
}

LRESULT CZembraButton::OnKeyUp(UINT, WPARAM wParam, LPARAM, BOOL&) {
  if (wParam == VK_SPACE && (::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED)) {
    SetPushed(false);
    ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), BN_CLICKED),
                   reinterpret_cast<LPARAM>(m_hWnd));
  }
  return 0;
}

bool CZembraLabel::Attach(HWND label) {
  if (!SubclassWindow(label)) return false;
  ::SetWindowLongPtrW(label, GWL_EXSTYLE, ::GetWindowLongPtrW(label, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  ::SetWindowLongPtrW(label, GWL_STYLE, ::GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
  return true;
}

LRESULT CZembraLabel::OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT result = DefWindowProc(msg, wParam, lParam);
  HWND parent = ::GetParent(m_hWnd);
  RECT area;
  ::GetWindowRect(m_hWnd, &area);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
  ::InvalidateRect(parent, &area, TRUE);
  ::UpdateWindow(parent);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  return result;
}

// The copy is drawn with the text in WM_PAINT: Wine may erase a transparent
// child again after it painted, which would wipe the text.
LRESULT CZembraLabel::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CZembraLabel::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  if (dc) {
    m_background.Draw(m_hWnd, dc);
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, &text[0], length + 1)));
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    CSelectObject selectFont(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    int mode = ::SetBkMode(dc, TRANSPARENT);
    COLORREF colour = ::SetTextColor(dc, RGB(255, 255, 255));
    ::DrawTextW(dc, text.c_str(), -1, &client, DT_EXPANDTABS | DT_WORDBREAK);
    ::SetTextColor(dc, colour);
    ::SetBkMode(dc, mode);
  }
  ::EndPaint(m_hWnd, &ps);
  return 0;
}

LRESULT CZembraLabel::OnColour(UINT, WPARAM wParam, LPARAM, BOOL&) {
  ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

#pragma once
#include <windows.h>
#include <commctrl.h>
#include "BitmapButton.h"
#include "GdiHandles.h"
#include "WindowImpl.h"

// A copy of the parent's pixels under a control, made once and drawn as the
// control's background so that the dialog's picture shows through.
class CParentBackground {
public:
  void Draw(HWND control, HDC dc);
  void Discard() { m_bitmap.Reset(); }

private:
  CGdiObject m_bitmap;
  SIZE m_size = {};
};

enum { BMPBTN_DRAWCAPTION = 0x4000 };

// The about dialog's image button: the bitmap button's images over a copy of
// the dialog's background, with its caption drawn in white. Its own
// messages come before the bitmap button's. Dialog thread only.
class CZembraButton : public CSubclassImpl<CZembraButton> {
public:
  BEGIN_MSG_MAP(CZembraButton)
  MESSAGE_HANDLER(WM_PAINT, OnPaint)
  MESSAGE_HANDLER(WM_MOVE, OnMove)
  MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
  MESSAGE_HANDLER(WM_ERASEBKGND, OnAnswerOne)
  MESSAGE_HANDLER(WM_NCHITTEST, OnAnswerOne)
  MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
  MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
  MESSAGE_HANDLER(WM_KEYUP, OnKeyUp)
  END_MSG_MAP()

  // Images: normal 0, pushed 1, hover 1, disabled 2 of the list.
  bool SetImages(HWND dialog, HBITMAP firstPicture, HIMAGELIST images, int itemId);
  void DoPaint(HDC dc);
  int GetCurrentImage() const { return m_button.GetCurrentImage(); }

private:
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMove(UINT, WPARAM, LPARAM, BOOL& bHandled);
  LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled);
  LRESULT OnAnswerOne(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnKeyUp(UINT, WPARAM, LPARAM, BOOL&);
  void SetPushed(bool pushed);

  CBitmapButton m_button;
  HIMAGELIST m_images = nullptr;
  CParentBackground m_background;
  COLORREF m_textColour = RGB(255, 255, 255);
};

// The about dialog's transparent label: its text over a copy of the
// dialog's background. Dialog thread only.
class CZembraLabel : public CSubclassImpl<CZembraLabel> {
public:
  BEGIN_MSG_MAP(CZembraLabel)
  MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
  MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
  MESSAGE_HANDLER(WM_PAINT, OnPaint)
  MESSAGE_HANDLER(OCM_CTLCOLORSTATIC, OnColour)
  MESSAGE_HANDLER(OCM_CTLCOLORDLG, OnColour)
  END_MSG_MAP()

  bool Attach(HWND label);

private:
  LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnColour(UINT, WPARAM, LPARAM, BOOL&);

  CParentBackground m_background;
};

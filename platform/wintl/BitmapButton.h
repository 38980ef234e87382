#pragma once
#include <windows.h>
#include <commctrl.h>

enum {
  BMPBTN_HOVER = 0x1,     // the hover image while the mouse is over the button
  BMPBTN_AUTOSIZE = 0x2,  // the button takes the size of its images
};

// A push button drawn from an image list shared with other buttons (the
// dialog owns the list): four images for normal, pushed, hover or focus, and
// disabled. Attached to an existing control by subclassing; used on the
// dialog's thread only.
class CBitmapButton {
public:
  enum { ImageNormal, ImagePushed, ImageFocusOrHover, ImageDisabled };

  CBitmapButton() = default;
  ~CBitmapButton();

  void SetImageList(HIMAGELIST images) { m_images = images; }
  void SetImages(int normal, int pushed, int focusOrHover, int disabled);
  void SetBitmapButtonExtendedStyle(DWORD style) { m_style = style; }
  // Takes over the control; false when it cannot be subclassed.
  bool SubclassWindow(HWND button);
  void SizeToImage();

  // The image the button shows now (for what the user sees, and for tests).
  int GetCurrentImage() const;
  HWND m_hWnd = nullptr;

private:
  CBitmapButton(const CBitmapButton&) = delete;
  CBitmapButton& operator=(const CBitmapButton&) = delete;
  static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
  void Paint(HDC dc);
  void Detach();

  HIMAGELIST m_images = nullptr;
  int m_image[4] = {-1, -1, -1, -1};
  DWORD m_style = 0;
  bool m_hover = false;
  bool m_tracking = false;
};

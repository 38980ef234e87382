#pragma once
#include <windows.h>
#include <commctrl.h>
#include <initializer_list>
#include <string>
#include "BitmapButton.h"
#include "GdiHandles.h"
#include "Image.h"
#include "SZembra.h"

// What both windows share: the button image list, the window icons, the
// contact lookup and the caller's picture.

// A 28 x 28 image list with room for the given bitmaps, each added with the
// shared mask (bitmap 218).
CImageListHandle GuiMakeButtonImages(std::initializer_list<UINT> bitmaps, int room);

// Attaches a bitmap button (hover, auto-size) to a dialog's control, with
// four images of the shared list starting at firstImage.
void GuiAttachButton(CBitmapButton* button, HIMAGELIST images, HWND dialog, int control,
                     int firstImage);

// Large and small icons of a dialog from icon 215.
void GuiSetDialogIcons(HWND dialog, CIconHandle* big, CIconHandle* small);

// The contact of a number, when the handler finds one.
struct GuiContact {
  bool found = false;
  std::wstring formattedName;
  std::wstring photoPath;
};
// The handler may leave its out value alone when it finds nothing (S_FALSE):
// the value starts null and only a contact that came back is read.
GuiContact GuiFindContact(ICallHandler* handler, const std::wstring& serial,
                          const std::wstring& number);

// Shows the contact's photo in the picture control when it loads, else the
// default picture.
void GuiShowPicture(HWND dialog, int control, const GuiContact& contact, CImage* photo,
                    const CImage& defaultPicture);

// Makes the window's client area taller (or shorter) by delta pixels, same width.
void GuiGrowClientArea(HWND window, int delta, bool redraw);

#include <windows.h>
#include <commctrl.h>
#include "AppModule.h"
#include "ComBSTR.h"
#include "ComPtr.h"
#include "GuiWindows.h"
#include "resource.h"

CImageListHandle GuiMakeButtonImages(std::initializer_list<UINT> bitmaps, int room) {
  CImageListHandle images(::ImageList_Create(28, 28, ILC_COLOR24 | ILC_MASK, room, 1));
  if (!images) return images;
  HINSTANCE instance = WtlGetResourceInstance();
  CGdiObject mask(::LoadImageW(instance, MAKEINTRESOURCEW(IDB_BUTTONMASK), IMAGE_BITMAP, 0, 0, 0));
  for (UINT id : bitmaps) {
    CGdiObject bitmap(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    ::ImageList_Add(images.Get(), static_cast<HBITMAP>(bitmap.Get()),
                    static_cast<HBITMAP>(mask.Get()));
  }
  return images;
}

void GuiAttachButton(CBitmapButton* button, HIMAGELIST images, HWND dialog, int control,
                     int firstImage) {
  button->SetImageList(images);
  button->SetImages(firstImage, firstImage + 1, firstImage + 2, firstImage + 3);
  button->SetBitmapButtonExtendedStyle(BMPBTN_HOVER | BMPBTN_AUTOSIZE);
  button->SubclassWindow(::GetDlgItem(dialog, control));
}

void GuiSetDialogIcons(HWND dialog, CIconHandle* big, CIconHandle* small) {
  HINSTANCE instance = WtlGetResourceInstance();
  big->Reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_DIALIX), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON),
                                             ::GetSystemMetrics(SM_CYICON), 0)));
  small->Reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_DIALIX), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON),
                                               ::GetSystemMetrics(SM_CYSMICON), 0)));
  ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big->Get()));
  ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small->Get()));
}

GuiContact GuiFindContact(ICallHandler* handler, const std::wstring& serial,
                          const std::wstring& number) {
  GuiContact result;
  if (!handler) return result;
  CComBSTR bstrSerial(serial.c_str()), bstrNumber(number.c_str());
  IContact* raw = nullptr;  // set before the call: S_FALSE may leave it untouched
  handler->FindContactByNumber(bstrSerial, bstrNumber, &raw);
  CComPtr<IContact> contact;
  contact.Attach(raw);
  if (!contact) return result;
  result.found = true;
  CComBSTR name, photo;
  if (SUCCEEDED(contact->get_FormattedName(&name)) && name.m_str) result.formattedName = name.m_str;
  if (SUCCEEDED(contact->get_PhotoPath(&photo)) && photo.m_str) result.photoPath = photo.m_str;
  return result;
}

void GuiShowPicture(HWND dialog, int control, const GuiContact& contact, CImage* photo,
                    const CImage& defaultPicture) {
  HBITMAP shown = defaultPicture;
  if (contact.found && !contact.photoPath.empty()) {
    photo->Destroy();
    if (SUCCEEDED(photo->Load(contact.photoPath.c_str()))) shown = *photo;
  }
  ::SendDlgItemMessageW(dialog, control, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(shown));
}

void GuiGrowClientArea(HWND window, int delta, bool redraw) {
  RECT outer;
  ::GetWindowRect(window, &outer);
  ::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + delta,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (redraw ? 0 : SWP_NOREDRAW));
}

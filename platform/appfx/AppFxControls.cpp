#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <vector>
#include "AppFxControls.h"
#include "GdiHandles.h"
#include "ZCLHandle.h"

namespace {

// A negative image would be I_IMAGECALLBACK and ask the parent for one.
int ShownImage(int image) { return image < 0 ? I_IMAGENONE : image; }

}  // namespace

// ---------------------------------------------------------------- any control
bool CAppFxCtrl::Attach(HWND dialog, int id) {
  m_hWnd = dialog ? ::GetDlgItem(dialog, id) : nullptr;
  return m_hWnd != nullptr;
}

std::wstring CAppFxCtrl::GetText() const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(length + 1);
  int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? copied : 0);
}

void CAppFxCtrl::SetText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
void CAppFxCtrl::Enable(bool enable) const { ::EnableWindow(m_hWnd, enable); }
bool CAppFxCtrl::IsEnabled() const { return m_hWnd && ::IsWindowEnabled(m_hWnd); }
void CAppFxCtrl::Show(bool show) const { ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE); }
bool CAppFxCtrl::IsVisible() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
void CAppFxCtrl::SetFont(HFONT font) const {
  ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// ---------------------------------------------------------------- button, edit, progress
int CAppFxButton::GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
void CAppFxButton::SetCheck(int check) const { ::SendMessageW(m_hWnd, BM_SETCHECK, check, 0); }

void CAppFxEdit::SetLimitText(UINT limit) const { ::SendMessageW(m_hWnd, EM_SETLIMITTEXT, limit, 0); }
void CAppFxEdit::SetSel(int start, int end) const { ::SendMessageW(m_hWnd, EM_SETSEL, start, end); }
int CAppFxEdit::GetTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }

void CAppFxProgressCtrl::SetRange(int low, int high) const { ::SendMessageW(m_hWnd, PBM_SETRANGE32, low, high); }
int CAppFxProgressCtrl::SetPos(int position) const {
  return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, position, 0));
}
int CAppFxProgressCtrl::GetPos() const { return static_cast<int>(::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0)); }
void CAppFxProgressCtrl::SetStep(int step) const { ::SendMessageW(m_hWnd, PBM_SETSTEP, step, 0); }
int CAppFxProgressCtrl::StepIt() const { return static_cast<int>(::SendMessageW(m_hWnd, PBM_STEPIT, 0, 0)); }

// ---------------------------------------------------------------- image list
bool CAppFxImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  Destroy();
  m_list = ::ImageList_Create(cx, cy, flags, initial, grow);
  m_cx = cx;
  m_cy = cy;
  return m_list != nullptr;
}

int CAppFxImageList::AddIcon(HICON icon) {
  if (!m_list || !icon) return -1;
  return ::ImageList_ReplaceIcon(m_list, -1, icon);
}

int CAppFxImageList::AddIcon(HINSTANCE module, UINT id) {
  // The list copies the icon's pixels; the loaded icon is ours to free.
  CIconHandle icon(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, m_cx, m_cy, 0)));
  return AddIcon(icon.Get());
}

int CAppFxImageList::GetCount() const { return m_list ? ::ImageList_GetImageCount(m_list) : 0; }

HIMAGELIST CAppFxImageList::Detach() {
  HIMAGELIST list = m_list;
  m_list = nullptr;
  return list;
}

void CAppFxImageList::Destroy() {
  if (m_list) ::ImageList_Destroy(m_list);
  m_list = nullptr;
}

// ---------------------------------------------------------------- list view
DWORD CAppFxListCtrl::SetExtendedStyle(DWORD style) const {
  return static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
}

void CAppFxListCtrl::ModifyStyle(DWORD remove, DWORD add) const {
  LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(remove)) | add);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HIMAGELIST CAppFxListCtrl::SetImageList(HIMAGELIST images, int which) const {
  return reinterpret_cast<HIMAGELIST>(
      ::SendMessageW(m_hWnd, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images)));
}

void CAppFxListCtrl::SetIconSpacing(int cx, int cy) const {
  ::SendMessageW(m_hWnd, LVM_SETICONSPACING, 0, MAKELPARAM(cx, cy));
}

int CAppFxListCtrl::InsertColumn(int column, const std::wstring& heading, int format, int width) const {
  LVCOLUMNW c = {};
  c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  c.fmt = format;
  c.cx = width;
  c.pszText = const_cast<LPWSTR>(heading.c_str());
  c.iSubItem = column;
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c)));
}

bool CAppFxListCtrl::DeleteAllColumns() const {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0));
  int count = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int i = count - 1; i >= 0; --i)
    if (!::SendMessageW(m_hWnd, LVM_DELETECOLUMN, i, 0)) return false;
  return true;
}

int CAppFxListCtrl::InsertItem(int row, const std::wstring& text, int image, LPARAM data) const {
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<LPWSTR>(text.c_str());
  item.iImage = ShownImage(image);
  item.lParam = data;
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CAppFxListCtrl::SetItemImage(int row, int column, int image) const {
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iSubItem = column;
  item.iImage = ShownImage(image);
  return ::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

int CAppFxListCtrl::GetItemImage(int row, int column) const {
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iSubItem = column;
  if (!::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
  return item.iImage < 0 ? -1 : item.iImage;
}

bool CAppFxListCtrl::SetItemText(int row, int column, const std::wstring& text) const {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<LPWSTR>(text.c_str());
  return ::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

std::wstring CAppFxListCtrl::GetItemText(int row, int column) const {
  // The control answers the characters copied: grow until the text fits.
  for (size_t size = 256;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    LRESULT copied = ::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    if (copied < 0) return std::wstring();
    if (static_cast<size_t>(copied) < size - 1 || size >= 0x10000) return std::wstring(buffer.data(), copied);
  }
}

LPARAM CAppFxListCtrl::GetItemData(int row) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return ::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int CAppFxListCtrl::GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }
bool CAppFxListCtrl::DeleteAllItems() const { return ::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0) != 0; }

int CAppFxListCtrl::GetSelectedIndex() const {
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool CAppFxListCtrl::SelectItem(int row) const {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!::SendMessageW(m_hWnd, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item))) return false;
  ::SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, row, FALSE);
  return true;
}

void CAppFxListCtrl::RedrawItems(int first, int last) const {
  ::SendMessageW(m_hWnd, LVM_REDRAWITEMS, first, last);
}

// ---------------------------------------------------------------- rich edit
bool CAppFxRichEditCtrl::Create(HWND parent, const RECT& rect, int id, DWORD style, DWORD exStyle) {
  if (!AppFxInitRichEdit()) return false;
  HINSTANCE instance = parent ? reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE))
                              : ::GetModuleHandleW(nullptr);
  m_hWnd = ::CreateWindowExW(exStyle, L"RichEdit20W", L"", style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             instance, nullptr);
  return m_hWnd != nullptr;
}

void CAppFxRichEditCtrl::SetEventMask(DWORD mask) const { ::SendMessageW(m_hWnd, EM_SETEVENTMASK, 0, mask); }
void CAppFxRichEditCtrl::SetBackgroundColor(bool systemColor, COLORREF color) const {
  ::SendMessageW(m_hWnd, EM_SETBKGNDCOLOR, systemColor, color);
}
void CAppFxRichEditCtrl::SetReadOnly(bool readOnly) const { ::SendMessageW(m_hWnd, EM_SETREADONLY, readOnly, 0); }

int CAppFxRichEditCtrl::GetTextLength() const {
  // Without GTL_USECRLF a line break counts once, as selections do.
  GETTEXTLENGTHEX how = {GTL_NUMCHARS | GTL_PRECISE, 1200};
  return static_cast<int>(::SendMessageW(m_hWnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
}

void CAppFxRichEditCtrl::SetSel(int start, int end) const {
  CHARRANGE range = {start, end};
  ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CAppFxRichEditCtrl::GetSel(int* start, int* end) const {
  CHARRANGE range = {0, 0};
  ::SendMessageW(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  if (start) *start = range.cpMin;
  if (end) *end = range.cpMax;
}

void CAppFxRichEditCtrl::HideSelection(bool hide) const { ::SendMessageW(m_hWnd, EM_HIDESELECTION, hide, 0); }

void CAppFxRichEditCtrl::ReplaceSel(const std::wstring& text) const {
  ::SendMessageW(m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring CAppFxRichEditCtrl::GetTextRange(int start, int end) const {
  int length = GetTextLength();
  if (end < 0 || end > length) end = length;
  if (start < 0 || start >= end) return std::wstring();
  std::vector<wchar_t> buffer(end - start + 1);
  TEXTRANGEW range = {{start, end}, buffer.data()};
  LRESULT copied = ::SendMessageW(m_hWnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  if (copied <= 0) return std::wstring();
  return std::wstring(buffer.data(), static_cast<size_t>(copied));
}

int CAppFxRichEditCtrl::FindText(const std::wstring& text, int start) const {
  if (text.empty()) return -1;
  FINDTEXTEXW find = {};
  find.chrg.cpMin = start < 0 ? 0 : start;
  find.chrg.cpMax = -1;
  find.lpstrText = text.c_str();
  return static_cast<int>(
      ::SendMessageW(m_hWnd, EM_FINDTEXTEXW, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&find)));
}

bool CAppFxRichEditCtrl::SetSelectionEffects(DWORD mask, DWORD effects) const {
  // The effect bits and their mask bits are the same values.
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = mask;
  format.dwEffects = effects;
  return ::SendMessageW(m_hWnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)) != 0;
}

DWORD CAppFxRichEditCtrl::GetEffectsAt(int position) const {
  // The control tells a format only for its selection: read one character's
  // and put the user's selection back.
  int start = 0, end = 0;
  GetSel(&start, &end);
  SetSel(position, position + 1);
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  ::SendMessageW(m_hWnd, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  SetSel(start, end);
  return format.dwEffects & format.dwMask;
}

// ---------------------------------------------------------------- font
bool CAppFxFont::CreateFontIndirect(const LOGFONTW& font) {
  Delete();
  m_font = ::CreateFontIndirectW(&font);
  return m_font != nullptr;
}

bool CAppFxFont::CreatePointFont(int tenthsOfPoint, LPCWSTR face, int weight) {
  LOGFONTW font = {};
  CScreenDC screen(::GetDC(nullptr));
  int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  font.lfHeight = -::MulDiv(tenthsOfPoint, dpi, 720);
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  if (face) lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirect(font);
}

void CAppFxFont::Delete() {
  if (m_font) ::DeleteObject(m_font);
  m_font = nullptr;
}

// ---------------------------------------------------------------- rich edit library
bool AppFxInitRichEdit() {
  // Loaded for the rest of the process: windows of its class may be made at
  // any time, and the library is freed only at process end.
  static CModuleHandle library(::LoadLibraryW(L"riched20.dll"));
  return library.IsValid();
}

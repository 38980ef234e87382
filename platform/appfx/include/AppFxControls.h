#pragma once
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <string>

// The dialog framework's control wrappers: views of a dialog's controls by
// window handle (they own nothing) and the two owners, image list and font.
// Used on the thread that owns the controls.

class CAppFxCtrl {
public:
  CAppFxCtrl() = default;
  explicit CAppFxCtrl(HWND window) : m_hWnd(window) {}
  // The dialog's control of that id; false when there is none.
  bool Attach(HWND dialog, int id);
  void Attach(HWND window) { m_hWnd = window; }
  HWND GetHwnd() const { return m_hWnd; }
  std::wstring GetText() const;
  void SetText(const std::wstring& text) const;
  void Enable(bool enable) const;
  bool IsEnabled() const;
  void Show(bool show) const;
  bool IsVisible() const;
  void SetFont(HFONT font) const;

protected:
  HWND m_hWnd = nullptr;
};

class CAppFxButton : public CAppFxCtrl {
public:
  using CAppFxCtrl::CAppFxCtrl;
  int GetCheck() const;  // BST_CHECKED or BST_UNCHECKED
  void SetCheck(int check) const;
};

class CAppFxEdit : public CAppFxCtrl {
public:
  using CAppFxCtrl::CAppFxCtrl;
  void SetLimitText(UINT limit) const;
  void SetSel(int start, int end) const;
  int GetTextLength() const;
};

class CAppFxProgressCtrl : public CAppFxCtrl {
public:
  using CAppFxCtrl::CAppFxCtrl;
  void SetRange(int low, int high) const;
  int SetPos(int position) const;  // the previous position
  int GetPos() const;
  void SetStep(int step) const;
  int StepIt() const;
};

// Owns its list unless handed over (a list view given LVSIL_* with
// LVS_SHAREIMAGELISTS, or Detach).
class CAppFxImageList {
public:
  CAppFxImageList() = default;
  ~CAppFxImageList() { Destroy(); }
  bool Create(int cx, int cy, UINT flags, int initial, int grow);
  // Index of the added icon, -1 on failure.
  int AddIcon(HICON icon);
  // Loads the module's icon of that id at the list's size and adds it.
  int AddIcon(HINSTANCE module, UINT id);
  int GetCount() const;
  HIMAGELIST Get() const { return m_list; }
  HIMAGELIST Detach();
  void Destroy();

private:
  CAppFxImageList(const CAppFxImageList&) = delete;
  CAppFxImageList& operator=(const CAppFxImageList&) = delete;
  HIMAGELIST m_list = nullptr;
  int m_cx = 0, m_cy = 0;
};

class CAppFxListCtrl : public CAppFxCtrl {
public:
  using CAppFxCtrl::CAppFxCtrl;
  DWORD SetExtendedStyle(DWORD style) const;
  void ModifyStyle(DWORD remove, DWORD add) const;
  HIMAGELIST SetImageList(HIMAGELIST images, int which) const;
  void SetIconSpacing(int cx, int cy) const;
  int InsertColumn(int column, const std::wstring& heading, int format, int width) const;
  bool DeleteAllColumns() const;
  // Index of the new row, -1 on failure; image -1 shows none.
  int InsertItem(int row, const std::wstring& text, int image = -1, LPARAM data = 0) const;
  // A sub-item's image (-1 and I_IMAGENONE show none; read back as -1) or text.
  bool SetItemImage(int row, int column, int image) const;
  int GetItemImage(int row, int column) const;
  bool SetItemText(int row, int column, const std::wstring& text) const;
  std::wstring GetItemText(int row, int column) const;
  LPARAM GetItemData(int row) const;
  int GetItemCount() const;
  bool DeleteAllItems() const;
  // The first selected row, -1 when none.
  int GetSelectedIndex() const;
  bool SelectItem(int row) const;
  void RedrawItems(int first, int last) const;
};

// A rich edit control (version 2 and later, "RichEdit20W"); the library is
// loaded by AppFxInitRichEdit.
class CAppFxRichEditCtrl : public CAppFxCtrl {
public:
  using CAppFxCtrl::CAppFxCtrl;
  bool Create(HWND parent, const RECT& rect, int id, DWORD style, DWORD exStyle = 0);
  void SetEventMask(DWORD mask) const;
  void SetBackgroundColor(bool systemColor, COLORREF color) const;
  void SetReadOnly(bool readOnly) const;
  // Positions count the control's own text, where a line break is one.
  int GetTextLength() const;
  void SetSel(int start, int end) const;
  void GetSel(int* start, int* end) const;
  void HideSelection(bool hide) const;
  void ReplaceSel(const std::wstring& text) const;
  std::wstring GetTextRange(int start, int end) const;
  // First position of the text at or after start, matching case; -1 when none.
  int FindText(const std::wstring& text, int start) const;
  // Effects (CFE_BOLD, CFE_LINK) switched on over the selection.
  bool SetSelectionEffects(DWORD mask, DWORD effects) const;
  DWORD GetEffectsAt(int position) const;
};

// Owns a font.
class CAppFxFont {
public:
  CAppFxFont() = default;
  ~CAppFxFont() { Delete(); }
  bool CreateFontIndirect(const LOGFONTW& font);
  // Height in tenths of a point, as the screen shows it.
  bool CreatePointFont(int tenthsOfPoint, LPCWSTR face, int weight = FW_NORMAL);
  HFONT Get() const { return m_font; }
  void Delete();

private:
  CAppFxFont(const CAppFxFont&) = delete;
  CAppFxFont& operator=(const CAppFxFont&) = delete;
  HFONT m_font = nullptr;
};

// Loads the rich edit library once per process; false when it is missing.
bool AppFxInitRichEdit();

// HTML help through the platform's viewer. Initialised when the program
// starts and uninitialised when it ends; a command is the viewer's own
// (HH_HELP_CONTEXT, HH_DISPLAY_TOPIC, HH_CLOSE_ALL). The viewer's window, or
// null when it could not show the topic (or is not initialised).
bool AppFxHtmlHelpInitialize();
void AppFxHtmlHelpUninitialize();
HWND AppFxHtmlHelp(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data);

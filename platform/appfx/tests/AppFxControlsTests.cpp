#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <type_traits>
#include "AppFxControls.h"
#include "GdiHandles.h"

namespace {

typedef std::unique_ptr<std::remove_pointer<HWND>::type, decltype(&::DestroyWindow)> CWindowHandle;

// A plain top-level window holding the controls under test, as a dialog
// holds them.
class ControlsTest : public ::testing::Test {
protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ASSERT_TRUE(::InitCommonControlsEx(&classes));
    m_host.reset(::CreateWindowExW(0, L"STATIC", L"controls", WS_POPUP | WS_VISIBLE, 0, 0, 480, 320, nullptr,
                                   nullptr, nullptr, nullptr));
    ASSERT_TRUE(m_host);
  }

  HWND Child(LPCWSTR windowClass, DWORD style, int id) {
    return ::CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 460, 300, m_host.get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }

  CWindowHandle m_host{nullptr, &::DestroyWindow};
};

TEST_F(ControlsTest, ListViewKeepsColumnsRowsDataSubItemImagesAndSelection) {
  CAppFxListCtrl list;
  ASSERT_FALSE(list.Attach(m_host.get(), 4242));
  Child(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 1042);
  ASSERT_TRUE(list.Attach(m_host.get(), 1042));
  list.SetExtendedStyle(LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
  EXPECT_EQ(static_cast<DWORD>(LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP | LVS_EX_LABELTIP),
            list.SetExtendedStyle(LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP | LVS_EX_LABELTIP));

  CAppFxImageList images;
  ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 6, 0));
  for (int i = 0; i < 6; ++i) ASSERT_EQ(i, images.AddIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
  list.SetImageList(images.Get(), LVSIL_SMALL);

  EXPECT_EQ(0, list.InsertColumn(0, L"", LVCFMT_LEFT, 220));
  EXPECT_EQ(1, list.InsertColumn(1, L"", LVCFMT_CENTER, 20));
  EXPECT_EQ(2, list.InsertColumn(2, L"", LVCFMT_CENTER, 20));

  EXPECT_EQ(0, list.InsertItem(0, L"Phone", 0, 1001));
  EXPECT_EQ(1, list.InsertItem(1, L"Headset", 1, 1002));
  const std::wstring longName(700, L'x');
  EXPECT_EQ(2, list.InsertItem(2, longName));
  EXPECT_EQ(3, list.GetItemCount());
  EXPECT_EQ(1001, list.GetItemData(0));
  EXPECT_EQ(1002, list.GetItemData(1));
  EXPECT_EQ(L"Headset", list.GetItemText(1, 0));
  EXPECT_EQ(longName, list.GetItemText(2, 0));

  // Paired and trusted marks in columns 1 and 2; -1 clears a mark again.
  EXPECT_TRUE(list.SetItemImage(0, 1, 2));
  EXPECT_TRUE(list.SetItemImage(0, 2, 4));
  EXPECT_TRUE(list.SetItemImage(1, 1, 3));
  EXPECT_EQ(0, list.GetItemImage(0, 0));
  EXPECT_EQ(2, list.GetItemImage(0, 1));
  EXPECT_EQ(4, list.GetItemImage(0, 2));
  EXPECT_EQ(1, list.GetItemImage(1, 0));
  EXPECT_EQ(3, list.GetItemImage(1, 1));
  EXPECT_EQ(-1, list.GetItemImage(2, 0));
  EXPECT_TRUE(list.SetItemImage(0, 2, -1));
  EXPECT_EQ(-1, list.GetItemImage(0, 2));
  EXPECT_TRUE(list.SetItemText(1, 1, L"sub"));
  EXPECT_EQ(L"sub", list.GetItemText(1, 1));

  EXPECT_EQ(-1, list.GetSelectedIndex());
  EXPECT_TRUE(list.SelectItem(1));
  EXPECT_EQ(1, list.GetSelectedIndex());
  EXPECT_TRUE(list.SelectItem(0));
  EXPECT_EQ(0, list.GetSelectedIndex());  // single selection moves

  EXPECT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(0, list.GetItemCount());
  EXPECT_EQ(-1, list.GetSelectedIndex());
  EXPECT_TRUE(list.DeleteAllColumns());
  HWND header = ListView_GetHeader(list.GetHwnd());
  EXPECT_EQ(0, Header_GetItemCount(header));
  list.SetImageList(nullptr, LVSIL_SMALL);
}

TEST_F(ControlsTest, ImageListAddsIconsAndHandsItsListOver) {
  CAppFxImageList images;
  EXPECT_EQ(-1, images.AddIcon(::LoadIconW(nullptr, IDI_APPLICATION)));  // not created yet
  ASSERT_TRUE(images.Create(24, 24, ILC_COLOR32 | ILC_MASK, 6, 0));
  EXPECT_EQ(-1, images.AddIcon(static_cast<HICON>(nullptr)));
  EXPECT_EQ(0, images.AddIcon(::LoadIconW(nullptr, IDI_WARNING)));
  // A module's icon by id, loaded at the list's size; a missing id adds nothing.
  HINSTANCE user32 = ::GetModuleHandleW(L"user32.dll");
  EXPECT_EQ(1, images.AddIcon(user32, 32512));
  EXPECT_EQ(-1, images.AddIcon(user32, 4711));
  EXPECT_EQ(2, images.GetCount());
  int cx = 0, cy = 0;
  ASSERT_TRUE(::ImageList_GetIconSize(images.Get(), &cx, &cy));
  EXPECT_EQ(24, cx);
  EXPECT_EQ(24, cy);

  // Creating again replaces the list; a detached list outlives its owner.
  ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
  EXPECT_EQ(0, images.GetCount());
  EXPECT_EQ(0, images.AddIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
  CImageListHandle kept;
  {
    CAppFxImageList owner;
    ASSERT_TRUE(owner.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
    owner.AddIcon(::LoadIconW(nullptr, IDI_APPLICATION));
    kept.Reset(owner.Detach());
    EXPECT_EQ(nullptr, owner.Get());
    EXPECT_EQ(0, owner.GetCount());
  }
  EXPECT_EQ(1, ::ImageList_GetImageCount(kept.Get()));
  images.Destroy();
  EXPECT_EQ(nullptr, images.Get());
}

TEST_F(ControlsTest, ProgressStepsFromZeroToItsEnd) {
  CAppFxProgressCtrl progress(Child(PROGRESS_CLASSW, 0, 1073));
  progress.SetRange(0, 100);
  EXPECT_EQ(0, progress.SetPos(100));
  EXPECT_EQ(100, progress.GetPos());
  progress.SetStep(2);
  EXPECT_EQ(100, progress.SetPos(0));
  EXPECT_EQ(0, progress.StepIt());  // the position before the step
  EXPECT_EQ(2, progress.GetPos());
  for (int i = 1; i < 50; ++i) progress.StepIt();
  EXPECT_EQ(100, progress.GetPos());
}

TEST_F(ControlsTest, EditKeepsItsLimitAndButtonsTheirCheck) {
  CAppFxEdit edit(Child(L"EDIT", ES_AUTOHSCROLL, 1050));
  edit.SetLimitText(16);
  for (wchar_t c : std::wstring(L"12345678901234567890")) ::SendMessageW(edit.GetHwnd(), WM_CHAR, c, 0);
  EXPECT_EQ(16, edit.GetTextLength());
  EXPECT_EQ(L"1234567890123456", edit.GetText());
  edit.SetText(L"846");
  edit.SetSel(0, -1);
  DWORD start = 0, end = 0;
  ::SendMessageW(edit.GetHwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(0u, start);
  EXPECT_EQ(3u, end);

  CAppFxButton check(Child(L"BUTTON", BS_AUTOCHECKBOX, 1072));
  EXPECT_EQ(BST_UNCHECKED, check.GetCheck());
  check.SetCheck(BST_CHECKED);
  EXPECT_EQ(BST_CHECKED, check.GetCheck());
  check.Enable(false);
  EXPECT_FALSE(check.IsEnabled());
  check.Show(false);
  EXPECT_FALSE(check.IsVisible());

  CAppFxFont font;
  ASSERT_TRUE(font.CreatePointFont(80, L"MS Shell Dlg", FW_BOLD));
  check.SetFont(font.Get());
  EXPECT_EQ(font.Get(), reinterpret_cast<HFONT>(::SendMessageW(check.GetHwnd(), WM_GETFONT, 0, 0)));
  LOGFONTW described = {};
  ASSERT_TRUE(::GetObjectW(font.Get(), sizeof(described), &described));
  EXPECT_EQ(FW_BOLD, described.lfWeight);
  EXPECT_LT(described.lfHeight, 0);  // a character height, as a point size gives
}

// The rich edit counts a line break as one position: ranges found and read
// on the control's own text land on the characters meant.
TEST_F(ControlsTest, RichEditRangesCountALineBreakOnce) {
  CAppFxRichEditCtrl rich;
  RECT place = {0, 0, 460, 300};
  ASSERT_TRUE(rich.Create(m_host.get(), place, 1084,
                          WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL));
  rich.SetEventMask(ENM_LINK | ENM_SELCHANGE);
  EXPECT_EQ(static_cast<LRESULT>(ENM_LINK | ENM_SELCHANGE), ::SendMessageW(rich.GetHwnd(), EM_GETEVENTMASK, 0, 0));
  rich.SetBackgroundColor(false, RGB(255, 255, 255));
  CAppFxFont normal;  // the control would start in the bold system font
  ASSERT_TRUE(normal.CreatePointFont(80, L"MS Shell Dlg"));
  rich.SetFont(normal.Get());

  const std::wstring text = L"Check the cable.\r\nSwitch the phone on (it must be charged).\r\nMore help";
  rich.SetSel(0, -1);
  rich.ReplaceSel(text);
  const int crlfs = 2;
  EXPECT_EQ(static_cast<int>(text.size()) - crlfs, rich.GetTextLength());

  const int second = rich.FindText(L"Switch", 0);
  EXPECT_EQ(17, second);  // "Check the cable." and one line break
  EXPECT_EQ(-1, rich.FindText(L"switch", 0));  // case counts
  EXPECT_EQ(-1, rich.FindText(L"Check", 1));   // only forwards
  const int open = rich.FindText(L"(", second);
  EXPECT_EQ(L"(it must be charged).", rich.GetTextRange(open, open + 21));
  EXPECT_EQ(L"\r", rich.GetTextRange(second - 1, second));
  const int link = rich.FindText(L"More help", second);
  EXPECT_EQ(L"More help", rich.GetTextRange(link, rich.GetTextLength()));

  rich.SetSel(second, second + 6);
  EXPECT_TRUE(rich.SetSelectionEffects(CFM_BOLD, CFE_BOLD));
  rich.SetSel(link, link + 9);
  EXPECT_TRUE(rich.SetSelectionEffects(CFM_LINK | CFM_BOLD, CFE_LINK | CFE_BOLD));
  rich.SetSel(3, 3);

  EXPECT_EQ(0u, rich.GetEffectsAt(second - 1) & CFE_BOLD);
  EXPECT_NE(0u, rich.GetEffectsAt(second) & CFE_BOLD);
  EXPECT_NE(0u, rich.GetEffectsAt(second + 5) & CFE_BOLD);
  EXPECT_EQ(0u, rich.GetEffectsAt(second + 6) & CFE_BOLD);
  EXPECT_EQ(0u, rich.GetEffectsAt(link - 1) & CFE_LINK);
  EXPECT_NE(0u, rich.GetEffectsAt(link) & CFE_LINK);
  EXPECT_NE(0u, rich.GetEffectsAt(link + 8) & (CFE_LINK | CFE_BOLD));
  EXPECT_EQ(0u, rich.GetEffectsAt(0) & (CFE_LINK | CFE_BOLD));

  // Reading a position's effects leaves the user's selection alone.
  int start = -1, end = -1;
  rich.GetSel(&start, &end);
  EXPECT_EQ(3, start);
  EXPECT_EQ(3, end);

  // Replacing everything leaves no effect behind.
  rich.SetSel(0, -1);
  rich.ReplaceSel(L"");
  EXPECT_EQ(0, rich.GetTextLength());
  EXPECT_EQ(L"", rich.GetTextRange(0, -1));
}

}  // namespace

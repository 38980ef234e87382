#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include "ComPtr.h"
#include "WinTL.h"

namespace {

class CTestDialog : public CDialogImpl<CTestDialog>,
                    public CWinDataExchange<CTestDialog>,
                    public CDialogResize<CTestDialog> {
public:
  enum { IDD = 100 };

  BEGIN_MSG_MAP(CTestDialog)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  MESSAGE_HANDLER(WM_APP, OnThrow)
  COMMAND_HANDLER(1001, EN_CHANGE, OnFirstChanged)
  COMMAND_ID_HANDLER(1003, OnGo)
  COMMAND_CODE_HANDLER(EN_SETFOCUS, OnAnyFocus)
  CHAIN_MSG_MAP(CDialogResize<CTestDialog>)
  END_MSG_MAP()

  BEGIN_DDX_MAP(CTestDialog)
  DDX_TEXT(1001, m_first)
  DDX_TEXT(1002, m_second)
  END_DDX_MAP()

  BEGIN_DLGRESIZE_MAP(CTestDialog)
  DLGRESIZE_CONTROL(1001, DLSZ_SIZE_X)
  DLGRESIZE_CONTROL(1003, DLSZ_MOVE_X | DLSZ_MOVE_Y)
  END_DLGRESIZE_MAP()

  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    DlgResize_Init();
    return TRUE;
  }
  LRESULT OnThrow(UINT, WPARAM, LPARAM, BOOL&) { throw std::runtime_error("handler failed"); }
  LRESULT OnFirstChanged(WORD, WORD, HWND, BOOL&) {
    ++m_changes;
    return 0;
  }
  LRESULT OnGo(WORD, WORD, HWND, BOOL&) {
    ++m_goes;
    return 0;
  }
  LRESULT OnAnyFocus(WORD, WORD id, HWND, BOOL&) {
    m_focused.push_back(id);
    return 0;
  }
  void OnFinalMessage(HWND) override { m_final = true; }

  std::wstring m_first;
  wchar_t m_second[8] = L"";
  int m_changes = 0;
  int m_goes = 0;
  std::vector<int> m_focused;
  bool m_final = false;
};

struct DialogFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(dialog.Create(nullptr));
  }
  void TearDown() override {
    if (dialog.m_hWnd) dialog.DestroyWindow();
  }
  CTestDialog dialog;
};

RECT ItemRect(HWND dialog, int id) {
  RECT r;
  ::GetWindowRect(::GetDlgItem(dialog, id), &r);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

TEST_F(DialogFixture, MessageMapRoutesByMessageCommandIdAndCode) {
  ::SetDlgItemTextW(dialog, 1001, L"x");  // EN_CHANGE from 1001
  ::SetDlgItemTextW(dialog, 1002, L"y");  // EN_CHANGE from 1002: no handler
  EXPECT_EQ(1, dialog.m_changes);
  ::SendMessageW(::GetDlgItem(dialog, 1003), BM_CLICK, 0, 0);
  EXPECT_EQ(1, dialog.m_goes);
  ::SetFocus(::GetDlgItem(dialog, 1002));
  ASSERT_FALSE(dialog.m_focused.empty());
  EXPECT_EQ(1002, dialog.m_focused.back());
}

TEST_F(DialogFixture, HandlerThatThrowsIsContainedAndTheDialogGoesOn) {
  ::SendMessageW(dialog, WM_APP, 0, 0);
  ::SendMessageW(::GetDlgItem(dialog, 1003), BM_CLICK, 0, 0);
  EXPECT_EQ(1, dialog.m_goes);
}

TEST_F(DialogFixture, DestroyingCallsTheFinalMessageAndForgetsTheHandle) {
  dialog.DestroyWindow();
  EXPECT_TRUE(dialog.m_final);
  EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST_F(DialogFixture, DataExchangeMovesTextsBothWays) {
  dialog.m_first = L"first";
  wcscpy(dialog.m_second, L"second");
  ASSERT_TRUE(dialog.DoDataExchange(FALSE));
  wchar_t text[32];
  ::GetDlgItemTextW(dialog, 1001, text, 32);
  EXPECT_STREQ(L"first", text);
  ::SetDlgItemTextW(dialog, 1001, L"edited");
  ASSERT_TRUE(dialog.DoDataExchange(TRUE, 1001));
  EXPECT_EQ(L"edited", dialog.m_first);
  EXPECT_STREQ(L"second", dialog.m_second);  // only 1001 was exchanged
}

TEST_F(DialogFixture, TextThatDoesNotFitFailsTheExchangeAndTakesTheFocus) {
  ::ShowWindow(dialog, SW_SHOW);
  ::SetForegroundWindow(dialog);
  ::SetDlgItemTextW(dialog, 1002, L"much too long");
  ::SetFocus(::GetDlgItem(dialog, 1003));
  EXPECT_FALSE(dialog.DoDataExchange(TRUE));
  EXPECT_EQ(::GetDlgItem(dialog, 1002), ::GetFocus());
  EXPECT_STREQ(L"", dialog.m_second);
}

TEST_F(DialogFixture, ResizeStretchesAndMovesTheListedControls) {
  RECT edit = ItemRect(dialog, 1001), button = ItemRect(dialog, 1003),
       fixed = ItemRect(dialog, 1002);
  RECT window;
  ::GetWindowRect(dialog, &window);
  ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + 40,
                 window.bottom - window.top + 30, SWP_NOMOVE | SWP_NOZORDER);
  RECT edit2 = ItemRect(dialog, 1001), button2 = ItemRect(dialog, 1003),
       fixed2 = ItemRect(dialog, 1002);
  EXPECT_EQ(edit.left, edit2.left);
  EXPECT_EQ(edit.right + 40, edit2.right);
  EXPECT_EQ(button.left + 40, button2.left);
  EXPECT_EQ(button.top + 30, button2.top);
  EXPECT_EQ(fixed.right, fixed2.right);
}

TEST_F(DialogFixture, BitmapButtonSizesToItsImagesAndShowsItsState) {
  CImageListHandle images(::ImageList_Create(28, 28, ILC_COLOR24 | ILC_MASK, 4, 1));
  ASSERT_TRUE(images);
  for (int i = 0; i < 4; ++i) {
    CGdiObject bitmap(::CreateBitmap(28, 28, 1, 32, nullptr));
    ASSERT_EQ(i, ::ImageList_Add(images.Get(), static_cast<HBITMAP>(bitmap.Get()), nullptr));
  }
  CBitmapButton button;
  button.SetImageList(images.Get());
  button.SetImages(0, 1, 2, 3);
  button.SetBitmapButtonExtendedStyle(BMPBTN_HOVER | BMPBTN_AUTOSIZE);
  ASSERT_TRUE(button.SubclassWindow(::GetDlgItem(dialog, 1004)));
  RECT r = ItemRect(dialog, 1004);
  EXPECT_EQ(28, r.right - r.left);
  EXPECT_EQ(28, r.bottom - r.top);
  EXPECT_EQ(0, button.GetCurrentImage());
  ::SendMessageW(button.m_hWnd, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(1, button.GetCurrentImage());
  ::SendMessageW(button.m_hWnd, BM_SETSTATE, FALSE, 0);
  ::EnableWindow(button.m_hWnd, FALSE);
  EXPECT_EQ(3, button.GetCurrentImage());
  // A click still reaches the dialog as a command.
  ::EnableWindow(button.m_hWnd, TRUE);
  ::UpdateWindow(button.m_hWnd);
}

TEST(MessageLoopTest, FiltersRunNewestFirstAndAHandledMessageStops) {
  struct Filter : CMessageFilter {
    Filter(std::vector<int>* seen, int id, BOOL handles) : seen(seen), id(id), handles(handles) {}
    BOOL PreTranslateMessage(MSG* msg) override {
      if (msg->message == WM_APP + 1) seen->push_back(id);
      return msg->message == WM_APP + 1 ? handles : FALSE;
    }
    std::vector<int>* seen;
    int id;
    BOOL handles;
  };
  std::vector<int> seen;
  Filter older(&seen, 1, FALSE), newer(&seen, 2, TRUE);
  CMessageLoop loop;
  loop.AddMessageFilter(&older);
  loop.AddMessageFilter(&newer);
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 1, 0, 0);
  ::PostQuitMessage(7);
  EXPECT_EQ(7, loop.Run());
  EXPECT_EQ(std::vector<int>({2}), seen);
  loop.RemoveMessageFilter(&newer);
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 1, 0, 0);
  ::PostQuitMessage(0);
  loop.Run();
  EXPECT_EQ(std::vector<int>({2, 1}), seen);
}

TEST(AppModuleTest, EachThreadFindsItsOwnLoop) {
  CAppModule module;
  ASSERT_TRUE(module.Init(nullptr));
  CMessageLoop mine;
  ASSERT_TRUE(module.AddMessageLoop(&mine));
  EXPECT_FALSE(module.AddMessageLoop(&mine));  // one loop per thread
  CMessageLoop* seenThere = &mine;
  DWORD otherId = 0;
  std::thread other([&] {
    CMessageLoop theirs;
    module.AddMessageLoop(&theirs);
    seenThere = module.GetMessageLoop();
    otherId = ::GetCurrentThreadId();
    EXPECT_EQ(&theirs, seenThere);
    module.RemoveMessageLoop();
  });
  other.join();
  EXPECT_NE(&mine, seenThere);
  EXPECT_EQ(nullptr, module.GetMessageLoop(otherId));
  EXPECT_EQ(&mine, module.GetMessageLoop());
  EXPECT_TRUE(module.RemoveMessageLoop());
  module.Term();
  EXPECT_FALSE(module.AddMessageLoop(&mine));
}

TEST(ImageTest, PngRoundTripThroughFileAndStream) {
  CImage image;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 12;
  info.bmiHeader.biHeight = 9;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  image.Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_FALSE(image.IsNull());
  wchar_t folder[MAX_PATH], path[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  ::GetTempFileNameW(folder, L"img", 0, path);
  ASSERT_EQ(S_OK, image.SavePng(path));

  CImage fromFile;
  ASSERT_EQ(S_OK, fromFile.Load(path));
  EXPECT_EQ(12, fromFile.GetWidth());
  EXPECT_EQ(9, fromFile.GetHeight());

  CHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr));
  ASSERT_TRUE(file);
  DWORD size = ::GetFileSize(file.Get(), nullptr);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
  DWORD read = 0;
  ::ReadFile(file.Get(), ::GlobalLock(memory), size, &read, nullptr);
  ::GlobalUnlock(memory);
  CComPtr<IStream> stream;
  ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(memory, TRUE, &stream));
  CImage fromStream;
  EXPECT_EQ(S_OK, fromStream.Load(stream));
  EXPECT_EQ(12, fromStream.GetWidth());
  file.Reset();
  ::DeleteFileW(path);

  CImage missing;
  EXPECT_NE(S_OK, missing.Load(path));
  EXPECT_TRUE(missing.IsNull());
}

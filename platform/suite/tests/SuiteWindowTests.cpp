#include <windows.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <functional>
#include <thread>
#include "GdiHandles.h"
#include "Image.h"
#include "QorsalDialix.h"
#include "SuiteTestKit.h"
#include "WindowProbe.h"

namespace {

const int kTitle = 301, kBar = 302, kText = 303, kPicture = 304, kCheck = 305, kFirst = 306, kSecond = 307,
          kAnimation = 308, kOff = 309;

BOOL CALLBACK AddUnpainted(HWND window, LPARAM context) {
  RECT update;
  if (::IsWindowVisible(window) && ::GetUpdateRect(window, &update, FALSE)) *reinterpret_cast<bool*>(context) = true;
  return TRUE;
}

bool Unpainted(HWND window) {
  bool waiting = false;
  AddUnpainted(window, reinterpret_cast<LPARAM>(&waiting));
  ::EnumChildWindows(window, &AddUnpainted, reinterpret_cast<LPARAM>(&waiting));
  return waiting;
}

// Runs this thread's messages until the window and its children are painted
// (bounded).
void Settle(HWND window) {
  ULONGLONG deadline = ::GetTickCount64() + 5000;
  MSG message;
  do {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::UpdateWindow(window);
  } while (Unpainted(window) && ::GetTickCount64() < deadline);
}

// Waits from another thread until the window's thread painted it (bounded).
void WaitPainted(HWND window) {
  ULONGLONG deadline = ::GetTickCount64() + 5000;
  DWORD_PTR ignored = 0;
  do {
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
  } while (Unpainted(window) && ::GetTickCount64() < deadline);
}

// The window as it is on the screen.
void Capture(HWND window, CImage* picture) {
  RECT place = {};
  ::GetWindowRect(window, &place);
  CScreenDC screen(::GetDC(nullptr));
  CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  picture->Attach(::CreateCompatibleBitmap(screen.Get(), place.right - place.left, place.bottom - place.top));
  CSelectObject select(memory.Get(), static_cast<HBITMAP>(*picture));
  ::BitBlt(memory.Get(), 0, 0, place.right - place.left, place.bottom - place.top, screen.Get(), place.left,
           place.top, SRCCOPY);
}

// Saved as a test artifact when the run has a screenshot folder.
void SavePicture(HWND window, const wchar_t* name) {
  std::wstring folder = WindowProbe::ScreenshotFolder();
  if (folder.empty()) return;
  CImage picture;
  Capture(window, &picture);
  EXPECT_TRUE(SUCCEEDED(picture.SavePng((folder + L"\\" + name).c_str()))) << "picture " << name;
}

// The colour at a point of the window's client area, on the screen.
COLORREF ScreenColour(HWND window, POINT point) {
  ::ClientToScreen(window, &point);
  CScreenDC screen(::GetDC(nullptr));
  return ::GetPixel(screen.Get(), point.x, point.y);
}

int Distance(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
         std::abs(GetBValue(a) - GetBValue(b));
}

struct Clicks {
  int check = 0;
};

INT_PTR CALLBACK CountingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kCheck && HIWORD(wParam) == BN_CLICKED)
    ++reinterpret_cast<Clicks*>(::GetWindowLongPtrW(dialog, DWLP_USER))->check;
  return FALSE;
}

// Runs work on another thread while this one serves its windows (bounded).
void FromAnotherThread(const std::function<void()>& work) {
  CHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread other([&] {
    work();
    ::SetEvent(done.Get());
  });
  ULONGLONG deadline = ::GetTickCount64() + 20000;
  HANDLE wait = done.Get();
  while (::MsgWaitForMultipleObjects(1, &wait, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0 &&
         ::GetTickCount64() < deadline) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  other.join();
}

class SkinnedWindowTest : public SkinModuleTest {
protected:
  void SetUp() override {
    SkinModuleTest::SetUp();
    CXeluLib::Init(::GetModuleHandleW(nullptr), Skin());
    CXeluButtonSkin buttons;
    const UINT firsts[XELU_STATE_COUNT] = {3002, 3008, 3005, 3011};
    for (int state = 0; state < XELU_STATE_COUNT; ++state)
      buttons.SetState(state, firsts[state], firsts[state] + 1, firsts[state] + 2, SutrelLoadColor(Skin(), 601 + state));
    CXeluButtonSkin::SetDefaultSkinDef(buttons);
    m_box.SetButtonCaptions(::GetModuleHandleW(nullptr), 700, 701, 702, 703);
    m_box.SetBackgroundSkin(CXeluStaticBitmapSkin(3067));
    m_box.SetButtonSkin(buttons);
    m_box.SetTextColor(SutrelLoadColor(Skin(), 600));
    m_owner = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(200), nullptr, &CountingDialog, 0);
    ASSERT_NE(nullptr, m_owner);
    ::ShowWindow(m_owner, SW_SHOW);
    Settle(m_owner);
  }
  void TearDown() override {
    if (m_owner) ::DestroyWindow(m_owner);
    CXeluLib::Init(::GetModuleHandleW(nullptr), nullptr);
  }

  // Shows the box on this thread while another one acts on it; what that
  // one saw comes back through its own checks.
  int ShowWhile(const wchar_t* caption, UINT style, const std::function<void(HWND box)>& act) {
    std::thread other([&] {
      HWND box = WindowProbe::WaitForDialog(caption);
      EXPECT_NE(nullptr, box) << "no box titled " << caption;
      if (!box) return;
      WaitPainted(box);
      act(box);
      // The box must be gone after the act; when it is not, the failure is
      // recorded and the box closed, so that the test ends.
      ULONGLONG deadline = ::GetTickCount64() + 10000;
      while (::IsWindow(box) && ::GetTickCount64() < deadline) ::Sleep(10);
      EXPECT_FALSE(::IsWindow(box)) << "the box stayed after the act";
      if (::IsWindow(box)) ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    int result = m_box.Show(m_owner, L"Connect the phone now?\nThe wizard waits for it.", caption, style);
    other.join();
    return result;
  }

  CXeluMessageBox m_box;
  HWND m_owner = nullptr;
};

}  // namespace

TEST_F(SkinnedWindowTest, MessageBoxIsADialogWithTheStyleButtonsAndYesReturnsSix) {
  bool ownerEnabledWhileShown = true;
  int result = ShowWhile(L"Question box", MB_YESNO | MB_ICONQUESTION, [&](HWND box) {
    EXPECT_EQ(L"#32770", WindowProbe::ClassName(box));
    EXPECT_EQ(L"Connect the phone now?\nThe wizard waits for it.", WindowProbe::BoxText(box));
    EXPECT_EQ(L"Sure", WindowProbe::ItemText(box, IDYES));
    EXPECT_EQ(L"Never", WindowProbe::ItemText(box, IDNO));
    EXPECT_EQ(nullptr, ::GetDlgItem(box, IDOK));
    EXPECT_EQ(nullptr, ::GetDlgItem(box, IDCANCEL));
    EXPECT_EQ(m_owner, ::GetWindow(box, GW_OWNER));
    ownerEnabledWhileShown = ::IsWindowEnabled(m_owner) != FALSE;
    SavePicture(box, L"suite-message-box.png");
    WindowProbe::Click(box, IDYES);
  });
  EXPECT_EQ(6, result);
  EXPECT_FALSE(ownerEnabledWhileShown);
  EXPECT_TRUE(::IsWindowEnabled(m_owner));
}

TEST_F(SkinnedWindowTest, MessageBoxClosedOrEscapedReturnsCancel) {
  EXPECT_EQ(IDCANCEL, ShowWhile(L"Closed box", MB_YESNO | MB_ICONWARNING,
                                [](HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); }));
  EXPECT_EQ(IDCANCEL, ShowWhile(L"Escaped box", MB_OK | MB_ICONERROR, [](HWND box) {
              EXPECT_EQ(L"Okay", WindowProbe::ItemText(box, IDOK));
              HWND focused = ::GetDlgItem(box, IDOK);
              ::PostMessageW(focused, WM_KEYDOWN, VK_ESCAPE, 0);
            }));
  EXPECT_EQ(IDNO, ShowWhile(L"Default box", MB_YESNO | MB_DEFBUTTON2, [](HWND box) {
              // Enter presses the default button, the second here.
              ::PostMessageW(::GetDlgItem(box, IDNO), WM_KEYDOWN, VK_RETURN, 0);
            }));
  EXPECT_TRUE(::IsWindowEnabled(m_owner));
}

TEST_F(SkinnedWindowTest, ControlsDrawOverTheBackgroundAndStayUsable) {
  Clicks clicks;
  HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300), nullptr, &CountingDialog,
                                     reinterpret_cast<LPARAM>(&clicks));
  ASSERT_NE(nullptr, dialog);
  CXeluBackBuffer background(3001);
  CXeluStaticCtrl title, text, picture;
  CXeluBarStaticCtrl bar;
  CXeluButtonCtrl check, first, second, ok, cancel, off;
  CXeluAniStaticCtrl animation;
  CXeluStaticBitmapSkin pictureSkin(3029);
  CXeluAniStaticSkin animationSkin(3035, 3043, 250);
  ASSERT_TRUE(background.SetBackground(dialog));
  ASSERT_TRUE(title.Attach(::GetDlgItem(dialog, kTitle)));
  title.SetTextColor(RGB(255, 255, 255));
  ASSERT_TRUE(bar.Attach(::GetDlgItem(dialog, kBar)));
  ASSERT_TRUE(text.Attach(::GetDlgItem(dialog, kText)));
  text.SetTextColor(SutrelLoadColor(Skin(), 600));
  ASSERT_TRUE(picture.Attach(::GetDlgItem(dialog, kPicture), &pictureSkin));
  ASSERT_TRUE(animation.Attach(::GetDlgItem(dialog, kAnimation), &animationSkin));
  int ids[] = {kCheck, kFirst, kSecond, IDOK, IDCANCEL, kOff};
  CXeluButtonCtrl* buttons[] = {&check, &first, &second, &ok, &cancel, &off};
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(buttons[i]->Attach(::GetDlgItem(dialog, ids[i]))) << ids[i];
  ::ShowWindow(dialog, SW_SHOW);
  Settle(dialog);

  // A text static shows the window's picture around its text: just inside
  // and just outside its right edge the colour is the same.
  RECT place = {};
  ::GetWindowRect(::GetDlgItem(dialog, kTitle), &place);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  const int middle = (place.top + place.bottom) / 2;
  EXPECT_LT(Distance(ScreenColour(dialog, POINT{place.right - 2, middle}),
                     ScreenColour(dialog, POINT{place.right + 2, middle})), 24);

  // Another process reaches the buttons by messages alone.
  FromAnotherThread([&] {
    ::SendMessageW(::GetDlgItem(dialog, kCheck), BM_CLICK, 0, 0);
    ::SendMessageW(::GetDlgItem(dialog, kSecond), BM_SETCHECK, BST_CHECKED, 0);
  });
  EXPECT_EQ(1, clicks.check);
  EXPECT_EQ(BST_CHECKED, ::SendDlgItemMessageW(dialog, kCheck, BM_GETCHECK, 0, 0));
  EXPECT_EQ(BST_CHECKED, ::SendDlgItemMessageW(dialog, kSecond, BM_GETCHECK, 0, 0));
  Settle(dialog);
  SavePicture(dialog, L"suite-skinned-controls.png");

  // And the keyboard: space on the focused check box.
  ::SetFocus(::GetDlgItem(dialog, kCheck));
  ::SendDlgItemMessageW(dialog, kCheck, WM_KEYDOWN, VK_SPACE, 0);
  ::SendDlgItemMessageW(dialog, kCheck, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(2, clicks.check);
  EXPECT_EQ(BST_UNCHECKED, ::SendDlgItemMessageW(dialog, kCheck, BM_GETCHECK, 0, 0));

  // Started after the pictures: its frames keep the window busy painting.
  animation.StartAnimation();
  EXPECT_TRUE(animation.IsAnimating());
  animation.StopAnimation();
  EXPECT_FALSE(animation.IsAnimating());
  // The windows go before their controls.
  ::DestroyWindow(dialog);
  EXPECT_EQ(nullptr, title.GetHwnd());
  EXPECT_EQ(nullptr, check.GetHwnd());
}

TEST_F(SkinnedWindowTest, CreatedControlsGoWithTheirObject) {
  HWND window = nullptr;
  {
    CXeluAniStaticCtrl animation;
    CXeluAniStaticSkin skin(3057, 3059, 250);
    ASSERT_TRUE(animation.Create(m_owner, RECT{10, 10, 170, 90}, 77, &skin));
    window = animation.GetHwnd();
    EXPECT_EQ(window, ::GetDlgItem(m_owner, 77));
    animation.StartAnimation();
  }
  EXPECT_FALSE(::IsWindow(window));
  CXeluStaticCtrl attached;
  EXPECT_FALSE(attached.Attach(nullptr));
}

TEST_F(SkinnedWindowTest, AChildWithABackgroundShowsItsPartOfTheFramesPicture) {
  HWND frame = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300), nullptr, &CountingDialog,
                                    0);
  ASSERT_NE(nullptr, frame);
  CXeluBackBuffer frameBackground(3001), pageBackground(3067);
  ASSERT_TRUE(frameBackground.SetBackground(frame));
  // A page over the frame's dark band, given a light picture of its own.
  HWND page = ::CreateWindowExW(0, L"#32770", L"", WS_CHILD | WS_VISIBLE, 40, 2, 120, 20, frame, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, page);
  ASSERT_TRUE(pageBackground.SetBackground(page));
  ::ShowWindow(frame, SW_SHOW);
  Settle(frame);
  EXPECT_LT(Distance(ScreenColour(frame, POINT{42, 12}), ScreenColour(frame, POINT{38, 12})), 24);
  EXPECT_LT(Distance(ScreenColour(frame, POINT{158, 12}), ScreenColour(frame, POINT{162, 12})), 24);
  ::DestroyWindow(frame);
}

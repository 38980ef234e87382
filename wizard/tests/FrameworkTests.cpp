#include <windows.h>
#include <gtest/gtest.h>
#include <vector>
#include "AppFxApp.h"
#include "ZCLHandle.h"

// The framework's pump, modal loop and window map, on dialogs made from
// templates in memory.

namespace {

// A dialog template in memory: no menu, the system class, an empty title,
// and optionally one edit control (id 100) or one OK button.
class CMemoryTemplate {
public:
  enum Control { kNone, kEdit, kOkButton };
  CMemoryTemplate(DWORD style, bool withEdit) : CMemoryTemplate(style, withEdit ? kEdit : kNone) {}
  CMemoryTemplate(DWORD style, Control control) {
    bool withEdit = control != kNone;
    DLGTEMPLATE head = {};
    head.style = style;
    head.cdit = withEdit ? 1 : 0;
    head.cx = 200;
    head.cy = 100;
    Append(&head, sizeof(head));
    Word(0);  // menu
    Word(0);  // class
    Word(0);  // title
    if (withEdit) {
      Align();
      DLGITEMTEMPLATE item = {};
      item.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (control == kEdit ? ES_AUTOHSCROLL : BS_PUSHBUTTON);
      item.x = 10;
      item.y = 10;
      item.cx = 100;
      item.cy = 14;
      item.id = control == kEdit ? 100 : IDOK;
      Append(&item, sizeof(item));
      Word(0xFFFF);
      Word(control == kEdit ? 0x0081 : 0x0080);  // edit or button
      Word(0);       // text
      Word(0);       // creation data
    }
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
  void Append(const void* data, size_t bytes) {
    const WORD* words = static_cast<const WORD*>(data);
    m_words.insert(m_words.end(), words, words + bytes / sizeof(WORD));
  }
  void Word(WORD w) { m_words.push_back(w); }
  void Align() {
    if (m_words.size() % 2) m_words.push_back(0);
  }
  std::vector<WORD> m_words;  // DWORD-aligned by the allocator
};

class CEndsOnCommand : public CAppFxDialog<CEndsOnCommand> {
public:
  enum { IDD = 0 };
  explicit CEndsOnCommand(const DLGTEMPLATE* t) : CAppFxDialog<CEndsOnCommand>(t) {}
  BEGIN_MSG_MAP(CEndsOnCommand)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CAppFxDialog<CEndsOnCommand>)
  END_MSG_MAP()
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
  }
};

TEST(Framework, MemoryTemplateModalDialogEndsOnAPostedCommand) {
  CMemoryTemplate memory(WS_POPUP | WS_CAPTION | DS_MODALFRAME, false);
  CEndsOnCommand dialog(memory.Get());
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_FALSE(dialog.IsWindow());
}

// Another program's click: a BM_CLICK sent to the OK button once the dialog
// is on screen with nothing left to paint. When the dialog has not ended
// within the bound it is nudged with a posted message, which a loop that
// missed the end would need.
struct CSentClick {
  HWND dialog = nullptr;
  CHandle returned{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  bool clicked = false;
  bool nudged = false;
  static DWORD WINAPI Run(LPVOID parameter) {
    auto* self = static_cast<CSentClick*>(parameter);
    HWND button = GetDlgItem(self->dialog, IDOK);
    ULONGLONG deadline = GetTickCount64() + 20000;
    while (!(IsWindowVisible(self->dialog) && !GetUpdateRect(self->dialog, nullptr, FALSE) &&
             !GetUpdateRect(button, nullptr, FALSE)) &&
           GetTickCount64() < deadline)
      WaitForSingleObject(self->returned.Get(), 10);
    DWORD_PTR answer = 0;
    self->clicked = SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &answer) != 0;
    if (WaitForSingleObject(self->returned.Get(), 20000) != WAIT_OBJECT_0) {
      self->nudged = true;
      PostMessageW(self->dialog, WM_NULL, 0, 0);
    }
    return 0;
  }
};

class CClickedFromOutside : public CAppFxDialog<CClickedFromOutside> {
public:
  enum { IDD = 0 };
  CClickedFromOutside(const DLGTEMPLATE* t, CSentClick* click) : CAppFxDialog<CClickedFromOutside>(t), m_click(click) {}
  BEGIN_MSG_MAP(CClickedFromOutside)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CAppFxDialog<CClickedFromOutside>)
  END_MSG_MAP()
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    m_click->dialog = m_hWnd;
    thread.Reset(CreateThread(nullptr, 0, &CSentClick::Run, m_click, 0, nullptr));
    return TRUE;
  }
  CHandle thread;

private:
  CSentClick* m_click;
};

TEST(Framework, AModalDialogEndedByASentClickEndsWithoutWaitingForAnotherMessage) {
  CMemoryTemplate memory(WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE, CMemoryTemplate::kOkButton);
  CSentClick click;
  CClickedFromOutside dialog(memory.Get(), &click);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  SetEvent(click.returned.Get());
  ASSERT_TRUE(dialog.thread);
  ASSERT_EQ(WaitForSingleObject(dialog.thread.Get(), 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(click.clicked);
  EXPECT_FALSE(click.nudged);
}

class CChildPage : public CAppFxDialog<CChildPage> {
public:
  enum { IDD = 0 };
  explicit CChildPage(const DLGTEMPLATE* t) : CAppFxDialog<CChildPage>(t) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
      enterTarget = msg->hwnd;
      PostMessageW(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return TRUE;
    }
    return FALSE;
  }
  BEGIN_MSG_MAP(CChildPage)
    CHAIN_MSG_MAP(CAppFxDialog<CChildPage>)
  END_MSG_MAP()
  HWND enterTarget = nullptr;
};

class CFrame : public CAppFxDialog<CFrame> {
public:
  enum { IDD = 0 };
  CFrame(const DLGTEMPLATE* t, CChildPage* page) : CAppFxDialog<CFrame>(t), m_page(page) {}
  BEGIN_MSG_MAP(CFrame)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    CHAIN_MSG_MAP(CAppFxDialog<CFrame>)
  END_MSG_MAP()
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    if (m_page->Create(m_hWnd)) {
      edit = ::GetDlgItem(m_page->m_hWnd, 100);
      PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    }
    // Ends the test even when the key never arrives.
    SetTimer(m_hWnd, 1, 20000, nullptr);
    return TRUE;
  }
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&) {
    EndDialog(IDABORT);
    return 0;
  }
  HWND edit = nullptr;

private:
  CChildPage* m_page;
};

TEST(Framework, EnterInAModelessChildReachesItsPreTranslateMessage) {
  CMemoryTemplate frameTemplate(WS_POPUP | WS_CAPTION | DS_MODALFRAME, false);
  CMemoryTemplate pageTemplate(WS_CHILD | WS_VISIBLE | DS_CONTROL, true);
  CChildPage page(pageTemplate.Get());
  CFrame frame(frameTemplate.Get(), &page);
  EXPECT_EQ(frame.DoModal(), IDOK);
  ASSERT_TRUE(frame.edit);
  EXPECT_EQ(page.enterTarget, frame.edit);
}

TEST(Framework, PumpReturnsAfterOneMessage) {
  CAppFxApp app;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP + 8, 0, 0));
  EXPECT_TRUE(app.PumpMessage());
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 7, WM_APP + 8, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 8));
  PostQuitMessage(7);
  EXPECT_FALSE(app.PumpMessage());
  EXPECT_EQ(app.ExitInstance(), 7);
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include "CSmsDialog.h"
#include "GuiTestKit.h"
#include "ZCLWait.h"

using namespace WindowProbe;

namespace {
const wchar_t* const kCompose = L"Orvex Dialix - Send text message";
const wchar_t* const kReceived = L"Orvex Dialix - Incoming text message";

class SmsWindowTest : public GuiFixture {
protected:
  HRESULT Received(LONG folder, const std::wstring& text,
                   std::vector<std::pair<LONG, std::wstring>> addresses, bool withMessage = true) {
    CComPtr<FakeMessageNotification> notification(new FakeMessageNotification);
    notification->serial = L"SN1";
    if (withMessage) {
      CComPtr<FakeSms> sms(new FakeSms);
      sms->folder = folder;
      sms->text = text;
      sms->addresses = addresses;
      notification->sms = static_cast<ISms*>(sms);
    }
    return m_ui->NewMessageReceived(static_cast<IMessageReceivedNotification*>(notification),
                                    static_cast<ICallHandler*>(m_handler));
  }
  static int ClientHeight(HWND w) {
    RECT r;
    ::GetClientRect(w, &r);
    return r.bottom - r.top;
  }
};
}  // namespace

TEST(SmsCounterTest, CountsCharactersAndMessages) {
  EXPECT_EQ(L"0 characters, 0 messages", SmsCounterText(0));
  EXPECT_EQ(L"1 character, 1 message", SmsCounterText(1));
  EXPECT_EQ(L"160 characters, 1 message", SmsCounterText(160));
  EXPECT_EQ(L"161 characters, 2 messages", SmsCounterText(161));
  EXPECT_EQ(L"320 characters, 2 messages", SmsCounterText(320));
  EXPECT_EQ(L"321 characters, 3 messages", SmsCounterText(321));
  // A line break is one character; a long line that wraps is its length.
  EXPECT_EQ(3, SmsCharacterCount(L"a\r\nb"));
  EXPECT_EQ(200, SmsCharacterCount(std::wstring(200, L'x')));
  EXPECT_EQ(0, SmsCharacterCount(L""));
}

TEST_F(SmsWindowTest, ComposeCountsAsTheUserTypes) {
  ASSERT_EQ(E_NOTIMPL, m_ui->ComposeMessage(CComBSTR(L"SN1"), nullptr, nullptr, nullptr,
                                            static_cast<ICallHandler*>(m_handler)));
  HWND window = Dialog(kCompose);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"New text message to:\r\n", Item(window, IDC_HEADER));
  EXPECT_EQ(L"0 character, 0 messages", Item(window, IDC_COUNTER));
  EXPECT_FALSE(ItemEnabled(window, IDC_SEND));
  EXPECT_FALSE(ItemVisible(window, IDC_SHOWMESSAGE));
  EXPECT_TRUE(Topmost(window));
  Snap(L"sms-compose-empty", window);

  Type(window, IDC_MESSAGE, L"x");
  EXPECT_EQ(L"1 character, 1 message", Item(window, IDC_COUNTER));
  EXPECT_TRUE(ItemEnabled(window, IDC_SEND));
  Type(window, IDC_MESSAGE, L"\b");
  EXPECT_EQ(L"0 characters, 0 messages", Item(window, IDC_COUNTER));
  EXPECT_FALSE(ItemEnabled(window, IDC_SEND));

  // Text long enough to wrap in the edit counts its length.
  Type(window, IDC_MESSAGE, std::wstring(161, L'w'));
  EXPECT_EQ(L"161 characters, 2 messages", Item(window, IDC_COUNTER));
  Type(window, IDC_MESSAGE, std::wstring(161, L'\b'));
  Type(window, IDC_MESSAGE, L"a\rb");  // Return makes a line break
  EXPECT_EQ(L"3 characters, 1 message", Item(window, IDC_COUNTER));
  Snap(L"sms-compose-typed", window);
}

TEST_F(SmsWindowTest, SendSucceedsClosesTheWindow) {
  m_handler->contactName = L"Frank";
  ASSERT_EQ(E_NOTIMPL, Compose(L"SN1", L"555", L"", L""));
  HWND window = Dialog(kCompose);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"New text message to:\r\nFrank (555)", Item(window, IDC_HEADER));
  Type(window, IDC_MESSAGE, L"hi\rthere");
  Click(window, IDC_SEND);
  auto sent = m_handler->RequestsOf(L"SendSMS");
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(L"SN1", sent[0].serial);
  EXPECT_EQ(L"555", sent[0].number);
  EXPECT_EQ(L"hi\nthere", sent[0].text);
  auto boxes = BoxesShown();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Message was sent succesfully.", boxes[0].text);
  EXPECT_EQ(L"Orvex Dialix", boxes[0].caption);
  EXPECT_TRUE(boxes[0].type & MB_ICONINFORMATION);
  EXPECT_TRUE(ZCLWaitUntil([&] { return !::IsWindow(window); }, 10000));
  // Placed as if it had never been open.
  ASSERT_EQ(E_NOTIMPL, Compose(L"SN1", L"556", L"", L""));
  HWND next = Dialog(kCompose);
  ASSERT_TRUE(next);
  RECT a, b;
  ::GetWindowRect(next, &b);
  ASSERT_EQ(E_NOTIMPL, Compose(L"SN1", L"557", L"", L""));
  ASSERT_TRUE(ZCLWaitUntil([] { return DialogsTitled(kCompose).size() == 2; }, 10000));
  ::GetWindowRect(next, &a);
  EXPECT_EQ(a.left, b.left);
}

TEST_F(SmsWindowTest, FailedSendKeepsTheText) {
  m_handler->sendResult = E_INVALIDARG;
  ASSERT_EQ(E_NOTIMPL, Compose(L"SN1", L"555", L"Gil", L"draft"));
  HWND window = Dialog(kCompose);
  ASSERT_TRUE(window);
  EXPECT_TRUE(ItemEnabled(window, IDC_SEND));  // pre-filled text can go at once
  EXPECT_EQ(L"0 character, 0 messages", Item(window, IDC_COUNTER));
  Click(window, IDC_SEND);
  auto boxes = BoxesShown();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Message sending failed.", boxes[0].text);
  EXPECT_TRUE(boxes[0].type & MB_ICONWARNING);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_EQ(L"draft", Item(window, IDC_MESSAGE));
  EXPECT_TRUE(ItemEnabled(window, IDC_SEND));
  EXPECT_TRUE(ItemEnabled(window, IDC_MESSAGE));
}

TEST_F(SmsWindowTest, MessageBoxesAsTheUserSeesThem) {
  g_realBoxes = true;
  m_handler->sendResult = E_FAIL;
  ASSERT_EQ(E_NOTIMPL, Compose(L"SN1", L"555", L"", L"hello"));
  HWND window = Dialog(kCompose);
  ASSERT_TRUE(window);
  Click(window, IDC_SEND);  // the watcher pictures and dismisses the box
  m_handler->sendResult = S_OK;
  Click(window, IDC_SEND);
  g_realBoxes = false;
  EXPECT_EQ(2u, BoxesShown().size());
  EXPECT_TRUE(ZCLWaitUntil([&] { return !::IsWindow(window); }, 10000));
}

TEST_F(SmsWindowTest, ReceivedMessageIsRevealedAndAnswered) {
  ASSERT_EQ(E_NOTIMPL, Received(1, L"line one\nline two", {{2, L"111"}, {1, L"me"}, {2, L"222"}}));
  HWND window = Dialog(kReceived);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"Received from:\r\n222", Item(window, IDC_HEADER));
  EXPECT_TRUE(ItemVisible(window, IDC_SHOWMESSAGE));
  EXPECT_TRUE(ItemEnabled(window, IDC_SHOWMESSAGE));
  EXPECT_FALSE(ItemVisible(window, IDC_MESSAGE));
  EXPECT_FALSE(ItemVisible(window, IDC_SEND));
  EXPECT_FALSE(ItemVisible(window, IDC_CALLSENDER));
  Snap(L"sms-received-compact", window);
  int compact = ClientHeight(window);

  Click(window, IDC_SHOWMESSAGE);
  EXPECT_EQ(compact + 120, ClientHeight(window));
  EXPECT_TRUE(ItemVisible(window, IDC_MESSAGE));
  EXPECT_FALSE(ItemVisible(window, IDC_SHOWMESSAGE));
  EXPECT_EQ(L"line one\r\nline two", Item(window, IDC_MESSAGE));
  EXPECT_EQ(L"Reply to message", Item(window, IDC_SEND));
  Snap(L"sms-received-revealed", window);

  Click(window, IDC_SEND);  // reply: a compose window to the sender
  HWND reply = Dialog(kCompose);
  ASSERT_TRUE(reply);
  EXPECT_EQ(L"New text message to:\r\n222", Item(reply, IDC_HEADER));
  EXPECT_EQ(L"", Item(reply, IDC_MESSAGE));
  EXPECT_TRUE(::IsWindow(window));

  Click(window, IDC_CALLSENDER);  // call back: the call window takes over
  HWND call = Dialog(L"Orvex Dialix - Outgoing call");
  ASSERT_TRUE(call);
  EXPECT_EQ(L"222", Item(call, IDC_NUMBER));
}

TEST_F(SmsWindowTest, MessagesThatOpenNoWindow) {
  EXPECT_EQ(E_NOTIMPL, Received(2, L"sent one", {{2, L"111"}}));
  EXPECT_EQ(E_FAIL, Received(1, L"", {}, false));
  EXPECT_EQ(E_NOTIMPL, m_ui->NewMessageReceived(nullptr, nullptr));
  CComPtr<IUnknown> other(new FakeContact(L"", L""));
  EXPECT_EQ(E_NOTIMPL, m_ui->NewMessageReceived(other, nullptr));
  // A folder-1 message opens the only window of this test.
  ASSERT_EQ(E_NOTIMPL, Received(1, L"x", {}));
  HWND window = Dialog(kReceived);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"Received from:\r\n", Item(window, IDC_HEADER));
  EXPECT_EQ(1u, Dialogs().size());
}

TEST_F(SmsWindowTest, ATextWindowOutlivesTheServicesReference) {
  ASSERT_EQ(E_NOTIMPL, Received(1, L"call me", {{2, L"333"}}));
  HWND window = Dialog(kReceived);
  ASSERT_TRUE(window);
  m_notify.Release();
  m_ui.Release();
  m_object = nullptr;
  // The window holds the object and the module: its reply still opens a window.
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  Click(window, IDC_SHOWMESSAGE);
  Click(window, IDC_SEND);
  HWND reply = Dialog(kCompose);
  ASSERT_TRUE(reply);
  EXPECT_EQ(L"New text message to:\r\n333", Item(reply, IDC_HEADER));
  Close(reply);
  Close(window);
  EXPECT_TRUE(ZCLWaitUntil([] { return ModuleLockCount() == 0; }, 10000));
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

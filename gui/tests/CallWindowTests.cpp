#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include "CSyncEvent.h"
#include "CallEvents.h"
#include "GuiTestKit.h"
#include "ZCLWait.h"

using namespace WindowProbe;

namespace {
const wchar_t* const kIncoming = L"Orvex Dialix - Incoming call";
const wchar_t* const kInAction = L"Orvex Dialix - Call in action";
const wchar_t* const kEnded = L" Orvex Dialix - Call ended";
const wchar_t* const kOutgoing = L"Orvex Dialix - Outgoing call";
const wchar_t* const kCalling = L"Orvex Dialix - Calling";

class CallWindowTest : public GuiFixture {
protected:
  HRESULT Activated(const wchar_t* serial, LONG id) {
    return m_notify->OnActivated(CComBSTR(serial), id);
  }
  HRESULT Terminated(const wchar_t* serial, LONG id, LONG reason = 0) {
    return m_notify->OnTerminated(CComBSTR(serial), id, reason);
  }
  HRESULT Created(const wchar_t* serial, const wchar_t* number, LONG id) {
    return m_notify->OnCreated(CComBSTR(serial), CComBSTR(number), CComBSTR(L""), id);
  }
  HRESULT Waiting(const wchar_t* serial, LONG id) {
    return m_notify->OnWaiting(CComBSTR(serial), id);
  }
  void Tick(HWND window) { ::SendMessageW(window, WM_TIMER, 1, 0); }
  // An outgoing-call window for the number, as a client's call opens it.
  HWND Outgoing(const wchar_t* number) {
    EXPECT_EQ(S_OK, Call(L"SN1", number, m_handler));
    return Dialog(kOutgoing);
  }
  // Dials from the window; the phone's Call answers the id.
  void Place(HWND window, LONG id) {
    m_handler->nextCallId = id;
    Click(window, IDC_ANSWER);
  }
};
}  // namespace

TEST_F(CallWindowTest, IncomingCallAnsweredRunsAndEnds) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"5551234", L"Bob", 3));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  Snap(L"call-incoming", window);
  EXPECT_EQ(L"Bob (5551234) is calling", Item(window, IDC_STATUS));
  EXPECT_TRUE(ItemEnabled(window, IDC_ANSWER));
  EXPECT_TRUE(ItemEnabled(window, IDC_HANGUP));
  EXPECT_TRUE(ItemVisible(window, IDC_SENDTEXT));
  EXPECT_TRUE(ItemEnabled(window, IDC_SENDTEXT));
  // With nothing else active, the foreground is the desktop: the window goes on top.
  EXPECT_TRUE(Topmost(window));

  Click(window, IDC_ANSWER);
  auto activations = m_handler->RequestsOf(L"Activate");
  ASSERT_EQ(1u, activations.size());
  EXPECT_EQ(L"SN1", activations[0].serial);
  EXPECT_EQ(3, activations[0].callId);
  EXPECT_FALSE(ItemEnabled(window, IDC_ANSWER));

  g_testNow = 1700000000;
  ASSERT_EQ(S_OK, Activated(L"SN1", 3));
  EXPECT_EQ(kInAction, Title(window));
  EXPECT_EQ(L"Call in Action: Bob (5551234)", Item(window, IDC_STATUS));
  EXPECT_FALSE(ItemEnabled(window, IDC_ANSWER));
  EXPECT_TRUE(ItemEnabled(window, IDC_HANGUP));
  g_testNow = 1700000000 + 3725;
  Tick(window);
  EXPECT_EQ(L"Duration: 01:02:05", Item(window, IDC_DURATION));
  Snap(L"call-in-action", window);

  ASSERT_EQ(S_OK, Terminated(L"SN1", 3));
  EXPECT_EQ(kEnded, Title(window));
  EXPECT_EQ(L"Call ended: Bob (5551234)", Item(window, IDC_STATUS));
  EXPECT_EQ(L"Duration: 01:02:05", Item(window, IDC_DURATION));  // the last duration stays
  EXPECT_FALSE(ItemEnabled(window, IDC_HANGUP));
  EXPECT_TRUE(ItemEnabled(window, IDC_ANSWER));  // calls the number again
  Snap(L"call-ended", window);
}

TEST_F(CallWindowTest, MissedCountGrowsAcrossAnAnsweredCall) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"", 1));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 1));
  EXPECT_EQ(L" Orvex Dialix - Missed call", Title(window));
  EXPECT_EQ(0u, Item(window, IDC_STATUS).find(L"Call missed: 555 at "));
  Snap(L"call-missed", window);

  // The idle window takes the next calls of its phone.
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"", 2));
  ASSERT_EQ(S_OK, Activated(L"SN1", 2));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 2));
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"777", L"", 4));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 4));
  EXPECT_EQ(0u, Item(window, IDC_STATUS).find(L"2 calls missed, last from 777 at "));
  EXPECT_EQ(1u, Dialogs().size());
}

TEST_F(CallWindowTest, RejectedIncomingCall) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"Ann", 5));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  Click(window, IDC_HANGUP);
  auto rejects = m_handler->RequestsOf(L"Reject");
  ASSERT_EQ(1u, rejects.size());
  EXPECT_EQ(5, rejects[0].callId);
  EXPECT_FALSE(ItemEnabled(window, IDC_HANGUP));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 5));
  EXPECT_EQ(L" Orvex Dialix - Received Call", Title(window));
  EXPECT_EQ(L"Call rejected: Ann (555)", Item(window, IDC_STATUS));
  Snap(L"call-rejected", window);
}

TEST_F(CallWindowTest, PrivateNumberAndContactLookup) {
  // No contact: the handler leaves its out value alone, which starts null.
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"", L"", 6));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"Private number is calling", Item(window, IDC_STATUS));
  EXPECT_FALSE(ItemEnabled(window, IDC_SENDTEXT));
  EXPECT_TRUE(m_handler->outWasNull);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 6));

  // A contact names an unnamed caller.
  m_handler->contactName = L"Carol";
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"999", L"", 7));
  EXPECT_EQ(L"Carol (999) is calling", Item(window, IDC_STATUS));
  EXPECT_TRUE(m_handler->outWasNull);
}

TEST_F(CallWindowTest, OutgoingCallBusyNoAnswerAndHungUpWhileDialling) {
  ASSERT_EQ(S_OK, Call(L"SN1", L"5550000", m_handler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  EXPECT_EQ(L"You are going to call 5550000", Item(window, IDC_STATUS));
  EXPECT_TRUE(ItemVisible(window, IDC_NUMBER));
  EXPECT_EQ(L"5550000", Item(window, IDC_NUMBER));
  EXPECT_FALSE(ItemVisible(window, IDC_SENDTEXT));
  EXPECT_FALSE(ItemVisible(window, IDC_DURATION));
  EXPECT_TRUE(ItemEnabled(window, IDC_ANSWER));
  Snap(L"call-outgoing", window);

  // The user edits the number before placing the call.
  Type(window, IDC_NUMBER, L"1");
  m_handler->nextCallId = 11;
  Click(window, IDC_ANSWER);
  auto calls = m_handler->RequestsOf(L"Call");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(L"55500001", calls[0].number);
  ASSERT_EQ(S_OK, Created(L"SN1", L"55500001", 11));
  EXPECT_EQ(kCalling, Title(window));
  EXPECT_EQ(L"Now calling 55500001.\r\nPlease pick up your phone.", Item(window, IDC_STATUS));
  EXPECT_FALSE(ItemVisible(window, IDC_NUMBER));
  EXPECT_FALSE(ItemEnabled(window, IDC_ANSWER));
  EXPECT_TRUE(ItemEnabled(window, IDC_HANGUP));
  Snap(L"call-dialling", window);
  // A waiting call while dialling changes nothing; the entry still serves.
  ASSERT_EQ(S_OK, Waiting(L"SN1", 11));
  EXPECT_EQ(kCalling, Title(window));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 11, CallReasonBusy));
  EXPECT_EQ(L" Orvex Dialix - Number Busy", Title(window));
  EXPECT_EQ(L"55500001 is busy", Item(window, IDC_STATUS));
  EXPECT_EQ(L"", Item(window, IDC_DURATION));
  Snap(L"call-busy", window);

  // Idle: the answer button calls the same number again.
  m_handler->nextCallId = 12;
  Click(window, IDC_ANSWER);
  ASSERT_EQ(S_OK, Created(L"SN1", L"55500001", 12));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 12, 0));
  EXPECT_EQ(L" Orvex Dialix - No answer", Title(window));
  EXPECT_EQ(L"55500001 did not answer", Item(window, IDC_STATUS));
  Snap(L"call-no-answer", window);

  m_handler->nextCallId = 13;
  Click(window, IDC_ANSWER);
  ASSERT_EQ(S_OK, Created(L"SN1", L"55500001", 13));
  Click(window, IDC_HANGUP);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 13, 0));
  EXPECT_EQ(kEnded, Title(window));
  EXPECT_EQ(L"Call ended: 55500001", Item(window, IDC_STATUS));
  EXPECT_EQ(L"", Item(window, IDC_DURATION));
  EXPECT_EQ(3u, m_handler->RequestsOf(L"Call").size());
}

TEST_F(CallWindowTest, DiallingAnsweredByTheFarSide) {
  ASSERT_EQ(S_OK, Call(L"SN1", L"42", m_handler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  m_handler->nextCallId = 21;
  Click(window, IDC_ANSWER);
  ASSERT_EQ(S_OK, Created(L"SN1", L"42", 21));
  ASSERT_EQ(S_OK, Activated(L"SN1", 21));
  EXPECT_EQ(kInAction, Title(window));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 21));
  EXPECT_EQ(kEnded, Title(window));
}

TEST_F(CallWindowTest, FailedCallSaysSoAndStaysReady) {
  m_handler->callResult = E_FAIL;
  ASSERT_EQ(S_OK, Call(L"SN1", L"555", m_handler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  Click(window, IDC_ANSWER);
  EXPECT_EQ(L"Failed to establish call to 555.", Item(window, IDC_STATUS));
  EXPECT_EQ(kOutgoing, Title(window));
  EXPECT_TRUE(ItemEnabled(window, IDC_ANSWER));
  Snap(L"call-failed", window);
  // The next attempt goes through.
  m_handler->callResult = S_OK;
  m_handler->nextCallId = 31;
  Click(window, IDC_ANSWER);
  ASSERT_EQ(S_OK, Created(L"SN1", L"555", 31));
  EXPECT_EQ(kCalling, Title(window));
}

TEST_F(CallWindowTest, WithoutACallHandlerPlacingFails) {
  CComPtr<IUnknown> notAHandler(new FakeContact(L"x", L""));
  ASSERT_EQ(S_OK, Call(L"SN1", L"555", notAHandler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  Click(window, IDC_ANSWER);
  EXPECT_EQ(L"Failed to establish call to 555.", Item(window, IDC_STATUS));
  EXPECT_TRUE(m_handler->Requests().empty());
}

TEST_F(CallWindowTest, DiallingReportedBeforeCallReturnsStillLands) {
  ASSERT_EQ(S_OK, Call(L"SN1", L"555", m_handler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  m_handler->nextCallId = 41;
  // The phone reports dialling while the window is still inside Call.
  m_handler->beforeCallReturns = [this](LONG id) { Created(L"SN1", L"555", id); };
  Click(window, IDC_ANSWER);
  EXPECT_EQ(kCalling, Title(window));
  EXPECT_EQ(L"Now calling 555.\r\nPlease pick up your phone.", Item(window, IDC_STATUS));
  ASSERT_EQ(S_OK, Activated(L"SN1", 41));
  EXPECT_EQ(kInAction, Title(window));
}

// A redial from a window whose call ended: the dialling report may come
// before Call returns, and the window must still follow the call, end idle
// and leave the next incoming call to be shown.
TEST_F(CallWindowTest, ARedialReportedBeforeCallReturnsFollowsTheCallAndFreesTheWindow) {
  HWND window = Outgoing(L"555");
  ASSERT_TRUE(window);
  Place(window, 51);
  ASSERT_EQ(S_OK, Created(L"SN1", L"555", 51));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 51));
  ASSERT_NE(kCalling, Title(window));

  m_handler->beforeCallReturns = [this](LONG id) { Created(L"SN1", L"555", id); };
  Place(window, 52);
  EXPECT_EQ(kCalling, Title(window));
  ASSERT_EQ(S_OK, Activated(L"SN1", 52));
  EXPECT_EQ(kInAction, Title(window));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 52));
  EXPECT_EQ(kEnded, Title(window));

  ASSERT_EQ(S_OK, Incoming(L"SN1", L"777", L"", 3));
  EXPECT_EQ(kIncoming, Title(window));
}

// A placed call whose dialling report never came still ends the window.
TEST_F(CallWindowTest, ACallEndedBeforeItsDiallingWasReportedLeavesTheWindowIdle) {
  HWND window = Outgoing(L"555");
  ASSERT_TRUE(window);
  Place(window, 61);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 61));
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"777", L"", 4));
  EXPECT_EQ(kIncoming, Title(window));
}

TEST_F(CallWindowTest, WaitingThenActiveRestartsTheDurationAndHoursWrap) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"Dan", 8));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  g_testNow = 1700000000;
  ASSERT_EQ(S_OK, Activated(L"SN1", 8));
  g_testNow = 1700000000 + 86400 + 3600 + 61;
  Tick(window);
  EXPECT_EQ(L"Duration: 01:01:01", Item(window, IDC_DURATION));

  ASSERT_EQ(S_OK, Waiting(L"SN1", 8));
  EXPECT_EQ(L"Orvex Dialix - Waiting call", Title(window));
  EXPECT_EQ(L"Dan (555) is waiting", Item(window, IDC_STATUS));
  EXPECT_TRUE(ItemEnabled(window, IDC_ANSWER));
  EXPECT_TRUE(ItemEnabled(window, IDC_HANGUP));
  Snap(L"call-waiting", window);

  g_testNow = 1800000000;
  ASSERT_EQ(S_OK, Activated(L"SN1", 8));
  g_testNow = 1800000000 + 5;
  Tick(window);
  EXPECT_EQ(L"Duration: 00:00:05", Item(window, IDC_DURATION));

  // Waiting from ringing, then ended from waiting.
  ASSERT_EQ(S_OK, Terminated(L"SN1", 8));
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"Dan", 9));
  ASSERT_EQ(S_OK, Waiting(L"SN1", 9));
  EXPECT_EQ(L"Orvex Dialix - Waiting call", Title(window));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 9));
  EXPECT_EQ(kEnded, Title(window));
}

TEST_F(CallWindowTest, EventsOutsideTheTableChangeNothing) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"", 1));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 1));
  std::wstring status = Item(window, IDC_STATUS);
  // Idle: activation, waiting and an unknown call's end are dropped or ignored.
  ASSERT_EQ(S_OK, Activated(L"SN1", -1));
  ASSERT_EQ(S_OK, Waiting(L"SN1", -1));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 77));
  ASSERT_EQ(S_OK, Created(L"SN1", L"555", -1));
  EXPECT_EQ(L" Orvex Dialix - Missed call", Title(window));
  EXPECT_EQ(status, Item(window, IDC_STATUS));
  // The entry still answers to the phone's next call.
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"", 2));
  EXPECT_EQ(kIncoming, Title(window));
  EXPECT_EQ(1u, Dialogs().size());
}

TEST_F(CallWindowTest, TheNewestIdleWindowTakesTheCall) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"1", L"", 1));
  HWND first = Dialog(kIncoming);
  ASSERT_TRUE(first);
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"2", L"", 2));  // the first window is busy
  ASSERT_TRUE(ZCLWaitUntil([] { return Dialogs().size() == 2; }, 10000));
  HWND second = nullptr;
  for (HWND w : Dialogs())
    if (w != first) second = w;
  ASSERT_TRUE(second);
  ASSERT_EQ(S_OK, Terminated(L"SN1", 1));
  ASSERT_EQ(S_OK, Terminated(L"SN1", 2));
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"3", L"", 3));
  EXPECT_EQ(kIncoming, Title(second));
  EXPECT_EQ(L" Orvex Dialix - Missed call", Title(first));
  EXPECT_EQ(2u, Dialogs().size());
}

TEST_F(CallWindowTest, AnUnplacedOutgoingCallSwallowsAnIncomingOne) {
  ASSERT_EQ(S_OK, Call(L"SN1", L"555", m_handler));
  HWND window = Dialog(kOutgoing);
  ASSERT_TRUE(window);
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"777", L"", 4));
  EXPECT_EQ(kOutgoing, Title(window));
  EXPECT_EQ(1u, Dialogs().size());
}

TEST_F(CallWindowTest, WindowsAreOffsetByWhatIsOpen) {
  auto position = [](HWND w) {
    RECT r;
    ::GetWindowRect(w, &r);
    return r;
  };
  ASSERT_EQ(S_OK, Incoming(L"P1", L"1", L"", 1));
  HWND p1 = Dialog(kIncoming);
  ASSERT_TRUE(p1);
  RECT callBase = position(p1);
  ASSERT_EQ(S_OK, Incoming(L"P2", L"2", L"", 1));
  ASSERT_EQ(S_OK, Incoming(L"P3", L"3", L"", 1));
  ASSERT_EQ(E_NOTIMPL, Compose(L"P1", L"1", L"", L""));
  HWND text1 = Dialog(L"Orvex Dialix - Send text message");
  ASSERT_TRUE(text1);
  RECT textBase = position(text1);
  // Three call windows and one text window: the next call window is 80 px off.
  ASSERT_EQ(S_OK, Incoming(L"P4", L"4", L"", 1));
  ASSERT_TRUE(ZCLWaitUntil([] { return DialogsTitled(kIncoming).size() == 4; }, 10000));
  HWND p4 = nullptr;
  for (HWND w : DialogsTitled(kIncoming))
    if (Item(w, IDC_STATUS) == L"4 is calling") p4 = w;
  ASSERT_TRUE(p4);
  EXPECT_EQ(callBase.left + 80, position(p4).left);
  EXPECT_EQ(callBase.top + 80, position(p4).top);
  // And the next text window 40 px.
  ASSERT_EQ(E_NOTIMPL, Compose(L"P1", L"2", L"", L""));
  ASSERT_TRUE(ZCLWaitUntil(
      [] { return DialogsTitled(L"Orvex Dialix - Send text message").size() == 2; }, 10000));
  HWND text2 = nullptr;
  for (HWND w : DialogsTitled(L"Orvex Dialix - Send text message"))
    if (w != text1) text2 = w;
  ASSERT_TRUE(text2);
  EXPECT_EQ(textBase.left + 40, position(text2).left);
  EXPECT_EQ(textBase.top + 40, position(text2).top);
}

TEST_F(CallWindowTest, ConnectionLossClosesOnlyThatPhonesCallWindows) {
  ASSERT_EQ(S_OK, Incoming(L"P1", L"1", L"", 1));
  HWND p1 = Dialog(kIncoming);
  ASSERT_TRUE(p1);
  ASSERT_EQ(S_OK, Incoming(L"P2", L"2", L"", 1));
  ASSERT_TRUE(ZCLWaitUntil([] { return DialogsTitled(kIncoming).size() == 2; }, 10000));
  ASSERT_EQ(S_OK, Activated(L"P2", 1));
  ASSERT_EQ(E_NOTIMPL, Compose(L"P1", L"1", L"", L""));
  ASSERT_TRUE(Dialog(L"Orvex Dialix - Send text message"));

  ASSERT_EQ(S_OK, m_notify->OnConnectionLost(CComBSTR(L"P1")));
  EXPECT_TRUE(ZCLWaitUntil([&] { return !::IsWindow(p1); }, 10000));
  EXPECT_EQ(1u, DialogsTitled(kInAction).size());
  EXPECT_EQ(1u, DialogsTitled(L"Orvex Dialix - Send text message").size());
  // The other phone's call goes on.
  ASSERT_EQ(S_OK, Terminated(L"P2", 1));
  EXPECT_EQ(1u, DialogsTitled(kEnded).size());
}

TEST_F(CallWindowTest, SendTextWhileRingingOffersTheExcuse) {
  ASSERT_EQ(S_OK, Incoming(L"SN1", L"555", L"Eve", 1));
  HWND window = Dialog(kIncoming);
  ASSERT_TRUE(window);
  Click(window, IDC_SENDTEXT);
  HWND text = Dialog(L"Orvex Dialix - Send text message");
  ASSERT_TRUE(text);
  EXPECT_EQ(L"Sorry, I'll call you later", Item(text, IDC_MESSAGE));
  EXPECT_TRUE(ItemEnabled(text, IDC_SEND));
  EXPECT_EQ(L"0 character, 0 messages", Item(text, IDC_COUNTER));
  EXPECT_EQ(L"New text message to:\r\nEve (555)", Item(text, IDC_HEADER));
  EXPECT_EQ(kIncoming, Title(window));  // the call is left alone
  EXPECT_TRUE(m_handler->RequestsOf(L"Reject").empty());

  ASSERT_EQ(S_OK, Activated(L"SN1", 1));
  Click(window, IDC_SENDTEXT);
  ASSERT_TRUE(ZCLWaitUntil(
      [] { return DialogsTitled(L"Orvex Dialix - Send text message").size() == 2; }, 10000));
  for (HWND w : DialogsTitled(L"Orvex Dialix - Send text message")) {
    if (w != text) {
      EXPECT_EQ(L"", Item(w, IDC_MESSAGE));
    }
  }
}

TEST_F(CallWindowTest, AFailedWindowDoesNotHangTheCaller) {
  m_object->SetDialogTemplates(9999, 9999);
  // Run on a thread of its own, so that a hang shows as a bounded failure.
  struct Run {
    CComPtr<ICallUI> ui;
    CComPtr<ICallHandlerNotify> notify;
    CComPtr<RecordingCallHandler> handler;
    std::atomic<HRESULT> call{E_PENDING}, incoming{E_PENDING};
    CEventHandle done;
  };
  auto run = std::make_shared<Run>();
  run->ui = m_ui;
  run->notify = m_notify;
  run->handler = m_handler;
  std::thread caller([run] {
    run->call = run->ui->Call(CComBSTR(L"SN1"), CComBSTR(L"555"), run->handler);
    run->incoming = run->notify->OnIncoming(CComBSTR(L"SN1"), CComBSTR(L"555"), CComBSTR(L""),
                                            1, run->handler);
    run->done.Set();
  });
  // Well inside the 30 s bound: the failed window signals at once.
  bool finished = run->done.Wait(20000);
  EXPECT_TRUE(finished);
  if (finished) {
    caller.join();
  } else {
    caller.detach();  // leaves the run to its bound rather than hanging the suite
  }
  EXPECT_EQ(S_OK, run->call.load());
  EXPECT_EQ(S_OK, run->incoming.load());
  EXPECT_TRUE(Dialogs().empty());
}

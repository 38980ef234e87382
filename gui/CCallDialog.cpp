#include <windows.h>
#include <ctime>
#include <cwchar>
#include "CCallDialog.h"
#include "CCallUI.h"
#include "ComBSTR.h"
#include "FullScreen.h"
#include "GuiSeams.h"
#include "GuiText.h"
#include "GuiWindows.h"

namespace {
const UINT_PTR DurationTimer = 1;

// The weekday and time of day, as the missed-call text shows them.
std::wstring MissedAt(time_t when) {
  struct tm local;
  if (localtime_s(&local, &when) != 0) return std::wstring();
  wchar_t text[128];
  size_t length = wcsftime(text, 128, L"%A, %X", &local);
  return std::wstring(text, length);
}
}  // namespace

CCallDialog::CCallDialog(CallDialogParams& params)
    : m_handler(params.handler.Take()),
      m_ui(params.ui),
      m_serial(params.serial),
      m_number(params.number),
      m_name(params.name),
      m_callId(params.callId),
      m_state(params.state),
      m_owner(params.owner),
      m_ready(params.ready) {
  m_images = GuiMakeButtonImages({IDB_ANSWER, IDB_ANSWER_PUSHED, IDB_ANSWER_HOVER,
                                  IDB_ANSWER_DISABLED, IDB_HANGUP, IDB_HANGUP_PUSHED,
                                  IDB_HANGUP_HOVER, IDB_HANGUP_DISABLED},
                                 8);
  m_defaultPicture.LoadFromResource(IDB_DEFAULTPICTURE);
}

CCallDialog::~CCallDialog() {
  if (m_hWnd) DestroyWindow();
}

BOOL CCallDialog::PreTranslateMessage(MSG* pMsg) {
  return m_hWnd && ::IsDialogMessageW(m_hWnd, pMsg);
}

LRESULT CCallDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  GuiSetDialogIcons(m_hWnd, &m_bigIcon, &m_smallIcon);
  GuiAttachButton(&m_answer, m_images.Get(), m_hWnd, IDC_ANSWER, 0);
  GuiAttachButton(&m_hangUp, m_images.Get(), m_hWnd, IDC_HANGUP, 4);
  WtlEnableItem(m_hWnd, IDC_ANSWER, false);
  WtlEnableItem(m_hWnd, IDC_HANGUP, false);
  ::SendDlgItemMessageW(m_hWnd, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(static_cast<HBITMAP>(m_defaultPicture)));
  DlgResize_Init();
  DoDataExchange(FALSE);
  m_owner->AddCallWindow(m_serial, m_callId, m_hWnd, m_state);
  m_ready->Set();
  return TRUE;
}

LRESULT CCallDialog::OnActivate(UINT, WPARAM, LPARAM, BOOL&) {
  ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return 0;
}

LRESULT CCallDialog::OnTimer(UINT, WPARAM, LPARAM, BOOL&) {
  long long elapsed = static_cast<long long>(GuiNow()) - m_startTime;
  if (elapsed < 0) elapsed = 0;
  SetDurationText(GuiFormat(L"Duration: %02d:%02d:%02d", static_cast<int>((elapsed / 3600) % 24),
                            static_cast<int>((elapsed / 60) % 60), static_cast<int>(elapsed % 60)));
  return 0;
}

LRESULT CCallDialog::OnCallEvent(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const CallEvent* event = reinterpret_cast<const CallEvent*>(lParam);
  if (event) HandleEvent(*event);
  // Every event refreshes the owner's entry, whether or not it changed anything.
  m_owner->UpdateCallWindow(m_serial, m_callId, m_hWnd, m_state);
  m_hangUpFlag = 0;
  return 0;
}

void CCallDialog::HandleEvent(const CallEvent& event) {
  switch (event.event) {
    case CallActivated:
      if (m_state == StateIncoming || m_state == StateWaiting || m_state == StateDialling) {
        m_state = StateActive;
        ViewInAction();
      }
      break;
    case CallTerminated:
      m_callId = -1;
      switch (m_state) {
        case StateActive:
        case StateWaiting:
          m_state = StateIdle;
          ::KillTimer(m_hWnd, DurationTimer);
          ViewEnded(L" Orvex Dialix - Call ended",
                    GuiFormat(L"Call ended: %ls", m_displayName.c_str()), false);
          WtlShowItem(m_hWnd, IDC_DURATION, true);
          break;
        case StateIncoming:
          m_state = StateIdle;
          if (m_hangUpFlag)
            ViewEnded(L" Orvex Dialix - Received Call",
                      GuiFormat(L"Call rejected: %ls", m_displayName.c_str()), false);
          else
            ViewMissed();
          break;
        case StateOutgoing:  // placed, but its dialling never reported
        case StateDialling:
          m_state = StateIdle;
          if (m_hangUpFlag)
            ViewEnded(L" Orvex Dialix - Call ended",
                      GuiFormat(L"Call ended: %ls", m_displayName.c_str()), true);
          else if (event.reason == CallReasonBusy)
            ViewEnded(L" Orvex Dialix - Number Busy",
                      GuiFormat(L"%ls is busy", m_displayName.c_str()), true);
          else
            ViewEnded(L" Orvex Dialix - No answer",
                      GuiFormat(L"%ls did not answer", m_displayName.c_str()), true);
          break;
        default:
          break;
      }
      break;
    case CallIncoming:
      if (m_state == StateIdle) {
        TakeCallData(event);
        m_state = StateIncoming;
        ViewIncoming();
      }
      break;
    case CallOutgoing:
      if (m_state == StateIdle) {
        TakeCallData(event);
        m_state = StateOutgoing;
        ViewOutgoing();
      }
      break;
    case CallWaiting:
      if (m_state == StateActive || m_state == StateIncoming) {
        m_state = StateWaiting;
        ViewWaiting();
      }
      break;
    case CallCreated:
      if (m_state == StateOutgoing) {
        TakeCallData(event);
        m_state = StateDialling;
        ViewDialling();
      }
      break;
    default:
      break;
  }
}

void CCallDialog::TakeCallData(const CallEvent& event) {
  m_serial = event.serial;
  m_number = event.number;
  m_name = event.name;
  m_callId = event.callId;
  m_numberKnown = m_number.empty() ? 0 : 1;
  GuiContact contact = GuiFindContact(m_handler, m_serial, m_number);
  GuiShowPicture(m_hWnd, IDC_PICTURE, contact, &m_photo, m_defaultPicture);
  if (m_name.empty() && contact.found) m_name = contact.formattedName;
  m_displayName = GuiDisplayName(m_name, m_number);
}

void CCallDialog::SetStatus(const std::wstring& text) {
  m_statusText = text;
  DoDataExchange(FALSE, IDC_STATUS);
}

void CCallDialog::SetDurationText(const std::wstring& text) {
  m_durationText = text;
  DoDataExchange(FALSE, IDC_DURATION);
}

void CCallDialog::EnableButtonsPerNumber() {
  WtlEnableItem(m_hWnd, IDC_SENDTEXT, m_numberKnown != 0);
  WtlEnableItem(m_hWnd, IDC_ANSWER, m_numberKnown != 0);
}

void CCallDialog::ViewInAction() {
  SetWindowText(L"Orvex Dialix - Call in action");
  SetStatus(GuiFormat(L"Call in Action: %ls", m_displayName.c_str()));
  WtlEnableItem(m_hWnd, IDC_ANSWER, false);
  WtlEnableItem(m_hWnd, IDC_HANGUP, true);
  WtlShowItem(m_hWnd, IDC_SENDTEXT, true);
  WtlEnableItem(m_hWnd, IDC_SENDTEXT, m_numberKnown != 0);
  WtlShowItem(m_hWnd, IDC_DURATION, true);
  m_startTime = static_cast<long long>(GuiNow());
  ::SetTimer(m_hWnd, DurationTimer, 500, nullptr);
}

void CCallDialog::ViewEnded(const wchar_t* title, const std::wstring& status, bool clearDuration) {
  SetWindowText(title);
  SetStatus(status);
  EnableButtonsPerNumber();
  WtlEnableItem(m_hWnd, IDC_HANGUP, false);
  if (clearDuration) SetDurationText(std::wstring());
}

void CCallDialog::ViewMissed() {
  SetWindowText(L" Orvex Dialix - Missed call");
  ++m_missedCount;
  std::wstring at = MissedAt(GuiNow());
  if (m_missedCount == 1)
    SetStatus(GuiFormat(L"Call missed: %ls at %ls", m_displayName.c_str(), at.c_str()));
  else
    SetStatus(GuiFormat(L"%.1d calls missed, last from %ls at %ls",
                        static_cast<int>(m_missedCount), m_displayName.c_str(), at.c_str()));
  EnableButtonsPerNumber();
  WtlEnableItem(m_hWnd, IDC_HANGUP, false);
}

void CCallDialog::ViewIncoming() {
  SetWindowText(L"Orvex Dialix - Incoming call");
  if (m_displayName.empty()) m_displayName = L"Private number";
  SetStatus(GuiFormat(L"%ls is calling", m_displayName.c_str()));
  WtlEnableItem(m_hWnd, IDC_ANSWER, true);
  WtlEnableItem(m_hWnd, IDC_HANGUP, true);
  WtlShowItem(m_hWnd, IDC_SENDTEXT, true);
  WtlEnableItem(m_hWnd, IDC_SENDTEXT, m_numberKnown != 0);
  PopUpWindow(m_hWnd, true, false);
}

void CCallDialog::ViewWaiting() {
  SetWindowText(L"Orvex Dialix - Waiting call");
  SetStatus(GuiFormat(L"%ls is waiting", m_displayName.c_str()));
  WtlEnableItem(m_hWnd, IDC_ANSWER, true);
  WtlEnableItem(m_hWnd, IDC_HANGUP, true);
  WtlShowItem(m_hWnd, IDC_SENDTEXT, true);
  WtlEnableItem(m_hWnd, IDC_SENDTEXT, m_numberKnown != 0);
  PopUpWindow(m_hWnd, true, false);
}

void CCallDialog::ViewOutgoing() {
  SetWindowText(L"Orvex Dialix - Outgoing call");
  SetStatus(GuiFormat(L"You are going to call %ls", m_displayName.c_str()));
  m_numberText = m_number;
  DoDataExchange(FALSE, IDC_NUMBER);
  WtlShowItem(m_hWnd, IDC_NUMBER, true);
  WtlShowItem(m_hWnd, IDC_SENDTEXT, false);
  WtlShowItem(m_hWnd, IDC_DURATION, false);
  WtlEnableItem(m_hWnd, IDC_ANSWER, true);
  PopUpWindow(m_hWnd, false, true);
}

void CCallDialog::ViewDialling() {
  SetWindowText(L"Orvex Dialix - Calling");
  SetStatus(GuiFormat(L"Now calling %ls.\r\nPlease pick up your phone.", m_displayName.c_str()));
  WtlEnableItem(m_hWnd, IDC_ANSWER, false);
  WtlEnableItem(m_hWnd, IDC_HANGUP, true);
  WtlShowItem(m_hWnd, IDC_NUMBER, false);
}

LRESULT CCallDialog::OnCloseCallWindow(UINT, WPARAM, LPARAM, BOOL&) {
  // The owner has already removed the entry.
  ::KillTimer(m_hWnd, DurationTimer);
  DestroyWindow();
  ::PostQuitMessage(0);
  return 0;
}

LRESULT CCallDialog::OnCancel(WORD, WORD, HWND, BOOL&) {
  Close();
  return 0;
}

void CCallDialog::Close() {
  m_owner->RemoveCallWindow(m_hWnd);
  ::KillTimer(m_hWnd, DurationTimer);
  DestroyWindow();
  ::PostQuitMessage(0);
}

LRESULT CCallDialog::OnNumberChanged(WORD, WORD, HWND, BOOL&) {
  DoDataExchange(TRUE, IDC_NUMBER);
  return 0;
}

LRESULT CCallDialog::OnAnswer(WORD, WORD, HWND, BOOL&) {
  if (m_state == StateIncoming || m_state == StateWaiting) {
    if (m_handler) m_handler->Activate(CComBSTR(m_serial.c_str()), m_callId);
    WtlEnableItem(m_hWnd, IDC_ANSWER, false);
    WtlEnableItem(m_hWnd, IDC_HANGUP, true);
    return 0;
  }
  DoDataExchange(FALSE, IDC_NUMBER);
  if (m_state == StateOutgoing) {
    m_number = m_numberText;
    m_displayName = m_number;
  }
  m_callId = -1;
  m_state = StateOutgoing;
  // Registered as unplaced before dialling: the phone may report dialling
  // before Call returns, and that report finds this window by it.
  m_owner->UpdateCallWindow(m_serial, m_callId, m_hWnd, m_state);
  HRESULT hr = E_POINTER;  // no handler: the call cannot be placed
  LONG newCallId = -1;
  if (m_handler)
    hr = m_handler->Call(CComBSTR(m_serial.c_str()), CComBSTR(m_number.c_str()), &newCallId);
  // The phone may already have reported dialling with this id (CallCreated).
  if (hr == S_OK && newCallId != -1) m_callId = newCallId;
  if (hr != S_OK || newCallId == -1)
    m_statusText = GuiFormat(L"Failed to establish call to %ls.", m_displayName.c_str());
  else
    m_owner->UpdateCallWindow(m_serial, m_callId, m_hWnd, m_state);
  m_durationText.clear();
  DoDataExchange(FALSE, IDC_DURATION);
  DoDataExchange(FALSE, IDC_STATUS);
  ::SetFocus(m_hWnd);
  return 0;
}

LRESULT CCallDialog::OnHangUp(WORD, WORD, HWND, BOOL&) {
  WtlEnableItem(m_hWnd, IDC_HANGUP, false);
  m_hangUpFlag = 1;
  if (m_handler) m_handler->Reject(CComBSTR(m_serial.c_str()), m_callId);
  return 0;
}

LRESULT CCallDialog::OnSendText(WORD, WORD, HWND, BOOL&) {
  const wchar_t* text = m_state == StateIncoming ? L"Sorry, I'll call you later" : L"";
  m_ui->ComposeMessage(CComBSTR(m_serial.c_str()), CComBSTR(m_number.c_str()),
                       CComBSTR(m_name.c_str()), CComBSTR(text), m_handler);
  return 0;
}

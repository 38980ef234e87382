#include <windows.h>
#include "CCallUI.h"
#include "CSmsDialog.h"
#include "ComBSTR.h"
#include "FullScreen.h"
#include "GuiSeams.h"
#include "GuiText.h"
#include "GuiWindows.h"

namespace {
const int RevealHeight = 120;  // pixels the received text adds to the window
const int MessageLimit = 960;
}  // namespace

int SmsCharacterCount(const std::wstring& text) {
  int pairs = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == L'\r' && text[i + 1] == L'\n') ++pairs;
  return static_cast<int>(text.size()) - pairs;
}

std::wstring SmsCounterText(int characters) {
  int messages = characters == 0 ? 0 : (characters + 159) / 160;
  if (characters == 1) return GuiFormat(L"%.1d character, %.1d message", characters, messages);
  if (messages == 1) return GuiFormat(L"%.1d characters, %.1d message", characters, messages);
  return GuiFormat(L"%.1d characters, %.1d messages", characters, messages);
}

CSmsDialog::CSmsDialog(SmsDialogParams& params)
    : m_handler(params.handler.Take()),
      m_ui(params.ui),
      m_owner(params.owner),
      m_serial(params.serial),
      m_number(params.number),
      m_name(params.name),
      m_message(params.message),
      m_incoming(params.incoming) {
  m_images = GuiMakeButtonImages(
      {IDB_ANSWER, IDB_ANSWER_PUSHED, IDB_ANSWER_HOVER, IDB_ANSWER_DISABLED}, 4);
  m_defaultPicture.LoadFromResource(IDB_DEFAULTPICTURE);
}

CSmsDialog::~CSmsDialog() {
  if (m_hWnd) DestroyWindow();
}

BOOL CSmsDialog::PreTranslateMessage(MSG* pMsg) {
  return m_hWnd && ::IsDialogMessageW(m_hWnd, pMsg);
}

LRESULT CSmsDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  DoDataExchange(FALSE);
  GuiSetDialogIcons(m_hWnd, &m_bigIcon, &m_smallIcon);
  GuiAttachButton(&m_callButton, m_images.Get(), m_hWnd, IDC_CALLSENDER, 0);
  DlgResize_Init();

  GuiContact contact = GuiFindContact(m_handler, m_serial, m_number);
  GuiShowPicture(m_hWnd, IDC_PICTURE, contact, &m_photo, m_defaultPicture);
  if (m_name.empty() && contact.found) m_name = contact.formattedName;
  m_displayName = GuiDisplayName(m_name, m_number);

  if (!m_message.empty()) {
    m_messageText = GuiToCrLf(m_message);
    if (!m_incoming) WtlEnableItem(m_hWnd, IDC_SEND, true);
  }
  if (m_incoming) {
    SetWindowText(L"Orvex Dialix - Incoming text message");
    m_headerText = GuiFormat(L"Received from:\r\n%ls", m_displayName.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_SEND, L"Reply to message");
    WtlEnableItem(m_hWnd, IDC_SEND, true);
    ::SendDlgItemMessageW(m_hWnd, IDC_MESSAGE, EM_SETREADONLY, TRUE, 0);
    WtlShowItem(m_hWnd, IDC_SHOWMESSAGE, true);
    WtlEnableItem(m_hWnd, IDC_SHOWMESSAGE, true);
    WtlShowItem(m_hWnd, IDC_CALLSENDER, false);
    WtlShowItem(m_hWnd, IDC_SEND, false);
    WtlShowItem(m_hWnd, IDC_MESSAGE, false);
    GuiGrowClientArea(m_hWnd, -RevealHeight, false);
  } else {
    SetWindowText(L"Orvex Dialix - Send text message");
    m_headerText = GuiFormat(L"New text message to:\r\n%ls", m_displayName.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_SEND, L"Send text message");
    m_counterText = L"0 character, 0 messages";
    ::SendDlgItemMessageW(m_hWnd, IDC_MESSAGE, EM_LIMITTEXT, MessageLimit, 0);
    WtlShowItem(m_hWnd, IDC_SHOWMESSAGE, false);
  }
  DoDataExchange(FALSE, IDC_HEADER);
  DoDataExchange(FALSE, IDC_MESSAGE);
  DoDataExchange(FALSE, IDC_COUNTER);
  PopUpWindow(m_hWnd, true, false);
  m_owner->AddMessageWindow(m_hWnd);
  return TRUE;
}

LRESULT CSmsDialog::OnActivate(UINT, WPARAM, LPARAM, BOOL&) {
  ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return 0;
}

LRESULT CSmsDialog::OnMouseActivate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  bHandled = FALSE;  // the click still activates as usual
  return 0;
}

LRESULT CSmsDialog::OnCancel(WORD, WORD, HWND, BOOL&) {
  Close();
  return 0;
}

void CSmsDialog::Close() {
  m_owner->RemoveMessageWindow(m_hWnd);
  DestroyWindow();
  ::PostQuitMessage(0);
}

LRESULT CSmsDialog::OnMessageChanged(WORD, WORD, HWND, BOOL&) {
  DoDataExchange(TRUE, IDC_MESSAGE);
  int characters = SmsCharacterCount(m_messageText);
  WtlEnableItem(m_hWnd, IDC_SEND, characters != 0);
  m_counterText = SmsCounterText(characters);
  DoDataExchange(FALSE, IDC_COUNTER);
  return 0;
}

LRESULT CSmsDialog::OnShowMessage(WORD, WORD, HWND, BOOL&) {
  WtlShowItem(m_hWnd, IDC_SHOWMESSAGE, false);
  WtlShowItem(m_hWnd, IDC_CALLSENDER, true);
  WtlShowItem(m_hWnd, IDC_SEND, true);
  WtlShowItem(m_hWnd, IDC_MESSAGE, true);
  GuiGrowClientArea(m_hWnd, RevealHeight, true);
  return 0;
}

LRESULT CSmsDialog::OnCallSender(WORD, WORD, HWND, BOOL&) {
  m_ui->Call(CComBSTR(m_serial.c_str()), CComBSTR(m_number.c_str()), m_handler);
  return 0;
}

LRESULT CSmsDialog::OnSend(WORD, WORD, HWND, BOOL&) {
  if (m_incoming) {
    m_ui->ComposeMessage(CComBSTR(m_serial.c_str()), CComBSTR(m_number.c_str()),
                         CComBSTR(m_name.c_str()), CComBSTR(L""), m_handler);
    return 0;
  }
  Send();
  return 0;
}

void CSmsDialog::EnableEditing(bool enable) {
  WtlEnableItem(m_hWnd, IDC_SEND, enable);
  WtlEnableItem(m_hWnd, IDC_CALLSENDER, enable);
  WtlEnableItem(m_hWnd, IDC_MESSAGE, enable);
}

void CSmsDialog::Send() {
  EnableEditing(false);
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  DoDataExchange(TRUE, IDC_MESSAGE);
  std::wstring text;
  for (wchar_t c : m_messageText)
    if (c != L'\r') text += c;
  HRESULT hr = E_POINTER;  // no handler: nothing can be sent
  if (m_handler)
    hr = m_handler->SendSMS(CComBSTR(m_serial.c_str()), CComBSTR(m_number.c_str()),
                            CComBSTR(text.c_str()));
  if (hr != S_OK) {
    GuiMessageBox(m_hWnd, L"Message sending failed.", L"Orvex Dialix", MB_OK | MB_ICONWARNING);
    EnableEditing(true);
    return;
  }
  GuiMessageBox(m_hWnd, L"Message was sent succesfully.", L"Orvex Dialix",
                MB_OK | MB_ICONINFORMATION);
  Close();
}

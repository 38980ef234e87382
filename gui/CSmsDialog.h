#pragma once
#include <windows.h>
#include <string>
#include "BitmapButton.h"
#include "DataExchange.h"
#include "DialogResize.h"
#include "DialogThreads.h"
#include "GdiHandles.h"
#include "Image.h"
#include "Window.h"
#include "ZCLLogger.h"
#include "resource.h"

class CCallUI;

// The characters a text counts as: a line break (CR LF) is one character;
// lines the edit control wraps count nothing.
int SmsCharacterCount(const std::wstring& text);
// "n characters, m messages" in its singular and plural forms.
std::wstring SmsCounterText(int characters);

// A text-message window: a received message (who sent it, the text on
// request, call back or reply) or a message to compose and send. Lives on its
// own thread and is used only there.
class CSmsDialog : public CDialogImpl<CSmsDialog>,
                   public CDialogResize<CSmsDialog>,
                   public CWinDataExchange<CSmsDialog>,
                   public CMessageFilter {
public:
  enum { IDD = IDD_SMSDIALOG };

  explicit CSmsDialog(SmsDialogParams& params);  // on the window thread
  ~CSmsDialog();

  BOOL PreTranslateMessage(MSG* pMsg) override;

  BEGIN_MSG_MAP(CSmsDialog)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
  MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
  COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
  COMMAND_HANDLER(IDC_MESSAGE, EN_CHANGE, OnMessageChanged)
  COMMAND_ID_HANDLER(IDC_SEND, OnSend)
  COMMAND_ID_HANDLER(IDC_SHOWMESSAGE, OnShowMessage)
  COMMAND_ID_HANDLER(IDC_CALLSENDER, OnCallSender)
  CHAIN_MSG_MAP(CDialogResize<CSmsDialog>)
  END_MSG_MAP()

  BEGIN_DDX_MAP(CSmsDialog)
  DDX_TEXT(IDC_COUNTER, m_counterText)
  DDX_TEXT(IDC_HEADER, m_headerText)
  DDX_TEXT(IDC_MESSAGE, m_messageText)
  END_DDX_MAP()

  BEGIN_DLGRESIZE_MAP(CSmsDialog)
  END_DLGRESIZE_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
  LRESULT OnMessageChanged(WORD, WORD, HWND, BOOL&);
  LRESULT OnSend(WORD, WORD, HWND, BOOL&);
  LRESULT OnShowMessage(WORD, WORD, HWND, BOOL&);
  LRESULT OnCallSender(WORD, WORD, HWND, BOOL&);
  void Send();
  void EnableEditing(bool enable);
  void Close();

  ZCLObjectTracer<CSmsDialog> m_tracer;
  CComPtr<ICallHandler> m_handler;
  CComPtr<ICallUI> m_ui;
  CCallUI* m_owner;
  std::wstring m_serial;
  std::wstring m_number;
  std::wstring m_name;
  std::wstring m_message;
  CImage m_photo;
  CImage m_defaultPicture;
  CBitmapButton m_callButton;
  CImageListHandle m_images;
  CIconHandle m_bigIcon;
  CIconHandle m_smallIcon;
  std::wstring m_headerText;
  std::wstring m_counterText;
  std::wstring m_messageText;
  LONG m_incoming;
  std::wstring m_displayName;
};

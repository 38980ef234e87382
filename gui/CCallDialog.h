#pragma once
#include <windows.h>
#include <string>
#include "BitmapButton.h"
#include "CallEvents.h"
#include "DataExchange.h"
#include "DialogResize.h"
#include "DialogThreads.h"
#include "GdiHandles.h"
#include "Image.h"
#include "Window.h"
#include "ZCLLogger.h"
#include "resource.h"

class CCallUI;

// One phone's call window: shows the call, follows its events (WM_CALLEVENT)
// through a small state machine and acts on the phone through the call
// handler. Lives on its own thread and is used only there; CCallUI reaches
// it only by SendMessage.
class CCallDialog : public CDialogImpl<CCallDialog>,
                    public CDialogResize<CCallDialog>,
                    public CWinDataExchange<CCallDialog>,
                    public CMessageFilter {
public:
  enum { IDD = IDD_CALLDIALOG };

  explicit CCallDialog(CallDialogParams& params);  // on the window thread
  ~CCallDialog();

  BOOL PreTranslateMessage(MSG* pMsg) override;

  BEGIN_MSG_MAP(CCallDialog)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
  MESSAGE_HANDLER(WM_TIMER, OnTimer)
  MESSAGE_HANDLER(WM_CALLEVENT, OnCallEvent)
  MESSAGE_HANDLER(WM_CLOSECALLWINDOW, OnCloseCallWindow)
  COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
  COMMAND_HANDLER(IDC_NUMBER, EN_CHANGE, OnNumberChanged)
  COMMAND_ID_HANDLER(IDC_ANSWER, OnAnswer)
  COMMAND_ID_HANDLER(IDC_HANGUP, OnHangUp)
  COMMAND_ID_HANDLER(IDC_SENDTEXT, OnSendText)
  CHAIN_MSG_MAP(CDialogResize<CCallDialog>)
  END_MSG_MAP()

  BEGIN_DDX_MAP(CCallDialog)
  DDX_TEXT(IDC_NUMBER, m_numberText)
  DDX_TEXT(IDC_STATUS, m_statusText)
  DDX_TEXT(IDC_DURATION, m_durationText)
  END_DDX_MAP()

  // The window does not resize; the map is there for the layer's handling.
  BEGIN_DLGRESIZE_MAP(CCallDialog)
  END_DLGRESIZE_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCallEvent(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCloseCallWindow(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
  LRESULT OnNumberChanged(WORD, WORD, HWND, BOOL&);
  LRESULT OnAnswer(WORD, WORD, HWND, BOOL&);
  LRESULT OnHangUp(WORD, WORD, HWND, BOOL&);
  LRESULT OnSendText(WORD, WORD, HWND, BOOL&);

  void HandleEvent(const CallEvent& event);
  void TakeCallData(const CallEvent& event);
  void ShowPicture();
  void SetStatus(const std::wstring& text);
  void SetDurationText(const std::wstring& text);
  void EnableButtonsPerNumber();
  void ViewInAction();
  void ViewEnded(const wchar_t* title, const std::wstring& status, bool clearDuration);
  void ViewMissed();
  void ViewIncoming();
  void ViewWaiting();
  void ViewOutgoing();
  void ViewDialling();
  void Close();

  ZCLObjectTracer<CCallDialog> m_tracer;
  CComPtr<ICallHandler> m_handler;
  CComPtr<ICallUI> m_ui;
  std::wstring m_serial;
  std::wstring m_number;
  std::wstring m_name;
  LONG m_callId;
  CBitmapButton m_answer;
  CBitmapButton m_hangUp;
  std::wstring m_numberText;
  std::wstring m_statusText;
  std::wstring m_durationText;
  std::wstring m_displayName;
  CImage m_photo;
  CImage m_defaultPicture;
  unsigned short m_missedCount = 0;
  long long m_startTime = 0;
  LONG m_state;
  LONG m_hangUpFlag = 0;
  LONG m_numberKnown = 1;
  CImageListHandle m_images;
  CIconHandle m_bigIcon;
  CIconHandle m_smallIcon;
  CCallUI* m_owner;
  std::shared_ptr<CEventHandle> m_ready;
};

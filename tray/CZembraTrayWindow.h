#pragma once
#include <windows.h>
#include <string>
#include "CAboutDlg.h"
#include "CCallBackImp.h"
#include "CSettingsDlg.h"
#include "CSyncEvent.h"
#include "CTrayNotifyIcon.h"
#include "ComTL.h"
#include "GdiHandles.h"
#include "SZembra.h"
#include "WindowImpl.h"
#include "resource.h"

// The tray program's hidden main window: the icon and its menu, the about
// and settings dialogs, and the connection to the service. Created, used and
// destroyed on the program's main thread; the sink reaches it only by
// posting (CCallBackImp).
class CZembraTrayWindow : public CWindowImpl<CZembraTrayWindow> {
public:
  DECLARE_WND_CLASS(L"OrvexDialixTrayWindow")

  static const UINT kIconId = 199;
  static const UINT kTrayNotifyMessage = WM_USER + 100;
  static const UINT kQueryDevicesMessage = WM_USER + 101;
  // How long creation and the end wait for the service's answer (tests shorten it).
  static DWORD s_connectWait;

  enum PendingAction { PendingNone, PendingWizard, PendingBrowser };

  CZembraTrayWindow();
  ~CZembraTrayWindow();

  BEGIN_MSG_MAP(CZembraTrayWindow)
  MESSAGE_HANDLER(WM_CREATE, OnCreate)
  COMMAND_ID_HANDLER(ID_OPEN_BROWSER, OnOpenBrowser)
  COMMAND_ID_HANDLER(ID_LAUNCH_WIZARD, OnLaunchWizard)
  COMMAND_ID_HANDLER(ID_SETTINGS, OnSettings)
  COMMAND_ID_HANDLER(ID_APP_ABOUT, OnAbout)
  COMMAND_ID_HANDLER(ID_APP_EXIT, OnExit)
  MESSAGE_HANDLER(kTrayNotifyMessage, OnTrayNotify)
  MESSAGE_HANDLER(kQueryDevicesMessage, OnQueryDevices)
  MESSAGE_HANDLER(CCallBackImp::kUpdatesMessage, OnSinkUpdates)
  END_MSG_MAP()

  // Creates the service's main object and connects the sink.
  HRESULT ConnectService();
  HWND CreateTray() { return Create(nullptr, nullptr, nullptr, 0, 0); }

  // Window thread only.
  void UpdateDeviceSummary(const std::wstring& summary, bool anyConnected, bool anyConnecting);
  void ShowDeviceState(const std::wstring& name, const std::wstring& stateText);
  void SetPendingAction(PendingAction action) { m_pending = action; }

  // For tests: the icon and the dialogs.
  CTrayNotifyIcon& GetIcon() { return m_icon; }
  CAboutDlg& GetAboutDlg() { return m_about; }
  CSettingsDlg& GetSettingsDlg() { return m_settings; }

private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOpenBrowser(WORD, WORD, HWND, BOOL&);
  LRESULT OnLaunchWizard(WORD, WORD, HWND, BOOL&);
  LRESULT OnSettings(WORD, WORD, HWND, BOOL&);
  LRESULT OnAbout(WORD, WORD, HWND, BOOL&);
  LRESULT OnExit(WORD, WORD, HWND, BOOL&);
  LRESULT OnTrayNotify(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQueryDevices(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSinkUpdates(UINT, WPARAM, LPARAM, BOOL&);
  void Launch(const wchar_t* failureFormat, bool wizard);

  CTrayNotifyIcon m_icon;
  HICON m_pictures[4] = {};  // shared icons: never destroyed
  PendingAction m_pending = PendingNone;
  CAboutDlg m_about;
  CSettingsDlg m_settings;
  std::wstring m_caption;
  CCallBackImp* m_sink = nullptr;
  CComPtr<IZembraCallback> m_callback;
  CComPtr<IZembra> m_service;
  CSyncEvent m_connectEvent;
  HWND m_registeredAs = nullptr;  // as the exit callback's target
};

// The window the exit callback posts to; set in WM_CREATE, cleared by the
// window's destructor. Any thread may read it.
HWND GetRegisteredTrayWindow();

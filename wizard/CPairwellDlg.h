#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "AppFxApp.h"
#include "CMediaUtility.h"
#include "QorsalDialix.h"
#include "CThreadHandle.h"
#include "ZCLHandle.h"
#include "resource.h"

class CWelcomePage;
class CSelectMediaPage;
class CConnectCablePage;
class CActivateInfraredPage;
class CSearchPhonePage;
class CSetupCompletePage;
class CAuthenticatePage;
class CSupportInstallPage;
class CTroubleshootDlg;
class CWizardSettings;

// The wizard's frame: the page states and Back and Next between them, the
// support check and installation hand-over, pairing, help and the launcher.
// Used on the main thread only; its watcher threads only post to it.
class CPairwellDlg : public CAppFxDialog<CPairwellDlg> {
public:
  enum { IDD = IDD_PAIRWELL_DIALOG };
  enum State {
    kWelcome = 0, kSelectMedia = 1, kCable = 2, kInfrared = 3, kSearch = 4,
    kAuthenticate = 6, kSupport = 7, kComplete = 8
  };
  // The connection kind being tried, as the troubleshoot dialog reads it.
  enum MediaCode { kMediaCodeCable = 0, kMediaCodeBluetooth = 1, kMediaCodeInfrared = 2 };

  CPairwellDlg();
  ~CPairwellDlg() override;

  // Starts the sibling launcher program; the shell unless a test replaces it.
  typedef void (*Launcher)(const std::wstring& path);
  static Launcher SetLauncher(Launcher launcher);

  // Bluetooth mode with the phone's address (at most 38 characters).
  void SetBluetoothMode(const std::wstring& guid);
  // Opens on the support installation page for that device.
  void SetSupportDevice(const std::wstring& deviceId) { m_deviceId = deviceId; }
  bool IsBluetoothMode() const { return m_bluetoothMode; }
  const std::wstring& Guid() const { return m_guid; }
  const std::wstring& SupportDevice() const { return m_deviceId; }

  int GetState() const { return m_state; }
  DWORD GetMediaCode() const { return m_mediaCode; }
  bool IsWelcomeInUse() const { return m_welcomeInUse; }

  // What the pages call.
  void CheckSupportNeeded(const CMediaDevice* device);
  void ShowWelcomePage();
  void ShowSelectMediaPage(bool showHint);
  void ShowCablePage();
  void ShowInfraredPage();
  void ShowSearchPage();
  void ShowAuthenticatePage();
  void ShowSupportPage();
  void ShowCompletePage();
  void ShowTroubleshoot();
  // The serial number of the connected phone with that Bluetooth address.
  bool FindDeviceByAddress(const std::wstring& address, std::wstring* serial);
  // The first connected phone with a connection of that media (mask bit).
  bool FindDeviceByMedia(DWORD media, CMediaDevice* device);

  // The pages, for the dialog's own tests.
  CSearchPhonePage& SearchPage() { return *m_searchPage; }
  CSupportInstallPage& SupportPage() { return *m_supportPage; }
  CTroubleshootDlg& Troubleshoot() { return *m_troubleshoot; }

  BEGIN_MSG_MAP(CPairwellDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_QUERYDRAGICON, OnQueryDragIcon)
    MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MESSAGE_HANDLER(WM_HELP, OnHelpMessage)
    MESSAGE_HANDLER(WM_PAIRING_DONE, OnPairingDone)
    MESSAGE_HANDLER(WM_PAIRING_FAILED, OnPairingFailed)
    MESSAGE_HANDLER(WM_SHOW_COMPLETION, OnShowCompletion)
    MESSAGE_HANDLER(WM_PAIRING_TIMED_OUT, OnPairingTimedOut)
    MESSAGE_HANDLER(WM_INSTALL_DONE, OnInstallDone)
    MESSAGE_HANDLER(WM_RAISE_TROUBLESHOOT, OnRaiseTroubleshoot)
    COMMAND_ID_HANDLER(IDC_BACK, OnBack)
    COMMAND_ID_HANDLER(IDC_NEXT, OnNext)
    COMMAND_ID_HANDLER(IDC_WIZARD_CANCEL, OnCancel)
    COMMAND_ID_HANDLER(IDC_WIZARD_HELP, OnHelp)
    COMMAND_ID_HANDLER(IDOK, OnEnterOrEscape)
    COMMAND_ID_HANDLER(IDCANCEL, OnEnterOrEscape)
    CHAIN_MSG_MAP(CAppFxDialog<CPairwellDlg>)
  END_MSG_MAP()

  BOOL PreTranslateMessage(MSG* msg) override;

private:
  // The language string shown when pairing or trusting a phone fails.
  static const UINT kPairingFailedText = 5509;

  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQueryDragIcon(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnHelpMessage(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPairingDone(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPairingFailed(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnShowCompletion(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPairingTimedOut(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInstallDone(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnRaiseTroubleshoot(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnBack(WORD, WORD, HWND, BOOL&);
  LRESULT OnNext(WORD, WORD, HWND, BOOL&);
  LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
  LRESULT OnHelp(WORD, WORD, HWND, BOOL&);
  LRESULT OnEnterOrEscape(WORD, WORD, HWND, BOOL&);

  // The right-to-left template, when the language needs one.
  struct GlobalTraits {
    typedef HGLOBAL Type;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Free(Type h) { ::GlobalFree(h); }
  };
  typedef CUniqueHandle<GlobalTraits> CGlobalMemory;
  explicit CPairwellDlg(CGlobalMemory flipped);
  static CGlobalMemory FlippedTemplate();

  void ShowPage(HWND page, bool picture);
  void ShowWaitingPage(HWND page, DWORD mediaCode, int state);
  void SetButtons(int back, int next);
  void FocusAfter(int id);
  void StartPairing();
  void StopPairingWatcher();
  bool MakeTrusted(const std::wstring& address);
  void WaitForSupportDecision();
  DWORD HelpContext() const;
  void CloseWizard();
  void Launch();
  bool Busy();

  // The implementation adds what it needs below.
  CGlobalMemory m_flipped;
  HICON m_icon = nullptr;
  HCURSOR m_busyCursor = nullptr;
  CXeluBackBuffer m_background{3001};
  CXeluStaticBitmapSkin m_pictureSkin{3028};
  CXeluStaticCtrl m_picture;
  CXeluButtonCtrl m_buttons[4];
  CHandle m_watcherStop;
  CThreadHandle m_watcher;
  bool m_checkingSupport = false;
  bool m_closing = false;
  bool m_bluetoothMode = false;
  std::wstring m_guid;
  std::wstring m_deviceId;
  int m_state = kWelcome;
  DWORD m_mediaCode = kMediaCodeCable;
  bool m_welcomeInUse = false;
  std::unique_ptr<CWelcomePage> m_welcomePage;
  std::unique_ptr<CSelectMediaPage> m_mediaPage;
  std::unique_ptr<CConnectCablePage> m_cablePage;
  std::unique_ptr<CActivateInfraredPage> m_infraredPage;
  std::unique_ptr<CSearchPhonePage> m_searchPage;
  std::unique_ptr<CSetupCompletePage> m_completePage;
  std::unique_ptr<CAuthenticatePage> m_authenticatePage;
  std::unique_ptr<CSupportInstallPage> m_supportPage;
  std::unique_ptr<CTroubleshootDlg> m_troubleshoot;
  std::unique_ptr<CWizardSettings> m_settings;
  CHandle m_supportNeeded;
  CHandle m_supportNotNeeded;
};

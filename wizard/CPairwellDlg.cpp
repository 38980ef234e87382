#include <windows.h>
#include <shellapi.h>
#include "CPairwellDlg.h"
#include "CActivateInfraredPage.h"
#include "CAuthenticatePage.h"
#include "CConnectCablePage.h"
#include "CPairwellApp.h"
#include "CSearchPhonePage.h"
#include "CSelectMediaPage.h"
#include "CSetupCompletePage.h"
#include "CSupportInstallPage.h"
#include "CTroubleshootDlg.h"
#include "CWelcomePage.h"
#include "CWizardSettings.h"
#include "CommandLine.h"
#include "WizardMessage.h"
#include "ZCLLogger.h"

namespace {

const UINT_PTR kActivationTimer = 1;
const UINT kActivationDelay = 500;
// Language strings the dialog shows itself.
const UINT kNextText = 5004, kBackText = 5005, kCancelText = 5006, kHelpText = 5007, kFinishText = 5008;
const UINT kNoMedia = 5507;

const int kButtonIds[4] = {IDC_BACK, IDC_NEXT, IDC_WIZARD_CANCEL, IDC_WIZARD_HELP};

void ShellLauncher(const std::wstring& path) {
  // Nothing is reported when the launcher cannot start.
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, L"", SW_SHOWDEFAULT);
}
CPairwellDlg::Launcher g_launcher = &ShellLauncher;

CPairwellApp& App() { return *CPairwellApp::Get(); }

bool IsSignalled(HANDLE event) { return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

CPairwellDlg::Launcher CPairwellDlg::SetLauncher(Launcher launcher) {
  Launcher previous = g_launcher;
  g_launcher = launcher ? launcher : &ShellLauncher;
  return previous;
}

CPairwellDlg::CGlobalMemory CPairwellDlg::FlippedTemplate() {
  CPairwellApp* app = CPairwellApp::Get();
  if (!app || !app->m_rightToLeft) return CGlobalMemory();
  return CGlobalMemory(CRTLHelper::FlipDialog(GetModuleHandleW(nullptr), IDD, FALSE));
}

CPairwellDlg::CPairwellDlg() : CPairwellDlg(FlippedTemplate()) {}

CPairwellDlg::CPairwellDlg(CGlobalMemory flipped)
    : CAppFxDialog<CPairwellDlg>(flipped ? static_cast<const DLGTEMPLATE*>(GlobalLock(flipped.Get())) : nullptr),
      m_flipped(std::move(flipped)),
      m_welcomePage(new CWelcomePage),
      m_mediaPage(new CSelectMediaPage),
      m_cablePage(new CConnectCablePage),
      m_infraredPage(new CActivateInfraredPage),
      m_searchPage(new CSearchPhonePage),
      m_completePage(new CSetupCompletePage),
      m_authenticatePage(new CAuthenticatePage),
      m_supportPage(new CSupportInstallPage),
      m_troubleshoot(new CTroubleshootDlg) {
  m_icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PAIRWELL), IMAGE_ICON, 0,
                                         0, LR_DEFAULTSIZE | LR_SHARED));
  m_busyCursor = LoadCursorW(nullptr, IDC_APPSTARTING);
  m_supportNeeded.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  m_supportNotNeeded.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// The pages and the watcher go before the settings store and the events.
CPairwellDlg::~CPairwellDlg() {
  StopPairingWatcher();
  if (m_flipped) GlobalUnlock(m_flipped.Get());
}

void CPairwellDlg::SetBluetoothMode(const std::wstring& guid) {
  m_bluetoothMode = true;
  m_guid = guid.substr(0, kGuidLimit);
}

LRESULT CPairwellDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  CPairwellApp& app = App();
  app.SetMainWindow(m_hWnd);
  // Step 1.
  if (app.m_rightToLeft)
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
  // Step 2: icon, skins and texts.
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
  m_background.SetBackground(m_hWnd);
  for (int i = 0; i < 4; ++i) m_buttons[i].Attach(GetDlgItem(kButtonIds[i]), &app.Skins().button);
  m_picture.Attach(GetDlgItem(IDC_PICTURE_PLACE), &m_pictureSkin);
  SetWindowText(app.GetLanguageString(IDS_CAPTION).c_str());
  const UINT texts[4] = {kBackText, kNextText, kCancelText, kHelpText};
  for (int i = 0; i < 4; ++i) ::SetDlgItemTextW(m_hWnd, kButtonIds[i], app.GetLanguageString(texts[i]).c_str());
  // Step 3: the pages inside the page area.
  HWND area = GetDlgItem(IDC_PAGE_AREA);
  LONG_PTR areaEx = GetWindowLongPtrW(area, GWL_EXSTYLE);
  SetWindowLongPtrW(area, GWL_EXSTYLE, (areaEx | WS_EX_CONTROLPARENT) & ~(WS_EX_STATICEDGE | WS_EX_WINDOWEDGE));
  SetWindowPos(area, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  m_welcomePage->SetBluetoothMode(m_bluetoothMode);
  m_welcomePage->CreatePage(area, this);
  if (HWND media = m_mediaPage->CreatePage(area, this)) {
    SetWindowLongPtrW(media, GWL_STYLE, GetWindowLongPtrW(media, GWL_STYLE) & ~WS_BORDER);
    SetWindowPos(media, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  m_cablePage->CreatePage(area, this);
  m_infraredPage->CreatePage(area, this);
  m_searchPage->CreatePage(area, this);
  m_completePage->SetBluetoothMode(m_bluetoothMode);
  m_completePage->CreatePage(area, this);
  m_authenticatePage->CreatePage(area, this);
  m_supportPage->CreatePage(area, this);
  m_troubleshoot->CreateTroubleshoot(this);
  // Step 4: a new settings file starts with "1", which shows the welcome page.
  m_settings.reset(new CWizardSettings());
  if (!m_settings->Open() || !m_settings->Load())
    ZCLLogMessage(2, nullptr, "Pairwell: the settings file could not be read");
  m_welcomeInUse = m_settings->GetHideWelcome();
  // Step 5.
  if (!m_deviceId.empty()) {
    m_supportPage->AddDevice(m_deviceId);
    ShowSupportPage();
  } else if (m_welcomeInUse) {
    ShowWelcomePage();
  } else if (m_bluetoothMode) {
    m_searchPage->SetGuid(m_guid);
    ShowSearchPage();
  } else {
    ShowSelectMediaPage(false);
  }
  // Step 6.
  app.MediaUtility().SetNotifySink(m_welcomePage.get());
  SetTimer(m_hWnd, kActivationTimer, kActivationDelay, nullptr);
  return TRUE;
}

// --- Pages and buttons.

void CPairwellDlg::ShowPage(HWND page, bool picture) {
  App().MediaUtility().SetNotifySink(nullptr);
  HWND area = GetDlgItem(IDC_PAGE_AREA);
  ::ShowWindow(area, SW_HIDE);
  for (HWND each : {m_welcomePage->m_hWnd, m_mediaPage->m_hWnd, m_cablePage->m_hWnd, m_infraredPage->m_hWnd,
                    m_searchPage->m_hWnd, m_completePage->m_hWnd, m_authenticatePage->m_hWnd,
                    m_supportPage->m_hWnd})
    if (each) ::ShowWindow(each, SW_HIDE);
  ::ShowWindow(m_picture.GetHwnd() ? m_picture.GetHwnd() : GetDlgItem(IDC_PICTURE_PLACE),
               picture ? SW_SHOW : SW_HIDE);
  if (page) ::ShowWindow(page, SW_SHOW);
  ::ShowWindow(area, SW_SHOW);
}

// -1 leaves a button as it is.
void CPairwellDlg::SetButtons(int back, int next) {
  if (back >= 0) WtlEnableItem(m_hWnd, IDC_BACK, back != 0);
  if (next >= 0) WtlEnableItem(m_hWnd, IDC_NEXT, next != 0);
}

void CPairwellDlg::FocusAfter(int id) {
  HWND button = GetDlgItem(id);
  ::SetFocus(::IsWindowEnabled(button) ? button : m_hWnd);
}

void CPairwellDlg::ShowWelcomePage() {
  ShowPage(m_welcomePage->m_hWnd, false);
  SetButtons(0, 1);
  m_state = kWelcome;
}

void CPairwellDlg::ShowSelectMediaPage(bool showHint) {
  ShowPage(m_mediaPage->m_hWnd, true);
  SetButtons(m_welcomeInUse ? 1 : 0, 1);
  m_mediaPage->Reset();
  m_mediaPage->ShowHint(showHint);
  App().m_busy = FALSE;
  m_state = kSelectMedia;
}

// The cable and infrared pages wait for a phone with the busy cursor.
void CPairwellDlg::ShowWaitingPage(HWND page, DWORD mediaCode, int state) {
  ShowPage(page, true);
  SetButtons(1, 0);
  App().m_busy = TRUE;
  m_mediaCode = mediaCode;
  m_state = state;
}

void CPairwellDlg::ShowCablePage() {
  ShowWaitingPage(m_cablePage->m_hWnd, kMediaCodeCable, kCable);
  m_cablePage->StartWaiting(m_hWnd);
}

void CPairwellDlg::ShowInfraredPage() {
  ShowWaitingPage(m_infraredPage->m_hWnd, kMediaCodeInfrared, kInfrared);
  m_infraredPage->StartWaiting(m_hWnd);
}

void CPairwellDlg::ShowSearchPage() {
  ShowPage(m_searchPage->m_hWnd, true);
  SetButtons(1, 0);
  m_mediaCode = kMediaCodeBluetooth;
  m_state = kSearch;
}

void CPairwellDlg::ShowAuthenticatePage() {
  ShowPage(m_authenticatePage->m_hWnd, true);
  SetButtons(-1, 1);
  App().MediaUtility().SetNotifySink(m_authenticatePage.get());
  m_state = kAuthenticate;
}

void CPairwellDlg::ShowSupportPage() {
  ShowPage(m_supportPage->m_hWnd, true);
  SetButtons(1, 1);
  m_state = kSupport;
}

// Cancel becomes the way out, and is enabled again: the installation
// disables it while it runs.
void CPairwellDlg::ShowCompletePage() {
  ShowPage(m_completePage->m_hWnd, true);
  SetButtons(0, 0);
  HWND cancel = GetDlgItem(IDC_WIZARD_CANCEL);
  ::SetWindowTextW(cancel, App().GetLanguageString(kFinishText).c_str());
  ::EnableWindow(cancel, TRUE);
  ::SetFocus(cancel);
  m_completePage->Fill();
  App().MediaUtility().SetNotifySink(m_completePage.get());
  m_state = kComplete;
}

void CPairwellDlg::ShowTroubleshoot() { m_troubleshoot->Show(m_mediaCode); }

// --- Next and Back.

LRESULT CPairwellDlg::OnNext(WORD, WORD, HWND, BOOL&) {
  CPairwellApp& app = App();
  CMediaUtility& media = app.MediaUtility();
  switch (m_state) {
    case kWelcome:
      media.RefreshMedia();
      if (m_welcomePage->IsHideWelcomeTicked()) {
        m_settings->SetHideWelcome(false);
        if (!m_settings->Save()) ZCLLogMessage(2, nullptr, "Pairwell: the settings file could not be saved");
      }
      if (!media.IsMediaAvailable(kMediaCable | kMediaCable2 | kMediaInfrared | kMediaBluetooth)) {
        ShowWizardMessage(m_hWnd, kNoMedia);
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
      }
      if (m_bluetoothMode) {
        m_searchPage->SetGuid(m_guid);
        ShowSearchPage();
      } else {
        ShowSelectMediaPage(false);
        media.SetNotifySink(m_mediaPage.get());
      }
      break;
    case kSelectMedia: {
      CMediaDevice device;
      switch (m_mediaPage->GetSelectedMedia()) {
        case IDC_MEDIA_CABLE:
          if (FindDeviceByMedia(kMediaCable, &device) || FindDeviceByMedia(kMediaCable2, &device)) {
            CheckSupportNeeded(&device);
          } else {
            ShowCablePage();
            media.EnableMedium(kMediaCable);
            media.EnableMedium(kMediaCable2);
            media.CableDetector().Start();
          }
          break;
        case IDC_MEDIA_INFRARED:
          if (FindDeviceByMedia(kMediaInfrared, &device)) {
            CheckSupportNeeded(&device);
          } else if (media.EnableMedium(kMediaInfrared)) {
            ShowInfraredPage();
          } else {
            m_mediaCode = kMediaCodeInfrared;
            ShowTroubleshoot();
          }
          break;
        case IDC_MEDIA_BLUETOOTH:
          ShowSearchPage();
          break;
        default:
          break;
      }
      break;
    }
    case kCable:
      ShowCompletePage();
      media.CableDetector().Stop();
      break;
    case kSearch: {
      CSearchEntry entry;
      if (!m_searchPage->GetSelectedEntry(&entry)) break;
      if (entry.paired) {
        if (!entry.trusted && !MakeTrusted(entry.address)) {
          ShowWizardMessage(m_hWnd, kPairingFailedText);
          break;
        }
        std::wstring serial;
        if (FindDeviceByAddress(entry.address, &serial))
          CheckSupportNeeded(nullptr);
        else
          ShowCompletePage();
      } else {
        app.Events().SetSelectedDeviceAddress(entry.address);
        m_authenticatePage->SetEntry(entry);
        ShowAuthenticatePage();
      }
      break;
    }
    case kAuthenticate:
      StartPairing();
      break;
    case kSupport:
      // The installation may take minutes a phone: it runs on the page's
      // worker, which posts WM_INSTALL_DONE.
      SetButtons(0, 0);
      WtlEnableItem(m_hWnd, IDC_WIZARD_CANCEL, false);
      if (!m_supportPage->StartInstall(m_hWnd)) {
        ZCLLogMessage(2, nullptr, "Pairwell: the support installation did not start");
        SetButtons(1, 1);
        WtlEnableItem(m_hWnd, IDC_WIZARD_CANCEL, true);
      }
      break;
    default:
      ShowCompletePage();
      break;
  }
  FocusAfter(IDC_NEXT);
  return 0;
}

LRESULT CPairwellDlg::OnBack(WORD, WORD, HWND, BOOL&) {
  CMediaUtility& media = App().MediaUtility();
  switch (m_state) {
    case kSelectMedia:
      ShowWelcomePage();
      media.SetNotifySink(m_welcomePage.get());
      break;
    case kCable:
      ShowSelectMediaPage(true);
      media.CableDetector().Stop();
      media.SetNotifySink(m_mediaPage.get());
      break;
    case kSearch:
      if (App().SearchWorker().IsSearchPending()) SetEvent(App().Events().Get(CWizardEvents::SearchCancel));
      if (m_bluetoothMode && m_welcomeInUse)
        ShowWelcomePage();
      else
        ShowSelectMediaPage(true);
      break;
    case kInfrared:
    case kSupport:
      ShowSelectMediaPage(true);
      break;
    case kAuthenticate:
      ShowSearchPage();
      break;
    default:
      ShowWelcomePage();
      break;
  }
  FocusAfter(IDC_BACK);
  return 0;
}

// --- Help, keys, cursor and timer.

DWORD CPairwellDlg::HelpContext() const {
  switch (m_state) {
    case kWelcome: return m_bluetoothMode ? 3608 : 3600;
    case kSelectMedia: return 3601;
    case kCable: return 3602;
    case kInfrared: return 3603;
    case kSearch: return 3605;
    case kAuthenticate: return 3606;
    case kSupport: return 3610;
    case kComplete: return m_bluetoothMode ? 3609 : 3607;
    default: return 3600;
  }
}

LRESULT CPairwellDlg::OnHelp(WORD, WORD, HWND, BOOL&) {
  ShowWizardHelp(HelpContext());
  return 0;
}

LRESULT CPairwellDlg::OnHelpMessage(UINT, WPARAM, LPARAM, BOOL&) {
  ShowWizardHelp(HelpContext());
  return TRUE;
}

// The dialog's own IDOK and IDCANCEL (Enter and Escape) end nothing.
LRESULT CPairwellDlg::OnEnterOrEscape(WORD, WORD, HWND, BOOL&) { return 0; }

BOOL CPairwellDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
    HWND focus = ::GetFocus();
    if (focus == GetDlgItem(IDC_WIZARD_HELP)) {
      ShowWizardHelp(HelpContext());
      return TRUE;
    }
    if (focus != GetDlgItem(IDC_NEXT) && focus != GetDlgItem(IDC_BACK) && focus != GetDlgItem(IDC_WIZARD_CANCEL))
      return TRUE;
  }
  return CAppFxDialog<CPairwellDlg>::PreTranslateMessage(msg);
}

bool CPairwellDlg::Busy() {
  CPairwellApp& app = App();
  CWizardEvents& events = app.Events();
  CDeviceSearchWorker& worker = app.SearchWorker();
  return app.m_busy || worker.IsSearchPending() || worker.IsPairPending() || worker.IsUnpairPending() ||
         IsSignalled(events.Get(CWizardEvents::SearchRequest)) ||
         IsSignalled(events.Get(CWizardEvents::PairRequest)) ||
         IsSignalled(events.Get(CWizardEvents::UnpairRequest));
}

LRESULT CPairwellDlg::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  if (!Busy()) {
    handled = FALSE;
    return FALSE;
  }
  SetCursor(m_busyCursor);
  return TRUE;
}

LRESULT CPairwellDlg::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  if (id != kActivationTimer) {
    handled = FALSE;
    return 0;
  }
  KillTimer(m_hWnd, kActivationTimer);
  App().BringToFront();
  return 0;
}

LRESULT CPairwellDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL& handled) {
  if (!IsIconic(m_hWnd)) {
    handled = FALSE;
    return 0;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (client.right - client.left - cx + 1) / 2, (client.bottom - client.top - cy + 1) / 2, m_icon);
  EndPaint(m_hWnd, &paint);
  return 0;
}

LRESULT CPairwellDlg::OnQueryDragIcon(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_icon); }

// --- Closing.

void CPairwellDlg::Launch() {
  if (m_bluetoothMode || !App().m_launchAtEnd) return;
  g_launcher(App().GetInstallFolder() + L"\\Kelvast.exe");
}

LRESULT CPairwellDlg::OnCancel(WORD, WORD, HWND, BOOL&) {
  m_closing = true;
  SetEvent(App().Events().Get(CWizardEvents::WizardCancel));
  if (m_state == kCable) App().MediaUtility().CableDetector().Stop();
  Launch();
  EndDialog(IDCANCEL);
  return 0;
}

LRESULT CPairwellDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  m_closing = true;
  if (m_state == kCable) App().MediaUtility().CableDetector().Stop();
  if (m_state == kSearch && App().SearchWorker().IsSearchPending())
    SetEvent(App().Events().Get(CWizardEvents::SearchCancel));
  Launch();
  EndDialog(IDCANCEL);
  return 0;
}

LRESULT CPairwellDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  KillTimer(m_hWnd, kActivationTimer);
  StopPairingWatcher();
  App().MediaUtility().SetNotifySink(nullptr);
  for (int i = 0; i < 4; ++i) m_buttons[i].Detach();
  m_picture.Detach();
  m_background.Release();
  if (m_troubleshoot->m_hWnd) m_troubleshoot->DestroyWindow();
  m_settings.reset();
  handled = FALSE;
  return 0;
}

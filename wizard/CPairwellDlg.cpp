#include <windows.h>
#include <process.h>
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
#include "SupportInstall.h"
#include "SutrelSupportSetup.h"
#include "TrelkApi.h"
#include "WizardMessage.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

namespace {

const UINT_PTR kActivationTimer = 1;
const UINT kActivationDelay = 500;
const DWORD kPairingWait = 180000;
// The watcher only waits on events and posts, so it ends at once when told.
const DWORD kWatcherJoin = 5000;
const DWORD kSupportPoll = 10;
const DWORD kTrustWithoutPasscode = 1024;
const size_t kPasscodeLimit = 49;

// Language strings the dialog shows itself.
const UINT kNextText = 5004, kBackText = 5005, kCancelText = 5006, kHelpText = 5007, kFinishText = 5008;
const UINT kNoMedia = 5507, kPairingFailed = 5509, kModemCableWarning = 5205;

const int kButtonIds[4] = {IDC_BACK, IDC_NEXT, IDC_WIZARD_CANCEL, IDC_WIZARD_HELP};

void ShellLauncher(const std::wstring& path) {
  // Nothing is reported when the launcher cannot start.
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, L"", SW_SHOWDEFAULT);
}
CPairwellDlg::Launcher g_launcher = &ShellLauncher;

CPairwellApp& App() { return *CPairwellApp::Get(); }

// A device-management handle of the connectivity library, closed on scope
// exit.
class CDeviceManager {
public:
  CDeviceManager() : m_open(LNYXOpenDM(&m_handle) == 0) {}
  ~CDeviceManager() {
    if (m_open) LNYXCloseDM(m_handle);
  }
  bool IsOpen() const { return m_open; }
  DWORD Get() const { return m_handle; }

private:
  CDeviceManager(const CDeviceManager&) = delete;
  CDeviceManager& operator=(const CDeviceManager&) = delete;
  DWORD m_handle = 0;
  bool m_open;
};

bool IsSignalled(HANDLE event) { return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// What the pairing watcher holds: its own copy of the stop event, so that a
// watcher outliving a timed-out join never waits on a closed handle.
struct CPairingWatch {
  HWND window;
  HANDLE done;
  HANDLE failed;
  CHandle stop;
};

// Waits for the search worker's pairing answer and only posts it: a watcher
// that sent would deadlock against the main thread joining it.
unsigned __stdcall PairingWatcher(void* parameter) {
  std::unique_ptr<CPairingWatch> watch(static_cast<CPairingWatch*>(parameter));
  ZCLGuarded(1, ZCL_SITE, [&] {
    HANDLE events[3] = {watch->stop.Get(), watch->done, watch->failed};
    switch (WaitForMultipleObjects(3, events, FALSE, kPairingWait)) {
      case WAIT_OBJECT_0:
        break;
      case WAIT_OBJECT_0 + 1:
        ResetEvent(watch->done);
        PostMessageW(watch->window, WM_PAIRING_DONE, 0, 0);
        break;
      case WAIT_TIMEOUT:
        PostMessageW(watch->window, WM_PAIRING_TIMED_OUT, 0, 0);
        break;
      default:  // failed, or the wait itself failed
        ResetEvent(watch->failed);
        PostMessageW(watch->window, WM_PAIRING_FAILED, 0, 0);
        break;
    }
  });
  return 0;
}

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
          ShowWizardMessage(m_hWnd, kPairingFailed);
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

// --- Finding connected phones.

bool CPairwellDlg::FindDeviceByMedia(DWORD media, CMediaDevice* device) {
  std::vector<CMediaDevice> devices;
  App().MediaUtility().CopyDeviceList(&devices);
  for (const CMediaDevice& each : devices) {
    int index = -1;
    if (!CMediaUtility::FindConnectionIndex(each, media, &index)) continue;
    // A serial cable that is a modem cable cannot carry the phone's data.
    if (media == kMediaCable2 && each.states[index] == 8) {
      ShowWizardMessage(m_hWnd, kModemCableWarning, MB_OK | MB_ICONWARNING);
      return false;
    }
    if (device) *device = each;
    return true;
  }
  return false;
}

bool CPairwellDlg::FindDeviceByAddress(const std::wstring& address, std::wstring* serial) {
  std::vector<CMediaDevice> devices;
  App().MediaUtility().CopyDeviceList(&devices);
  for (const CMediaDevice& each : devices) {
    if (each.bluetoothAddress.empty() || each.bluetoothAddress != address) continue;
    if (serial) *serial = each.serial;
    return true;
  }
  return false;
}

// --- The support check.

void CPairwellDlg::CheckSupportNeeded(const CMediaDevice*) {
  // A phone arriving while the wait pumps must not start a second check.
  if (m_checkingSupport) return;
  CPairwellApp& app = App();
  app.MediaUtility().CableDetector().Stop();
  app.m_busy = FALSE;
  m_troubleshoot->Hide();

  CDeviceManager manager;
  if (manager.IsOpen()) {
    bool needed = false;
    DWORD count = 0;
    std::vector<LNYX_DEVICE> devices;
    if (LNYXGetDeviceCount(manager.Get(), &count) == 0 && count > 0) {
      devices.resize(count);
      if (LNYXGetDevices(manager.Get(), &count, devices.data()) == 0) {
        devices.resize(count);
        for (const LNYX_DEVICE& device : devices) {
          if (!device.pstrSerialNumber || !*device.pstrSerialNumber) continue;
          std::wstring serial = device.pstrSerialNumber;
          int text = 0, multimedia = 0, provider = 0;
          HRESULT checked = needSupport(serial.c_str(), &text, &multimedia, &provider);
          if (FAILED(checked)) ZCLLogMessage(2, nullptr, "Pairwell: support check failed: 0x%08lX", checked);
          if (text || multimedia || provider || NeedsEnhancementDriver(serial)) {
            m_supportPage->AddDevice(serial);
            needed = true;
          }
        }
        LNYXFreeDeviceStructure(count, devices.data());
      }
    }
    SetEvent(needed ? m_supportNeeded.Get() : m_supportNotNeeded.Get());
  } else {
    ZCLLogMessage(2, nullptr, "Pairwell: device management could not be opened for the support check");
  }
  WaitForSupportDecision();
}

// Keeps the window alive between 10 ms waits. Device management that could
// not be opened sets neither event: the wait then lasts until Cancel (or the
// window closing, which ends the wizard as well).
void CPairwellDlg::WaitForSupportDecision() {
  CPairwellApp& app = App();
  m_checkingSupport = true;
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR previous = SetCursor(wait);
  SetButtons(0, 0);
  HWND search = m_searchPage->m_hWnd;
  for (int id : {IDC_SEARCH_LIST, IDC_SEARCH_AGAIN, IDC_UNPAIR}) WtlEnableItem(search, id, false);
  HANDLE events[3] = {m_supportNeeded.Get(), m_supportNotNeeded.Get(),
                      app.Events().Get(CWizardEvents::WizardCancel)};
  for (;;) {
    DWORD waited = WaitForMultipleObjects(3, events, FALSE, kSupportPoll);
    if (waited == WAIT_OBJECT_0) {
      ResetEvent(events[0]);
      ShowSupportPage();
      break;
    }
    if (waited == WAIT_OBJECT_0 + 1) {
      ResetEvent(events[1]);
      PostMessageW(m_hWnd, WM_SHOW_COMPLETION, 0, 0);
      m_state = kComplete;
      break;
    }
    if (waited != WAIT_TIMEOUT || m_closing || !IsWindow()) break;
    SetCursor(wait);
    MSG peek;
    if (PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE) && !app.PumpMessage()) {
      PostQuitMessage(0);  // for the loop outside
      break;
    }
  }
  if (search) WtlEnableItem(search, IDC_SEARCH_LIST, true);
  SetCursor(previous);
  m_checkingSupport = false;
}

LRESULT CPairwellDlg::OnRaiseTroubleshoot(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_troubleshoot && m_troubleshoot->m_hWnd) ::PostMessageW(m_troubleshoot->m_hWnd, WM_RAISE_TROUBLESHOOT, 0, 0);
  return 0;
}

LRESULT CPairwellDlg::OnInstallDone(UINT, WPARAM, LPARAM, BOOL&) {
  ShowCompletePage();
  return 0;
}

// --- Pairing.

bool CPairwellDlg::MakeTrusted(const std::wstring& address) {
  CDeviceManager manager;
  return manager.IsOpen() &&
         LNYXChangeDeviceTrustedState(manager.Get(), kTrustWithoutPasscode, address.c_str(), nullptr, nullptr) == 0;
}

void CPairwellDlg::StartPairing() {
  CWizardEvents& events = App().Events();
  std::wstring passcode = m_authenticatePage->GetPasscode().substr(0, kPasscodeLimit);
  SetButtons(0, 0);
  if (passcode.empty()) {
    ShowWizardMessage(m_hWnd, kPairingFailed);
    SetButtons(1, 1);
    return;
  }
  CSearchEntry entry;
  events.SetSelectedDeviceAddress(m_searchPage->GetSelectedEntry(&entry) ? entry.address
                                                                         : m_authenticatePage->GetEntry().address);
  events.SetPairingPasscode(passcode);
  StopPairingWatcher();
  // Cleared before the request: an answer that comes before the watcher
  // waits is then still there for it.
  ResetEvent(events.Get(CWizardEvents::PairDone));
  ResetEvent(events.Get(CWizardEvents::PairFailed));
  std::unique_ptr<CPairingWatch> watch(new CPairingWatch{m_hWnd, events.Get(CWizardEvents::PairDone),
                                                         events.Get(CWizardEvents::PairFailed), CHandle()});
  m_watcherStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE copy = nullptr;
  if (!m_watcherStop || !DuplicateHandle(GetCurrentProcess(), m_watcherStop.Get(), GetCurrentProcess(), &copy,
                                         SYNCHRONIZE, FALSE, 0)) {
    ZCLLogMessage(2, nullptr, "Pairwell: the pairing watcher could not be prepared");
    SetButtons(1, 1);
    return;
  }
  watch->stop.Reset(copy);
  SetEvent(events.Get(CWizardEvents::PairRequest));
  if (m_watcher.Create(&PairingWatcher, watch.get()))
    watch.release();
  else
    ZCLLogMessage(2, nullptr, "Pairwell: the pairing watcher did not start");
}

// Joined, never terminated: the watcher ends as soon as its stop event is set.
void CPairwellDlg::StopPairingWatcher() {
  if (m_watcher.GetHandle()) {
    if (m_watcherStop) SetEvent(m_watcherStop.Get());
    if (!m_watcher.WaitFor(kWatcherJoin))
      ZCLLogMessage(2, nullptr, "Pairwell: the pairing watcher did not end; it is left to finish");
    m_watcher.Close();
  }
  m_watcherStop.Reset();
}

LRESULT CPairwellDlg::OnPairingDone(UINT, WPARAM, LPARAM, BOOL&) {
  std::wstring serial;
  if (FindDeviceByAddress(App().Events().SelectedDeviceAddress(), &serial)) {
    // Every operation's data is given back, not only the last one's.
    ConfigurePhoneModem(serial, {kModemConfigRemove, kModemConfigCreate});
  }
  return 0;
}

LRESULT CPairwellDlg::OnPairingFailed(UINT, WPARAM, LPARAM, BOOL&) {
  SetButtons(1, 1);
  ShowWizardMessage(m_hWnd, kPairingFailed);
  return 0;
}

LRESULT CPairwellDlg::OnShowCompletion(UINT, WPARAM, LPARAM, BOOL&) {
  ShowCompletePage();
  return 0;
}

LRESULT CPairwellDlg::OnPairingTimedOut(UINT, WPARAM, LPARAM, BOOL&) {
  SetButtons(1, 0);
  ShowTroubleshoot();
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

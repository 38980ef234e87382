#include <windows.h>
#include <objbase.h>
#include <algorithm>
#include "CPairwellApp.h"
#include "AppFxControls.h"
#include "CPairwellDlg.h"
#include "QorsalDialix.h"
#include "SuiteManufacturer.h"
#include "TrelkBinding.h"
#include "ZCLFrame.h"

namespace {

const wchar_t kMissingComponents[] =
    L"Some of the application components could not be located. Please reinstall Sutrel.";
const DWORD kRuvonApiVersion = 30;

// The main window the activation watcher brings forward; set and cleared on
// the main thread.
HWND volatile g_mainWindow = nullptr;

// How long the activation watcher may take to end once told: it only waits,
// and the window it moves is gone by then.
const DWORD kWatcherJoin = 5000;

// The watcher's own copies of the single-instance event and of its stop
// event, so that neither is closed under it.
struct CActivationWatch {
  CHandle activation;
  CHandle stop;
};

// Runs until the program gives the single-instance event up: an auto-reset
// event, so each set by a second start gives one wake.
DWORD WINAPI ActivationWatcher(LPVOID param) {
  std::unique_ptr<CActivationWatch> watch(static_cast<CActivationWatch*>(param));
  ZCLGuarded(1, ZCL_SITE, [&] {
    const HANDLE waits[] = {watch->stop.Get(), watch->activation.Get()};
    while (WaitForMultipleObjects(ARRAYSIZE(waits), waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      HWND window = g_mainWindow;
      if (!window || !IsWindow(window)) continue;
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetForegroundWindow(window);
      // A troubleshoot window shown meanwhile stays over the wizard.
      PostMessageW(window, WM_RAISE_TROUBLESHOOT, 0, 0);
    }
  });
  return 0;
}

std::wstring ProgramPath() {
  WCHAR path[MAX_PATH] = {0};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

CGdiObject MakeFont(int height, int weight) {
  CHARSETINFO charset = {};
  BYTE set = DEFAULT_CHARSET;
  if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<DWORD_PTR>(GetACP())), &charset, TCI_SRCCODEPAGE))
    set = static_cast<BYTE>(charset.ciCharset);
  return CGdiObject(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, set, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg"));
}

}  // namespace

bool CWizardEvents::Create() {
  for (CHandle& event : m_events) {
    event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return false;
  }
  return true;
}

void CWizardEvents::SetSelectedDeviceAddress(const std::wstring& address) {
  CLockGuard lock(&m_lock);
  m_selectedDeviceAddress = address;
}

std::wstring CWizardEvents::SelectedDeviceAddress() {
  CLockGuard lock(&m_lock);
  return m_selectedDeviceAddress;
}

void CWizardEvents::SetPairingPasscode(const std::wstring& passcode) {
  CLockGuard lock(&m_lock);
  m_pairingPasscode = passcode.substr(0, kPasscodeLimit);
}

std::wstring CWizardEvents::PairingPasscode() {
  CLockGuard lock(&m_lock);
  return m_pairingPasscode;
}

CPairwellApp::CPairwellApp() : m_com(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
  m_pszAppName = L"Pairwell";
  m_suiteKey = SuiteKey(SuiteManufacturer());
  WCHAR langId[CRTLHelper::kCapacity] = {0};
  CRTLHelper::GetLangID(HKEY_LOCAL_MACHINE, m_suiteKey.c_str(), L"Current Language", langId, CRTLHelper::kCapacity);
  m_rightToLeft = CRTLHelper(langId).IsRTL();
  SutrelInitializeWER();
  m_launchAtEnd = TRUE;
}

CPairwellApp::~CPairwellApp() {
  g_mainWindow = nullptr;
  Finish();
  if (SUCCEEDED(m_com)) CoUninitialize();
}

void CPairwellApp::SetMainWindow(HWND window) {
  m_hMainWnd = window;
  g_mainWindow = window;
}

CPairwellApp* CPairwellApp::Get() { return static_cast<CPairwellApp*>(AppFxGetApp()); }

std::wstring CPairwellApp::ActivationEventName(const std::wstring& programPath, bool bluetoothMode) {
  std::wstring name = programPath + (bluetoothMode ? L" btmode" : L"");
  name.erase(std::remove(name.begin(), name.end(), L'\\'), name.end());
  if (!name.empty()) CharLowerBuffW(&name[0], static_cast<DWORD>(name.size()));
  return name;
}

// A second start of the same mode sets the running one's event (a pulse is
// lost while its watcher is not waiting) and ends.
bool CPairwellApp::TakeSingleInstance(bool bluetoothMode) {
  std::wstring name = ActivationEventName(ProgramPath(), bluetoothMode);
  m_activation.Reset(CreateEventW(nullptr, FALSE, FALSE, name.c_str()));
  if (!m_activation) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    SetEvent(m_activation.Get());
    return false;
  }
  std::unique_ptr<CActivationWatch> watch(new CActivationWatch);
  m_watcherStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!m_watcherStop ||
      !DuplicateHandle(GetCurrentProcess(), m_activation.Get(), GetCurrentProcess(), watch->activation.Put(),
                       SYNCHRONIZE, FALSE, 0) ||
      !DuplicateHandle(GetCurrentProcess(), m_watcherStop.Get(), GetCurrentProcess(), watch->stop.Put(),
                       SYNCHRONIZE, FALSE, 0))
    return true;
  m_watcher.Reset(CreateThread(nullptr, 0, ActivationWatcher, watch.get(), 0, nullptr));
  if (m_watcher) watch.release();  // the watcher owns it now
  return true;
}

// The name goes with the last handle of the event, the watcher's own copy
// among them.
void CPairwellApp::ReleaseSingleInstance() {
  g_mainWindow = nullptr;
  if (m_watcher) {
    SetEvent(m_watcherStop.Get());
    if (WaitForSingleObject(m_watcher.Get(), kWatcherJoin) != WAIT_OBJECT_0)
      ZCLLogMessage(2, nullptr, "Pairwell: the activation watcher did not end; a new start may not show");
    m_watcher.Reset();
  }
  m_watcherStop.Reset();
  m_activation.Reset();
}

void CPairwellApp::CreateFonts() {
  m_titleFont = MakeFont(16, FW_BOLD);
  m_boldFont = MakeFont(14, FW_BOLD);
  m_textFont = MakeFont(14, FW_NORMAL);
}

void CPairwellApp::DeleteFonts() {
  m_titleFont.Reset();
  m_boldFont.Reset();
  m_textFont.Reset();
}

// Step 8: the skin set, shared by every page, and the skinned message box.
void CPairwellApp::BuildSkins() {
  HINSTANCE skin = GetSkinModule();
  CXeluLib::Init(m_hInstance, skin);
  // Normal, hot, pressed and disabled: three bitmaps and a text colour each.
  const UINT firsts[XELU_STATE_COUNT] = {3002, 3008, 3005, 3011};
  for (int state = 0; state < XELU_STATE_COUNT; ++state)
    m_skins.button.SetState(state, firsts[state], firsts[state] + 1, firsts[state] + 2,
                            SutrelLoadColor(skin, 601 + state));
  CXeluButtonSkin::SetDefaultSkinDef(m_skins.button);
  CXeluBarStaticSkin::SetDefaultSkinDef(m_skins.bar);
  if (m_rightToLeft) {
    XELU_BITMAP banner = {};
    if (CXeluResourceManager::LoadBitmapW(&banner, skin, 3060, L"PNG")) {
      m_skins.mirroredBanner = banner;
      m_skins.mirroredBanner.hBitmap = CXeluBitmap::Mirror(banner.hBitmap);
      CXeluResourceManager::UnloadBitmap(&banner);
    }
  }
  m_messageBox.SetButtonCaptions(GetLanguageModuleHandle(), 5009, 5010, 5011, 5012);
  m_messageBox.SetBackgroundSkin(m_skins.messageBackground);
  m_messageBox.SetButtonSkin(m_skins.button);
  m_messageBox.SetTextColor(SutrelLoadColor(skin, 600));
}

void CPairwellApp::BringToFront() {
  if (m_activation) SetEvent(m_activation.Get());
}

bool CPairwellApp::Prepare() {
  // Steps 1 to 3: the suite's key and the resource modules.
  m_suiteKey = SuiteKey(SuiteManufacturer());
  m_locator.Initialise(m_hInstance, m_suiteKey, L"Pairwell");
  if (!m_locator.LoadModules()) {
    if (!m_locator.GetLanguageModule())
      MessageBox(kMissingComponents, MB_OK | MB_ICONERROR);
    else
      MessageBox(GetLanguageString(IDS_NO_SKIN).c_str(), MB_OK | MB_ICONERROR);
    return false;
  }
  // Step 4.
  if (m_rightToLeft) {
    SetProcessDefaultLayout(LAYOUT_RTL);
    CXeluLib::m_dwLayout = 1;
  }
  // Steps 5 and 6.
  if (m_lpCmdLine && *m_lpCmdLine) m_commandLine = ParsePairwellCommandLine(m_lpCmdLine);
  m_launchAtEnd = m_commandLine.launchAtEnd;
  if (!TakeSingleInstance(!m_commandLine.guid.empty())) return false;
  // Step 7; help is initialised here and uninitialised by Finish.
  m_help.path = GetInstallFolder() + L"\\Help\\Dialix_" + GetLanguageCode() + L".chm";
  m_help.present = GetFileAttributesW(m_help.path.c_str()) != INVALID_FILE_ATTRIBUTES;
  m_helpInitialized = AppFxHtmlHelpInitialize();
  // Steps 8 to 11.
  BuildSkins();
  CreateFonts();
  Trelk::RUVONBinding().SetReadOptions(false);
  DWORD bound = RUVON_Initialize(kRuvonApiVersion, 0);
  m_bound = bound == 0;
  if (!m_bound) ZCLLogMessage(2, nullptr, "Pairwell: device management not bound: 0x%08lX", bound);
  m_media.reset(new CMediaUtility(true));
  m_media->SetTextSource([](UINT id) { return Get()->GetLanguageString(id); });
  if (!m_media->Initialize()) ZCLLogMessage(2, nullptr, "Pairwell: the media utility did not start");
  return m_events.Create();
}

// The ending, in this order: a new start gets a window of its own from the
// moment this one's has gone; the search worker leaves the library (or the
// process ends under it) before the library's handles close and it is
// terminated.
void CPairwellApp::Finish() {
  ReleaseSingleInstance();
  SetMainWindow(nullptr);
  m_searchWorker.StopOrEndProcess();
  DeleteFonts();
  m_media.reset();
  if (m_bound) RUVON_Terminate(0);
  m_bound = false;
  if (m_skins.mirroredBanner.hBitmap) DeleteObject(m_skins.mirroredBanner.hBitmap);
  m_skins.mirroredBanner = XELU_BITMAP();
  if (m_helpInitialized) AppFxHtmlHelpUninitialize();
  m_helpInitialized = false;
}

BOOL CPairwellApp::InitInstance() {
  ZCLGuarded(1, ZCL_SITE, [&] {
    if (!Prepare()) {
      Finish();
      return;
    }
    // Steps 12 and 13.
    {
      CPairwellDlg dialog;
      if (!m_commandLine.guid.empty())
        dialog.SetBluetoothMode(m_commandLine.guid);
      else if (!m_commandLine.deviceId.empty())
        dialog.SetSupportDevice(m_commandLine.deviceId);
      dialog.DoModal();
      ReleaseSingleInstance();  // the window has gone, whatever the dialog's destruction takes
    }
    Finish();
  });
  return FALSE;
}

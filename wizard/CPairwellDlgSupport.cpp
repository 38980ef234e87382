#include <windows.h>
#include "CPairwellDlg.h"
#include "CDeviceManagement.h"
#include "CPairwellApp.h"
#include "CSearchPhonePage.h"
#include "CSupportInstallPage.h"
#include "CTroubleshootDlg.h"
#include "SupportInstall.h"
#include "SutrelSupportSetup.h"
#include "TrelkApi.h"
#include "WizardMessage.h"
#include "ZCLLogger.h"

// The wizard's connected phones: found by media or Bluetooth address, checked
// for the support software they need, and the wait for that answer before the
// support or completion page.

namespace {

const DWORD kSupportPoll = 10;
const UINT kModemCableWarning = 5205;

}  // namespace

// --- Finding connected phones.

bool CPairwellDlg::FindDeviceByMedia(DWORD media, CMediaDevice* device) {
  std::vector<CMediaDevice> devices;
  CPairwellApp::Get()->MediaUtility().CopyDeviceList(&devices);
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
  CPairwellApp::Get()->MediaUtility().CopyDeviceList(&devices);
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
  CPairwellApp& app = *CPairwellApp::Get();
  app.MediaUtility().CableDetector().Stop();
  app.m_busy = FALSE;
  m_troubleshoot->Hide();

  CDeviceManagement manager;
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
  CPairwellApp& app = *CPairwellApp::Get();
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

LRESULT CPairwellDlg::OnShowCompletion(UINT, WPARAM, LPARAM, BOOL&) {
  ShowCompletePage();
  return 0;
}

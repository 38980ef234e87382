#include <windows.h>
#include "CPairwellDlg.h"
#include "CAuthenticatePage.h"
#include "CDeviceManagement.h"
#include "CPairwellApp.h"
#include "CSearchPhonePage.h"
#include "SupportInstall.h"
#include "TrelkApi.h"
#include "WizardMessage.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

// The wizard's pairing with a Bluetooth phone: the request to the search
// worker, the watcher that waits for its answer, and what follows the answer.

namespace {

const DWORD kPairingWait = 180000;
// The watcher only waits on events and posts, so it ends at once when told.
const DWORD kWatcherJoin = 5000;
const DWORD kTrustWithoutPasscode = 1024;

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

// --- Pairing.

bool CPairwellDlg::MakeTrusted(const std::wstring& address) {
  CDeviceManagement manager;
  return manager.IsOpen() &&
         LNYXChangeDeviceTrustedState(manager.Get(), kTrustWithoutPasscode, address.c_str(), nullptr, nullptr) == 0;
}

void CPairwellDlg::StartPairing() {
  CWizardEvents& events = CPairwellApp::Get()->Events();
  std::wstring passcode = m_authenticatePage->GetPasscode().substr(0, CWizardEvents::kPasscodeLimit);
  SetButtons(0, 0);
  if (passcode.empty()) {
    ShowWizardMessage(m_hWnd, kPairingFailedText);
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
  // The page changes when the phone arrives; Back leads out should it never
  // come (unless it came already and the support check has begun).
  if (m_state == kAuthenticate && !m_checkingSupport) SetButtons(1, 0);
  std::wstring serial;
  if (FindDeviceByAddress(CPairwellApp::Get()->Events().SelectedDeviceAddress(), &serial)) {
    // Every operation's data is given back, not only the last one's.
    ConfigurePhoneModem(serial, {kModemConfigRemove, kModemConfigCreate});
  }
  return 0;
}

LRESULT CPairwellDlg::OnPairingFailed(UINT, WPARAM, LPARAM, BOOL&) {
  SetButtons(1, 1);
  ShowWizardMessage(m_hWnd, kPairingFailedText);
  return 0;
}


LRESULT CPairwellDlg::OnPairingTimedOut(UINT, WPARAM, LPARAM, BOOL&) {
  SetButtons(1, 0);
  ShowTroubleshoot();
  return 0;
}

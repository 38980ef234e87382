#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "BenchPhone.h"
#include "BenchSupport.h"
#include "CLockable.h"
#include "CRecordingCallback.h"
#include "ComTL.h"
#include "PhoneCalls.h"
#include "PhoneWorld.h"
#include "SZembra.h"
#include "ProcessProbe.h"
#include "WindowProbe.h"
#include "ZCLHandle.h"
#include "ZCLText.h"
#include "ZCLWait.h"

// Time from a call ringing in on the simulated phone to the service's
// "Orvex Dialix - Incoming call" window being visible, over a number of
// rings, beside its baseline in the same rings: the time from the ring to
// this client's incoming-call notification (state 6), the same path without
// the window. The service runs in its own process with the call-window
// library registered; bench/ring_window_bench.sh prepares the prefix, the
// display and the registrations, then runs this program as the client that
// starts the service.
//   ring_window_timer [rings] [screenshot.png]

namespace {

const wchar_t kSerial[] = L"RINGBENCH-1";
const wchar_t kNumber[] = L"+358 40 7654321";
const wchar_t kIncomingTitle[] = L"Orvex Dialix - Incoming call";
const wchar_t kServiceProgram[] = L"OrvexDialixService.exe";
const DWORD kPollMs = 2;          // step of the window poll
const double kRingBound = 30.0;   // seconds a ring may take to show (the library's own ready bound)
const DWORD kSettleMs = 20000;    // for a call to end, in the window and at the client
const int kIncoming = 6, kTerminated = 5;

// When this client heard each call state, by the performance counter.
// Written on the service's callback threads, read by the main thread.
class CStateClock {
public:
  void Heard(int state) {
    double now = Now();
    CLockGuard guard(&m_lock);
    m_heard.push_back({state, now});
  }
  // The time of the n-th (1-based) notification of the state; 0 until heard.
  double Time(int state, int n) {
    CLockGuard guard(&m_lock);
    for (const auto& heard : m_heard)
      if (heard.first == state && --n == 0) return heard.second;
    return 0;
  }

private:
  CLockable m_lock;
  std::vector<std::pair<int, double>> m_heard;
};

DWORD ServicePid() {
  std::vector<DWORD> ids = ProcessesNamed(kServiceProgram);
  return ids.empty() ? 0 : ids.front();
}

HWND IncomingWindow(DWORD pid) {
  std::vector<HWND> found = WindowProbe::DialogsTitled(kIncomingTitle, pid);
  return found.empty() ? nullptr : found.front();
}

void PrintFigures(const char* label, const std::vector<double>& values) {
  if (values.empty()) {
    printf("%-34s none\n", label);
    return;
  }
  printf("%-34s median %8.1f ms  min %8.1f ms  max %8.1f ms  (%zu rings)\n", label, Median(values) * 1000,
         *std::min_element(values.begin(), values.end()) * 1000,
         *std::max_element(values.begin(), values.end()) * 1000, values.size());
}

struct Ring {
  double window = -1;    // seconds from the ring to the visible window; -1 when not seen
  double baseline = -1;  // seconds from the ring to the client's state 6; -1 when not heard
  bool newWindow = false;
};

class CRingBench {
public:
  explicit CRingBench(int rings) : m_rings(rings) {}

  int Run(const std::wstring& screenshot) {
    if (!Connect() || !PlugPhone()) return Finish();
    m_pid = ServicePid();
    Check(m_pid != 0, "the service process is not running");
    if (m_pid == 0) return Finish();
    printf("service process %lu; polling its windows every %lu ms\n", static_cast<unsigned long>(m_pid),
           static_cast<unsigned long>(kPollMs));
    for (int i = 1; i <= m_rings; ++i) {
      Ring ring = RingOnce(i);
      if (i == 1 && !screenshot.empty() && ring.window >= 0)
        Check(WindowProbe::SaveScreen(screenshot), "the screenshot could not be saved");
      if (!EndCall(i)) break;
      m_results.push_back(ring);
    }
    Report();
    return Finish();
  }

private:
  bool Connect() {
    CRecordingCallback* recorder = nullptr;
    m_callback = CRecordingCallback::Create(&recorder);
    m_recorder = recorder;
    CStateClock* clock = &m_clock;
    m_recorder->m_inside = [clock](const CallbackCall& call) {
      if (call.method == "Notification" && call.kind == IID_ICallNotification) clock->Heard(call.state);
    };
    HRESULT hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                                    reinterpret_cast<void**>(&m_zembra));
    if (SUCCEEDED(hr)) hr = m_zembra->Connect(m_callback);
    if (FAILED(hr)) {
      printf("FAILED: the service could not be created or connected: 0x%08lX\n", static_cast<unsigned long>(hr));
      ++g_failures;
      return false;
    }
    if (!m_recorder->WaitFor("ConnectCompleted", 1, 30000)) {
      Check(false, "the service did not complete the connection");
      return false;
    }
    m_clientId = m_recorder->Last("ConnectCompleted").clientId;
    CComBSTR id(m_clientId.c_str());
    hr = m_zembra->SubscribeNotification(id, IID_ICallNotification);
    Check(SUCCEEDED(hr), "the call notifications could not be subscribed");
    return SUCCEEDED(hr);
  }

  // The phone comes up and the service opens its call control (the phone's
  // world counts the call-control handles opened across processes).
  bool PlugPhone() {
    PhoneSim::CPhone phone = FreshBenchPhone(m_world, kSerial, L"Ringing phone");
    if (!m_world.PlugPhone(phone)) {
      Check(false, "the phone could not be plugged");
      return false;
    }
    m_plugged = true;
    bool up = ZCLWaitUntil([&] {
      for (const CallbackCall& call : m_recorder->Calls())
        if ((call.method == "NewDevice" || call.method == "DeviceStateChanged") && call.serial == kSerial &&
            call.state == 2)
          return true;
      return false;
    }, 60000);
    Check(up, "the phone did not come up in the service");
    bool callControl = up && ZCLWaitUntil([&] {
      PhoneSim::CPhoneCalls calls = PhoneSim::ReadPhoneCalls(m_world, kSerial);
      return calls.handlesOpened > calls.handlesClosed;
    }, 30000);
    Check(!up || callControl, "the service did not open the phone's call control");
    return up && callControl;
  }

  // Rings, then polls for the window and the client's notification until
  // both are in or the bound has passed.
  Ring RingOnce(int n) {
    Ring ring;
    double start = Now();
    m_callId = PhoneSim::RingPhone(m_world, kSerial, kNumber, L"");
    if (!m_callId) {
      Check(false, "the phone could not ring");
      return ring;
    }
    HWND window = nullptr;
    for (;;) {
      double now = Now();
      if (!window && (window = IncomingWindow(m_pid)) != nullptr) ring.window = Now() - start;
      double heard = m_clock.Time(kIncoming, n);
      if (heard > 0) ring.baseline = heard - start;
      if ((window && heard > 0) || now - start > kRingBound) break;
      ::Sleep(kPollMs);
    }
    if (window) {
      ring.newWindow = std::find(m_windows.begin(), m_windows.end(), window) == m_windows.end();
      if (ring.newWindow) m_windows.push_back(window);
    }
    printf("ring %2d: window %s, %8.1f ms; notification %8.1f ms\n", n,
           !window ? "not seen" : ring.newWindow ? "new    " : "reused ", ring.window * 1000, ring.baseline * 1000);
    Check(window != nullptr, "the incoming-call window did not show");
    Check(ring.baseline >= 0, "the client did not hear the incoming call");
    return ring;
  }

  // The far side hangs up; the window leaves its incoming view (closed, or
  // showing the missed call) and the client hears the end, so the next ring
  // starts from an idle service.
  bool EndCall(int n) {
    if (m_callId && !PhoneSim::HangUpFarSide(m_world, kSerial, m_callId, 0)) {
      Check(false, "the far side could not hang up");
      return false;
    }
    bool settled = ZCLWaitUntil([&] { return !IncomingWindow(m_pid) && m_clock.Time(kTerminated, n) > 0; },
                                kSettleMs, kPollMs);
    Check(settled, "the call did not end in the window and at the client");
    return settled;
  }

  void Report() {
    std::vector<double> window, baseline, opened, reused;
    int newWindows = 0;
    for (const Ring& ring : m_results) {
      if (ring.window >= 0) {
        window.push_back(ring.window);
        (ring.newWindow ? opened : reused).push_back(ring.window);
      }
      if (ring.baseline >= 0) baseline.push_back(ring.baseline);
      newWindows += ring.newWindow;
    }
    printf("\n%zu rings; the window was opened by %d and reused (the idle call window) by %zu\n", m_results.size(),
           newWindows, m_results.size() - newWindows);
    PrintFigures("ring -> visible window:", window);
    PrintFigures("  rings that opened a window:", opened);
    PrintFigures("  rings that reused the window:", reused);
    PrintFigures("ring -> client state 6 (baseline):", baseline);
    if (!window.empty() && !baseline.empty() && Median(baseline) > 0)
      printf("ratio window / baseline (medians): %.2f\n", Median(window) / Median(baseline));
  }

  // Disconnects and releases the service, lets it end, and takes the phone
  // away again. Returns the run's exit code.
  int Finish() {
    if (m_plugged) m_world.UnplugPhone(kSerial);
    if (m_zembra && !m_clientId.empty()) {
      CComBSTR id(m_clientId.c_str());
      m_zembra->Disconnect(id);
      m_recorder->WaitFor("DisconnectCompleted", 1, 20000);
    }
    m_zembra.Release();
    m_callback.Release();
    DWORD pid = m_pid ? m_pid : ServicePid();
    CHandle service(pid ? ::OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
    if (service)
      Check(::WaitForSingleObject(service.Get(), 60000) == WAIT_OBJECT_0, "the service did not end");
    return g_failures ? 1 : 0;
  }

  const int m_rings;
  PhoneSim::CPhoneWorld m_world;
  CComPtr<IZembra> m_zembra;
  CComPtr<IZembraCallback> m_callback;
  CRecordingCallback* m_recorder = nullptr;  // owned by m_callback
  std::wstring m_clientId;
  CStateClock m_clock;
  bool m_plugged = false;
  DWORD m_pid = 0;
  DWORD m_callId = 0;
  std::vector<HWND> m_windows;  // every incoming-call window seen, to tell a new one from a reused one
  std::vector<Ring> m_results;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  int rings = argc > 1 ? _wtoi(argv[1]) : 20;
  if (rings < 1) rings = 20;
  // Free-threaded: the service's notifications arrive while the main thread polls.
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status;
  {
    CRingBench bench(rings);
    status = bench.Run(argc > 2 ? argv[2] : L"");
  }
  ::CoUninitialize();
  return status;
}

#include <windows.h>
#include "CDeviceSearch.h"
#include "CMediaUtility.h"
#include "CPairwellApp.h"
#include "ComApartment.h"
#include "ZCLFrame.h"
#include "ZCLThreadName.h"

namespace {

CLockable& ProgressLock() {
  static CLockable* lock = new CLockable();
  return *lock;
}
HANDLE g_cancelEvent = nullptr;                // guarded by ProgressLock
std::shared_ptr<ISearchProgressSink> g_sink;  // guarded by ProgressLock

bool IsSignalled(HANDLE event) { return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Entries of the first search are phones; a device the second search also
// found is kept once, as the phone, and in a short search the second
// search's pairing state wins.
void Merge(DWORD mode, CSearchList* first, CSearchList* second) {
  for (CSearchEntry& entry : *first) entry.isPhone = 1;
  for (CSearchEntry& entry : *second) {
    entry.isPhone = 0;
    CSearchEntry* same = nullptr;
    for (CSearchEntry& phone : *first)
      if (!entry.address.empty() && phone.address == entry.address) same = &phone;
    if (!same) {
      first->push_back(entry);
    } else if (mode == kSearchShort) {
      same->paired = entry.paired;
      same->trusted = entry.trusted;
    }
  }
}

// Phones grouped (1,1), (0,1), (1,0), (0,0) by (paired, trusted), each group
// newest first; then the other devices in the same grouping, in order of
// discovery.
CSearchList Order(const CSearchList& merged) {
  struct Pass {
    DWORD paired, trusted;
  };
  const Pass phonePasses[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const Pass otherPasses[] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
  CSearchList ordered;
  for (const Pass& pass : phonePasses)
    for (const CSearchEntry& entry : merged)
      if (entry.isPhone && entry.paired == pass.paired && entry.trusted == pass.trusted)
        ordered.insert(ordered.begin(), entry);
  for (const Pass& pass : otherPasses)
    for (const CSearchEntry& entry : merged)
      if (!entry.isPhone && entry.paired == pass.paired && entry.trusted == pass.trusted) ordered.push_back(entry);
  return ordered;
}

bool IsMediumMissing(DWORD result) { return result == ELNYX_MEDIA_IS_NOT_WORKING || result == ELNYX_MEDIA_IS_NOT_ACTIVE; }

}  // namespace

void CSearchProgress::SetCancelEvent(HANDLE cancel) {
  CLockGuard lock(&ProgressLock());
  g_cancelEvent = cancel;
}

void CSearchProgress::SetSink(std::shared_ptr<ISearchProgressSink> sink) {
  CLockGuard lock(&ProgressLock());
  g_sink = std::move(sink);
}

DWORD CALLBACK CSearchProgress::Callback(DWORD progress, DWORD found) {
  DWORD answer = 0;
  ZCLGuarded(2, ZCL_SITE, [&] {
    HANDLE cancel = nullptr;
    std::shared_ptr<ISearchProgressSink> sink;
    {
      CLockGuard lock(&ProgressLock());
      cancel = g_cancelEvent;
      sink = g_sink;
    }
    if (IsSignalled(cancel)) {
      ResetEvent(cancel);
      answer = ELNYX_CANCELLED;
      return;
    }
    if (progress <= 100 && sink) sink->OnSearchProgress(progress, found);
  });
  return answer;
}

void CSearchResults::Assign(const CSearchList& list) {
  CSearchList copy = list;
  CLockGuard lock(&m_lock);
  m_list.swap(copy);
}

CSearchList CSearchResults::Copy() const {
  CLockGuard lock(&m_lock);
  return m_list;
}

DWORD SearchDevicesProc(ISearchUtility& utility, DWORD mode, CSearchResults& results) {
  results.Assign(CSearchList());
  CSearchList first, second;
  DWORD result = 0;
  bool cancelled = false;
  auto search = [&](DWORD options, CSearchList* into) {
    return utility.SearchAvailableDevices(options, kSearchTimeout, into, &CSearchProgress::Callback);
  };
  if (mode == kSearchShort) {
    result = search(kSearchSeenPhones, &first);
    cancelled = result == ELNYX_CANCELLED;
  }
  if ((mode == kSearchShort && result != 0 && !cancelled) || mode == kSearchFull) {
    first.clear();
    result = search(kSearchPhones, &first);
    cancelled = result == ELNYX_CANCELLED;
  }
  if (!cancelled) {
    DWORD all = search(kSearchAllDevices, &second);
    // A cancel of this search is the user's too: it must not end as done.
    if (all == ELNYX_CANCELLED || static_cast<LONG>(all) >= 0) result = all;
  }
  Merge(mode, &first, &second);
  results.Assign(Order(first));
  return result;
}

// The flags say that a request is being served: the worker resets a request
// event on waking, so the event alone does not tell the pages.
struct CDeviceSearchWorker::CState {
  CState(CWizardEvents& e, CSearchResults& r, UtilityFactory f) : events(e), results(r), factory(std::move(f)) {}
  void Run();
  void ServeSearch(ISearchUtility& utility);
  void ServeShortSearch(ISearchUtility& utility);
  void ServeTrustChange(ISearchUtility& utility, CWizardEvents::Id request, DWORD options);
  void Answer(CWizardEvents::Id id) { SetEvent(events.Get(id)); }

  CWizardEvents& events;    // the application's; outlives the thread
  CSearchResults& results;  // likewise
  UtilityFactory factory;
  volatile LONG searching = 0;
  volatile LONG pairing = 0;
  volatile LONG unpairing = 0;
};

namespace {
// Set before the request is reset, cleared after the answer.
class CInProgress {
public:
  CInProgress(volatile LONG* flag, HANDLE request) : m_flag(flag) {
    InterlockedExchange(m_flag, 1);
    ResetEvent(request);
  }
  ~CInProgress() { InterlockedExchange(m_flag, 0); }

private:
  CInProgress(const CInProgress&) = delete;
  CInProgress& operator=(const CInProgress&) = delete;
  volatile LONG* m_flag;
};

bool IsSet(const volatile LONG* flag) { return InterlockedCompareExchange(const_cast<volatile LONG*>(flag), 0, 0) != 0; }
}  // namespace

void CDeviceSearchWorker::CState::ServeSearch(ISearchUtility& utility) {
  CInProgress busy(&searching, events.Get(CWizardEvents::SearchRequest));
  DWORD result = 0;
  ZCLGuarded(2, ZCL_SITE, [&] {
    if (!utility.HasPluginList()) {
      utility.LoadPlugins();
      utility.EnsurePluginEnabled();
    }
    result = SearchDevicesProc(utility, kSearchFull, results);
  });
  if (result == ELNYX_CANCELLED) return;
  Answer(IsMediumMissing(result) ? CWizardEvents::SearchFailed : CWizardEvents::SearchDone);
}

void CDeviceSearchWorker::CState::ServeShortSearch(ISearchUtility& utility) {
  CInProgress busy(&searching, events.Get(CWizardEvents::DeviceListRequest));
  DWORD result = 0;
  bool completed = ZCLGuarded(2, ZCL_SITE, [&] { result = SearchDevicesProc(utility, kSearchShort, results); });
  // A cancelled search answers nothing, even with an empty list.
  if (result == ELNYX_CANCELLED) return;
  if (completed && results.Copy().empty())
    SetEvent(events.Get(CWizardEvents::SearchRequest));  // a full search follows at once
  else
    Answer(CWizardEvents::SearchDone);
}

void CDeviceSearchWorker::CState::ServeTrustChange(ISearchUtility& utility, CWizardEvents::Id request, DWORD options) {
  bool pair = request == CWizardEvents::PairRequest;
  CInProgress busy(pair ? &pairing : &unpairing, events.Get(request));
  DWORD result = ELNYX_UNKNOWN_ERROR;
  ZCLGuarded(2, ZCL_SITE, [&] {
    std::wstring address = events.SelectedDeviceAddress();
    std::wstring passcode = events.PairingPasscode();
    result = utility.ChangeDeviceTrustedState(options, address.c_str(), passcode.c_str());
  });
  if (pair)
    Answer(result == 0 ? CWizardEvents::PairDone : CWizardEvents::PairFailed);
  else
    Answer(result == 0 ? CWizardEvents::UnpairDone : CWizardEvents::UnpairFailed);
}

void CDeviceSearchWorker::CState::Run() {
  CComApartment com(COINIT_MULTITHREADED);
  std::unique_ptr<ISearchUtility> utility;
  ZCLGuarded(2, ZCL_SITE, [&] {
    utility = factory ? factory() : std::unique_ptr<ISearchUtility>(new CMediaUtility(false));
    if (!utility->Initialize()) ZCLLogMessage(2, nullptr, "The search worker's media utility is not initialised");
  });
  if (!utility) return;
  // In the order the requests are served when several are raised.
  const HANDLE requests[] = {events.Get(CWizardEvents::SearchRequest), events.Get(CWizardEvents::UnpairRequest),
                             events.Get(CWizardEvents::PairRequest), events.Get(CWizardEvents::SearchThreadQuit),
                             events.Get(CWizardEvents::DeviceListRequest)};
  for (;;) {
    // The quit request ends this wait; Stop raises it.
    DWORD wait = WaitForMultipleObjects(ARRAYSIZE(requests), requests, FALSE, INFINITE);
    // Quitting goes before the requests raised with it: a pairing left behind
    // by a closing wizard is not started, and cannot be cancelled once it is.
    if (wait == WAIT_FAILED || IsSignalled(events.Get(CWizardEvents::SearchThreadQuit))) return;
    switch (wait) {
      case WAIT_OBJECT_0:
        ServeSearch(*utility);
        break;
      case WAIT_OBJECT_0 + 1:
        ServeTrustChange(*utility, CWizardEvents::UnpairRequest, kTrustUnpair);
        break;
      case WAIT_OBJECT_0 + 2:
        ServeTrustChange(*utility, CWizardEvents::PairRequest, kTrustPair);
        break;
      case WAIT_OBJECT_0 + 4:
        ServeShortSearch(*utility);
        break;
      default:
        return;  // the quit request, or a failed wait
    }
  }
}

CDeviceSearchWorker::CDeviceSearchWorker(CWizardEvents& events, CSearchResults& results, UtilityFactory factory)
    : m_state(std::make_shared<CState>(events, results, std::move(factory))) {}

// The events and the results go right after the worker.
CDeviceSearchWorker::~CDeviceSearchWorker() { StopOrEndProcess(); }

DWORD WINAPI CDeviceSearchWorker::ThreadProc(LPVOID param) {
  std::unique_ptr<std::shared_ptr<CState>> state(static_cast<std::shared_ptr<CState>*>(param));
  ZCLGuarded(2, ZCL_SITE, [&] {
    ZCLSetThreadName(static_cast<DWORD>(-1), "device search");
    (*state)->Run();
  });
  return 0;
}

bool CDeviceSearchWorker::Start() {
  if (m_started) return false;
  CSearchProgress::SetCancelEvent(m_state->events.Get(CWizardEvents::SearchCancel));
  std::unique_ptr<std::shared_ptr<CState>> param(new std::shared_ptr<CState>(m_state));
  m_thread.Reset(CreateThread(nullptr, 0, &CDeviceSearchWorker::ThreadProc, param.get(), 0, nullptr));
  if (!m_thread) return false;
  param.release();
  m_started = true;
  return true;
}

bool CDeviceSearchWorker::Stop(DWORD milliseconds) {
  if (!m_thread) return true;
  SetEvent(m_state->events.Get(CWizardEvents::SearchThreadQuit));
  SetEvent(m_state->events.Get(CWizardEvents::SearchCancel));
  if (WaitForSingleObject(m_thread.Get(), milliseconds) != WAIT_OBJECT_0) {
    ZCLLogMessage(2, nullptr, "The search worker did not end in %lu ms", milliseconds);
    return false;
  }
  m_thread.Reset();
  CSearchProgress::SetCancelEvent(nullptr);
  return true;
}

// Ending the process is the one safe way out: the thread is inside the
// library, which must not be terminated or unloaded under it, and uses
// events and results whose owner is going.
void CDeviceSearchWorker::StopOrEndProcess(DWORD milliseconds) {
  if (Stop(milliseconds)) return;
  ZCLLogMessage(1, nullptr, "The search worker is still inside the library; the process ends");
  TerminateProcess(GetCurrentProcess(), kWorkerStuckExitCode);
}

bool CDeviceSearchWorker::IsSearchPending() const {
  return IsSignalled(m_state->events.Get(CWizardEvents::SearchRequest)) ||
         IsSignalled(m_state->events.Get(CWizardEvents::DeviceListRequest)) || IsSet(&m_state->searching);
}

bool CDeviceSearchWorker::IsPairPending() const {
  return IsSignalled(m_state->events.Get(CWizardEvents::PairRequest)) || IsSet(&m_state->pairing);
}

bool CDeviceSearchWorker::IsUnpairPending() const {
  return IsSignalled(m_state->events.Get(CWizardEvents::UnpairRequest)) || IsSet(&m_state->unpairing);
}

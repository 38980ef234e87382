#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "CLockable.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"

class CWizardEvents;

// One device the search found, as the search page lists it.
struct CSearchEntry {
  DWORD id = 0;
  DWORD medium = 0;
  DWORD isPhone = 0;   // found by the phones' search
  std::wstring name;   // the address when the device has no name
  std::wstring address;
  DWORD paired = 0;    // 0 or 1
  DWORD trusted = 0;   // 0 or 1
};
typedef std::vector<CSearchEntry> CSearchList;

// Search modes of SearchDevicesProc and options of the library's search.
const DWORD kSearchFull = 0;
const DWORD kSearchShort = 0x1000;
// The phones the radio already sees, without a new inquiry.
const DWORD kSearchSeenPhones = 0x3008;
const DWORD kSearchPhones = 0x2008;
const DWORD kSearchAllDevices = 0x4008;
const DWORD kSearchTimeout = 240;
// Trust-change options.
const DWORD kTrustUnpair = 0xA00;
const DWORD kTrustPair = 0x500;

// What the search worker asks of a media utility: CMediaUtility, or a
// scripted one in tests. Used on the worker's thread only.
class ISearchUtility {
public:
  virtual ~ISearchUtility() = default;
  virtual bool Initialize() = 0;
  virtual bool HasPluginList() const = 0;
  virtual void LoadPlugins() = 0;
  virtual bool EnsurePluginEnabled() = 0;
  virtual DWORD SearchAvailableDevices(DWORD options, DWORD timeout, CSearchList* list,
                                       LNYX_SEARCH_PROGRESS progress) = 0;
  virtual DWORD ChangeDeviceTrustedState(DWORD options, const wchar_t* device, const wchar_t* passcode) = 0;
};

// Told how far the running search is; called on the search worker's thread
// (the search page posts it on to its bar).
class ISearchProgressSink {
public:
  virtual ~ISearchProgressSink() = default;
  virtual void OnSearchProgress(DWORD percent, DWORD found) = 0;
};

// The library's progress callback carries no context: the cancel event and
// the page's sink are the process's. Any thread may set them; the sink is
// called outside the lock, and a sink replaced meanwhile lives on until its
// last report returns.
class CSearchProgress {
public:
  static void SetCancelEvent(HANDLE cancel);
  static void SetSink(std::shared_ptr<ISearchProgressSink> sink);
  // A signalled cancel event is reset and answers 0x80100020; reports above
  // 100 are not passed on.
  static DWORD CALLBACK Callback(DWORD progress, DWORD found);
};

// The search result list the page reads. Written by the search worker; any
// thread may copy it.
class CSearchResults {
public:
  void Assign(const CSearchList& list);
  CSearchList Copy() const;

private:
  mutable CLockable m_lock;
  CSearchList m_list;
};

// Runs the library's searches for a mode (kSearchFull or kSearchShort; any
// other runs the all-devices search only), merges and orders their entries
// into the results; returns the result of the search that decided it.
DWORD SearchDevicesProc(ISearchUtility& utility, DWORD mode, CSearchResults& results);

// Serves the pages' search, pairing and unpairing requests on a thread of
// its own, with a media utility of its own, one request at a time.
// Started and stopped on the main thread; the "requested or in progress"
// questions may be asked from any thread.
class CDeviceSearchWorker {
public:
  typedef std::function<std::unique_ptr<ISearchUtility>()> UtilityFactory;

  // The default utility is a CMediaUtility that does not register for the
  // library's notifications (the application's does).
  CDeviceSearchWorker(CWizardEvents& events, CSearchResults& results, UtilityFactory factory = UtilityFactory());
  ~CDeviceSearchWorker();

  // Once; false when it runs already or cannot be started.
  bool Start();
  // Raises the quit request (and cancels a running search), then joins the
  // thread for at most the given time; false when it still runs (a trust
  // change cannot be cancelled), and then it still uses the events and the
  // results.
  bool Stop(DWORD milliseconds = kStopMilliseconds);
  // Stop; a thread still running after it ends the process here, so that
  // nothing it uses is freed or terminated under it.
  void StopOrEndProcess(DWORD milliseconds = kStopMilliseconds);

  static const DWORD kStopMilliseconds = 10000;
  // The exit code of a process ended under a worker that did not stop.
  static const UINT kWorkerStuckExitCode = ERROR_TIMEOUT;

  bool IsSearchPending() const;
  bool IsPairPending() const;
  bool IsUnpairPending() const;

private:
  struct CState;
  CDeviceSearchWorker(const CDeviceSearchWorker&) = delete;
  CDeviceSearchWorker& operator=(const CDeviceSearchWorker&) = delete;
  static DWORD WINAPI ThreadProc(LPVOID param);

  std::shared_ptr<CState> m_state;  // shared with the thread
  CHandle m_thread;                 // kept while the thread runs
  bool m_started = false;
};

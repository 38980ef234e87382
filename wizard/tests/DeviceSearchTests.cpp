#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "CDeviceSearch.h"
#include "CPairwellApp.h"
#include "ZCLWait.h"

// The search procedure and the search worker against a scripted utility:
// which searches run, how their entries merge and order, and which answer
// each request gets.

namespace {

CSearchEntry Entry(const wchar_t* name, DWORD paired, DWORD trusted, const wchar_t* address = nullptr) {
  CSearchEntry e;
  e.name = name;
  e.address = address ? address : std::wstring(L"addr-") + name;
  e.paired = paired;
  e.trusted = trusted;
  e.medium = LNYX_MEDIA_BLUETOOTH;
  return e;
}

std::wstring Names(const CSearchList& list) {
  std::wstring names;
  for (const CSearchEntry& e : list) names += (names.empty() ? L"" : L" ") + e.name + (e.isPhone ? L"*" : L"");
  return names;
}

struct CScripted {
  DWORD result = 0;
  CSearchList found;
};

// Answers each search option with what the test scripted. A held search
// reports progress until it is released or cancelled. Shared with the
// worker's thread: the test reads what it recorded after an answer event.
class CScriptedUtility : public ISearchUtility {
public:
  CScriptedUtility() : entered(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~CScriptedUtility() override {
    if (gone) SetEvent(gone);
  }

  std::map<DWORD, CScripted> script;
  std::vector<DWORD> searches;
  std::vector<std::wstring> trustChanges;
  DWORD trustResult = 0;
  bool hold = false;
  bool holdTrust = false;  // a trust change, which nothing cancels, waits for release
  int pluginLoads = 0;
  CHandle entered, release;
  HANDLE gone = nullptr;  // the test's, set when the worker's thread has let the utility go

  bool Initialize() override { return true; }
  bool HasPluginList() const override { return pluginLoads > 0; }
  void LoadPlugins() override { ++pluginLoads; }
  bool EnsurePluginEnabled() override { return true; }
  DWORD SearchAvailableDevices(DWORD options, DWORD, CSearchList* list, LNYX_SEARCH_PROGRESS progress) override {
    searches.push_back(options);
    SetEvent(entered.Get());
    if (hold) {
      ULONGLONG deadline = GetTickCount64() + 20000;
      while (WaitForSingleObject(release.Get(), 10) == WAIT_TIMEOUT && GetTickCount64() < deadline)
        if (progress(50, 0) == ELNYX_CANCELLED) return ELNYX_CANCELLED;
    }
    const CScripted& scripted = script[options];
    list->insert(list->end(), scripted.found.begin(), scripted.found.end());
    return scripted.result;
  }
  DWORD ChangeDeviceTrustedState(DWORD options, const wchar_t* device, const wchar_t* passcode) override {
    trustChanges.push_back(std::to_wstring(options) + L"|" + device + L"|" + passcode);
    SetEvent(entered.Get());
    if (holdTrust) WaitForSingleObject(release.Get(), 20000);
    return trustResult;
  }
};

TEST(SearchProcedure, PhonesComeGroupedNewestFirstThenTheOtherDevicesInOrderOfDiscovery) {
  CScriptedUtility utility;
  utility.script[kSearchPhones].found = {Entry(L"p00a", 0, 0), Entry(L"p11a", 1, 1), Entry(L"p10", 1, 0),
                                         Entry(L"p01", 0, 1), Entry(L"p11b", 1, 1), Entry(L"p00b", 0, 0)};
  utility.script[kSearchAllDevices].found = {Entry(L"d00a", 0, 0), Entry(L"d10", 1, 0), Entry(L"d11", 1, 1),
                                             Entry(L"d01", 0, 1), Entry(L"d00b", 0, 0)};
  CSearchResults results;
  EXPECT_EQ(SearchDevicesProc(utility, kSearchFull, results), 0u);
  EXPECT_EQ(utility.searches, (std::vector<DWORD>{kSearchPhones, kSearchAllDevices}));
  EXPECT_EQ(Names(results.Copy()), L"p11b* p11a* p01* p10* p00b* p00a* d11 d01 d10 d00a d00b");
}

TEST(SearchProcedure, ADeviceFoundByBothSearchesIsOnePhoneWithTheSecondStateInAShortSearch) {
  for (DWORD mode : {kSearchShort, kSearchFull}) {
    CScriptedUtility utility;
    DWORD first = mode == kSearchShort ? kSearchSeenPhones : kSearchPhones;
    utility.script[first].found = {Entry(L"phone", 1, 0, L"AA")};
    utility.script[kSearchAllDevices].found = {Entry(L"again", 0, 1, L"AA"), Entry(L"headset", 0, 0, L"BB")};
    CSearchResults results;
    EXPECT_EQ(SearchDevicesProc(utility, mode, results), 0u);
    CSearchList list = results.Copy();
    ASSERT_EQ(list.size(), 2u) << mode;
    EXPECT_EQ(list[0].name, L"phone");
    EXPECT_EQ(list[0].isPhone, 1u);
    EXPECT_EQ(list[0].paired, mode == kSearchShort ? 0u : 1u);
    EXPECT_EQ(list[0].trusted, mode == kSearchShort ? 1u : 0u);
    EXPECT_EQ(list[1].name, L"headset");
    EXPECT_EQ(list[1].isPhone, 0u);
  }
}

TEST(SearchProcedure, WhichSearchesRunAndWhichResultDecides) {
  CSearchResults results;
  {  // a cancelled short search runs no other search
    CScriptedUtility utility;
    utility.script[kSearchSeenPhones].result = ELNYX_CANCELLED;
    EXPECT_EQ(SearchDevicesProc(utility, kSearchShort, results), ELNYX_CANCELLED);
    EXPECT_EQ(utility.searches, std::vector<DWORD>{kSearchSeenPhones});
  }
  {  // a failed short search falls back to every phone; its result decides
    CScriptedUtility utility;
    utility.script[kSearchSeenPhones].result = ELNYX_UNKNOWN_ERROR;
    utility.script[kSearchSeenPhones].found = {Entry(L"stale", 1, 1)};
    utility.script[kSearchPhones].found = {Entry(L"fresh", 0, 0)};
    utility.script[kSearchAllDevices].result = ELNYX_MEDIA_IS_NOT_ACTIVE;
    EXPECT_EQ(SearchDevicesProc(utility, kSearchShort, results), 0u);
    EXPECT_EQ(utility.searches, (std::vector<DWORD>{kSearchSeenPhones, kSearchPhones, kSearchAllDevices}));
    EXPECT_EQ(Names(results.Copy()), L"fresh*");
  }
  {  // a second search that succeeds replaces a failed first one
    CScriptedUtility utility;
    utility.script[kSearchPhones].result = ELNYX_MEDIA_IS_NOT_ACTIVE;
    EXPECT_EQ(SearchDevicesProc(utility, kSearchFull, results), 0u);
  }
  {  // a cancel during the second search is a cancel, not a finished search
    CScriptedUtility utility;
    utility.script[kSearchAllDevices].result = ELNYX_CANCELLED;
    EXPECT_EQ(SearchDevicesProc(utility, kSearchFull, results), ELNYX_CANCELLED);
  }
}

class CRecordingProgress : public ISearchProgressSink {
public:
  void OnSearchProgress(DWORD percent, DWORD) override { reports.push_back(percent); }
  std::vector<DWORD> reports;
};

TEST(SearchProgress, ReportsReachTheSinkAndACancelIsAnsweredOnce) {
  CHandle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto sink = std::make_shared<CRecordingProgress>();
  CSearchProgress::SetCancelEvent(cancel.Get());
  CSearchProgress::SetSink(sink);
  EXPECT_EQ(CSearchProgress::Callback(40, 1), 0u);
  EXPECT_EQ(CSearchProgress::Callback(101, 1), 0u);
  EXPECT_EQ(CSearchProgress::Callback(100, 2), 0u);
  SetEvent(cancel.Get());
  EXPECT_EQ(CSearchProgress::Callback(60, 2), ELNYX_CANCELLED);
  EXPECT_EQ(WaitForSingleObject(cancel.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(CSearchProgress::Callback(70, 2), 0u);
  CSearchProgress::SetSink(nullptr);
  CSearchProgress::SetCancelEvent(nullptr);
  EXPECT_EQ(sink->reports, (std::vector<DWORD>{40, 100, 70}));
}

class SearchWorkerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_events.Create());
    m_utility = new CScriptedUtility();
    CScriptedUtility* utility = m_utility;
    m_worker.reset(new CDeviceSearchWorker(m_events, m_results,
                                           [utility] { return std::unique_ptr<ISearchUtility>(utility); }));
    ASSERT_TRUE(m_worker->Start());
    EXPECT_FALSE(m_worker->Start());
  }
  void TearDown() override { EXPECT_TRUE(m_worker->Stop(20000)); }

  HANDLE Event(CWizardEvents::Id id) { return m_events.Get(id); }
  // Which of the answers came within the bound; -1 for none.
  int AnswerOf(std::initializer_list<CWizardEvents::Id> answers) {
    std::vector<HANDLE> handles;
    for (CWizardEvents::Id id : answers) handles.push_back(Event(id));
    DWORD wait = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 20000);
    return wait < WAIT_OBJECT_0 + handles.size() ? static_cast<int>(wait - WAIT_OBJECT_0) : -1;
  }
  bool IsSet(CWizardEvents::Id id) { return WaitForSingleObject(Event(id), 0) == WAIT_OBJECT_0; }

  CWizardEvents m_events;
  CSearchResults m_results;
  CScriptedUtility* m_utility = nullptr;  // owned by the worker's thread
  std::unique_ptr<CDeviceSearchWorker> m_worker;
};

TEST_F(SearchWorkerTest, ASearchStaysPendingAfterItsRequestIsResetUntilACancelEndsItSilently) {
  m_utility->hold = true;
  EXPECT_FALSE(m_worker->IsSearchPending());
  SetEvent(Event(CWizardEvents::SearchRequest));
  ASSERT_EQ(WaitForSingleObject(m_utility->entered.Get(), 20000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsSet(CWizardEvents::SearchRequest));
  EXPECT_TRUE(m_worker->IsSearchPending());
  EXPECT_FALSE(m_worker->IsPairPending());
  SetEvent(Event(CWizardEvents::SearchCancel));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending(); }, 20000));
  EXPECT_FALSE(IsSet(CWizardEvents::SearchDone));
  EXPECT_FALSE(IsSet(CWizardEvents::SearchFailed));
  EXPECT_EQ(m_utility->searches, std::vector<DWORD>{kSearchPhones});
  EXPECT_EQ(m_utility->pluginLoads, 1);
}

TEST_F(SearchWorkerTest, AMissingMediumAnswersSearchFailedAndAFoundPhoneSearchDone) {
  m_utility->script[kSearchPhones].result = ELNYX_MEDIA_IS_NOT_ACTIVE;
  m_utility->script[kSearchAllDevices].result = ELNYX_MEDIA_IS_NOT_ACTIVE;
  SetEvent(Event(CWizardEvents::SearchRequest));
  EXPECT_EQ(AnswerOf({CWizardEvents::SearchFailed, CWizardEvents::SearchDone}), 0);
  ResetEvent(Event(CWizardEvents::SearchFailed));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending(); }, 20000));

  m_utility->script[kSearchPhones] = CScripted();
  m_utility->script[kSearchAllDevices] = CScripted();
  m_utility->script[kSearchSeenPhones].found = {Entry(L"mine", 1, 1)};
  SetEvent(Event(CWizardEvents::DeviceListRequest));
  EXPECT_EQ(AnswerOf({CWizardEvents::SearchFailed, CWizardEvents::SearchDone}), 1);
  EXPECT_EQ(Names(m_results.Copy()), L"mine*");
}

TEST_F(SearchWorkerTest, AnEmptyShortSearchStartsAFullOneButACancelledOneAnswersNothing) {
  SetEvent(Event(CWizardEvents::DeviceListRequest));
  EXPECT_EQ(AnswerOf({CWizardEvents::SearchDone}), 0);
  EXPECT_EQ(m_utility->searches,
            (std::vector<DWORD>{kSearchSeenPhones, kSearchAllDevices, kSearchPhones, kSearchAllDevices}));
  ResetEvent(Event(CWizardEvents::SearchDone));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending(); }, 20000));

  m_utility->searches.clear();
  m_utility->script[kSearchSeenPhones].result = ELNYX_CANCELLED;
  SetEvent(Event(CWizardEvents::DeviceListRequest));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending(); }, 20000));
  EXPECT_FALSE(IsSet(CWizardEvents::SearchDone));
  EXPECT_FALSE(IsSet(CWizardEvents::SearchRequest));
  EXPECT_EQ(m_utility->searches, std::vector<DWORD>{kSearchSeenPhones});
}

TEST_F(SearchWorkerTest, PairingAndUnpairingUseTheSelectedAddressAndPasscode) {
  m_events.SetSelectedDeviceAddress(L"00:11:22:33:44:55");
  m_events.SetPairingPasscode(L"1234");
  SetEvent(Event(CWizardEvents::PairRequest));
  EXPECT_EQ(AnswerOf({CWizardEvents::PairDone, CWizardEvents::PairFailed}), 0);
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsPairPending(); }, 20000));
  m_utility->trustResult = ELNYX_DEVICE_PASSWORD_WRONG;
  SetEvent(Event(CWizardEvents::UnpairRequest));
  EXPECT_EQ(AnswerOf({CWizardEvents::UnpairDone, CWizardEvents::UnpairFailed}), 1);
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsUnpairPending(); }, 20000));
  EXPECT_EQ(m_utility->trustChanges,
            (std::vector<std::wstring>{L"1280|00:11:22:33:44:55|1234", L"2560|00:11:22:33:44:55|1234"}));
}

TEST_F(SearchWorkerTest, QuittingGoesBeforeAPairingRaisedWithIt) {
  m_utility->hold = true;
  SetEvent(Event(CWizardEvents::SearchRequest));
  ASSERT_EQ(WaitForSingleObject(m_utility->entered.Get(), 20000), WAIT_OBJECT_0);
  // The wizard closes with a pairing requested behind the running search.
  SetEvent(Event(CWizardEvents::PairRequest));
  EXPECT_TRUE(m_worker->Stop(20000));
  EXPECT_TRUE(IsSet(CWizardEvents::PairRequest));
  EXPECT_FALSE(IsSet(CWizardEvents::PairDone));
  EXPECT_FALSE(IsSet(CWizardEvents::PairFailed));
}

TEST_F(SearchWorkerTest, AWorkerHeldInTheLibraryIsStillRunningUntilItHasEnded) {
  CHandle gone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  m_utility->gone = gone.Get();
  m_utility->holdTrust = true;
  SetEvent(Event(CWizardEvents::PairRequest));
  ASSERT_EQ(WaitForSingleObject(m_utility->entered.Get(), 20000), WAIT_OBJECT_0);
  // A pairing is not cancelled: every bounded stop meanwhile says so.
  EXPECT_FALSE(m_worker->Stop(50));
  EXPECT_FALSE(m_worker->Stop(50));
  SetEvent(m_utility->release.Get());
  EXPECT_TRUE(m_worker->Stop(20000));
  EXPECT_EQ(WaitForSingleObject(gone.Get(), 0), WAIT_OBJECT_0);
}

}  // namespace

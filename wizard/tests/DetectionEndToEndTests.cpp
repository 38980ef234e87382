#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "CDeviceSearch.h"
#include "CMediaUtility.h"
#include "CPairwellApp.h"
#include "PhoneWorldMedia.h"
#include "PhoneWorldRadio.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLWait.h"

// Phone detection end to end: the search worker and the application's
// media utility in this process, the suite's connection manager (registered
// in the prefix) in its own, phonectl in its own for every change of the
// simulated phone's world (the default world, which the manager reads too).
// Run by tests/e2e/wizard_detection.sh; skipped otherwise.

namespace {

using PhoneSim::CPhoneWorld;
using PhoneSim::Testing::RunPhonectl;

const wchar_t kInfraredId[] = L"{45DE04A6-22B9-41A4-9883-788B692A1E1F}";
const wchar_t kPluginId[] = L"{931EAAEF-6EC9-4668-A52E-405B4030931A}";
const DWORD kBound = 30000;

struct CArrival {
  std::wstring serial;
  DWORD media = 0;
  std::wstring name;
};

// Arrivals as the application's utility tells them, on this thread.
class CArrivalSink : public IMediaNotifySink {
public:
  void OnDeviceArrived(const LNYX_DEVICE& device) override {
    for (DWORD i = 0; i < device.dwNumOfConnections && device.pConnections; ++i)
      arrivals.push_back({device.pstrSerialNumber ? device.pstrSerialNumber : L"", device.pConnections[i].dwMedia,
                          device.pConnections[i].pstrDeviceName ? device.pConnections[i].pstrDeviceName : L""});
  }
  void OnDeviceLeft(const std::wstring&, const std::wstring&) override {}
  bool Has(DWORD media, const std::wstring& name) const {
    return std::any_of(arrivals.begin(), arrivals.end(),
                       [&](const CArrival& a) { return a.media == media && a.name == name; });
  }
  std::vector<CArrival> arrivals;
};

class CProgressSink : public ISearchProgressSink {
public:
  void OnSearchProgress(DWORD percent, DWORD) override { InterlockedExchange(&last, static_cast<LONG>(percent)); }
  volatile LONG last = -1;
};

class DetectionEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    if (GetEnvironmentVariableW(L"DIALIX_MODEM_DIR", nullptr, 0) == 0) GTEST_SKIP() << "run by wizard_detection.sh";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TRELKSIM_WORLD", nullptr);
    CPhoneWorld world;
    PhoneSim::WriteMediumElements(world, {{kInfraredId, 0, false, L"Infrared"}, {kPluginId, 2, false, L"Plug-in"}});
    ASSERT_EQ(RunPhonectl(L"radio add AA:01 \"Mine\" --phone --paired --trusted --serial BT-MINE"), 0u);
    ASSERT_EQ(RunPhonectl(L"radio add AA:02 \"Blue Two\" --phone --passcode 0000 --serial BT-TWO"), 0u);
    ASSERT_EQ(RunPhonectl(L"radio add AA:03 \"Headset\""), 0u);
    Trelk::RUVONBinding().SetReadOptions(false);
    ASSERT_EQ(RUVON_Initialize(30, 0), 0u);
    m_started = true;
    m_application.reset(new CMediaUtility(true));
    m_application->SetNotifySink(&m_arrivals);
    ASSERT_TRUE(m_application->Initialize());
    ASSERT_TRUE(m_events.Create());
    m_worker.reset(new CDeviceSearchWorker(m_events, m_results));
    ASSERT_TRUE(m_worker->Start());
    CSearchProgress::SetSink(m_progress);
  }
  void TearDown() override {
    if (!m_started) return;
    CSearchProgress::SetSink(nullptr);
    if (m_worker) EXPECT_TRUE(m_worker->Stop(kBound));
    m_worker.reset();
    m_application.reset();
    RUVON_Terminate(0);
    CPhoneWorld world;
    world.ClearFaults();
    for (const wchar_t* serial : {L"BT-MINE", L"BT-TWO", L"IR-PHONE"}) world.RemovePhone(serial);
    world.DeleteWorldFile(L"radio.txt");
    world.DeleteWorldFile(L"radio-off.txt");
    PhoneSim::WriteMediumElements(world, {});
    CoUninitialize();
  }

  HANDLE Event(CWizardEvents::Id id) { return m_events.Get(id); }
  // Raises the request and waits for its answer among the given ones: the
  // index of the one that came, -1 for none. Answers are reset for the next.
  int Ask(CWizardEvents::Id request, std::initializer_list<CWizardEvents::Id> answers) {
    SetEvent(Event(request));
    int answered = -1;
    ZCLWaitUntil([&] {
      int index = 0;
      for (CWizardEvents::Id id : answers) {
        if (WaitForSingleObject(Event(id), 0) == WAIT_OBJECT_0) answered = index;
        ++index;
      }
      return answered != -1;
    }, kBound);
    for (CWizardEvents::Id id : answers) ResetEvent(Event(id));
    EXPECT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending() && !m_worker->IsPairPending() &&
                                          !m_worker->IsUnpairPending(); }, kBound));
    return answered;
  }
  const CSearchEntry* Find(const CSearchList& list, const wchar_t* address) {
    for (const CSearchEntry& e : list)
      if (e.address == address) return &e;
    return nullptr;
  }

  bool m_started = false;
  CArrivalSink m_arrivals;
  std::shared_ptr<CProgressSink> m_progress = std::make_shared<CProgressSink>();
  std::unique_ptr<CMediaUtility> m_application;
  CWizardEvents m_events;
  CSearchResults m_results;
  std::unique_ptr<CDeviceSearchWorker> m_worker;
};

TEST_F(DetectionEndToEnd, SearchesListThePhonesInOrderAndTellCancelAndAMissingRadioApart) {
  ASSERT_EQ(Ask(CWizardEvents::DeviceListRequest, {CWizardEvents::SearchDone, CWizardEvents::SearchFailed}), 0);
  CSearchList list = m_results.Copy();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0].address, L"AA:01");
  EXPECT_EQ(list[0].isPhone, 1u);
  ASSERT_TRUE(Find(list, L"AA:02"));
  EXPECT_EQ(Find(list, L"AA:02")->isPhone, 1u);  // not paired yet, and a phone all the same

  ASSERT_EQ(Ask(CWizardEvents::SearchRequest, {CWizardEvents::SearchDone, CWizardEvents::SearchFailed}), 0);
  list = m_results.Copy();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name + L"|" + list[1].name + L"|" + list[2].name, L"Mine|Blue Two|Headset");
  EXPECT_EQ(list[0].isPhone + list[1].isPhone + list[2].isPhone, 2u);
  EXPECT_EQ(m_progress->last, 100);

  // Slowed down, the search is cancelled after its first report.
  ASSERT_EQ(RunPhonectl(L"delay LNYXSearchDevices.step 400"), 0u);
  m_progress->last = -1;
  SetEvent(Event(CWizardEvents::SearchRequest));
  ASSERT_TRUE(ZCLWaitUntil([&] { return m_progress->last >= 0; }, kBound));
  EXPECT_TRUE(m_worker->IsSearchPending());
  SetEvent(Event(CWizardEvents::SearchCancel));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !m_worker->IsSearchPending(); }, kBound));
  EXPECT_NE(WaitForSingleObject(Event(CWizardEvents::SearchDone), 0), WAIT_OBJECT_0);
  EXPECT_NE(WaitForSingleObject(Event(CWizardEvents::SearchFailed), 0), WAIT_OBJECT_0);
  ASSERT_EQ(RunPhonectl(L"clear-faults"), 0u);

  ASSERT_EQ(RunPhonectl(L"radio off"), 0u);
  EXPECT_EQ(Ask(CWizardEvents::SearchRequest, {CWizardEvents::SearchDone, CWizardEvents::SearchFailed}), 1);
}

TEST_F(DetectionEndToEnd, PairingConnectsThePhoneOverBluetoothAndUnpairingShowsItUnpaired) {
  m_events.SetSelectedDeviceAddress(L"AA:02");
  m_events.SetPairingPasscode(L"1111");
  EXPECT_EQ(Ask(CWizardEvents::PairRequest, {CWizardEvents::PairDone, CWizardEvents::PairFailed}), 1);
  m_events.SetPairingPasscode(L"0000");
  EXPECT_EQ(Ask(CWizardEvents::PairRequest, {CWizardEvents::PairDone, CWizardEvents::PairFailed}), 0);
  EXPECT_TRUE(ZCLWaitUntil([&] { return m_arrivals.Has(LNYX_MEDIA_BLUETOOTH, L"Blue Two"); }, kBound));
  std::vector<CMediaDevice> devices;
  m_application->CopyDeviceList(&devices);
  EXPECT_TRUE(std::any_of(devices.begin(), devices.end(),
                          [](const CMediaDevice& d) { return d.displayName == L"Blue Two"; }));

  EXPECT_EQ(Ask(CWizardEvents::UnpairRequest, {CWizardEvents::UnpairDone, CWizardEvents::UnpairFailed}), 0);
  ASSERT_EQ(Ask(CWizardEvents::DeviceListRequest, {CWizardEvents::SearchDone, CWizardEvents::SearchFailed}), 0);
  CSearchList list = m_results.Copy();
  ASSERT_TRUE(Find(list, L"AA:02"));
  EXPECT_EQ(Find(list, L"AA:02")->paired, 0u);
}

TEST_F(DetectionEndToEnd, InfraredIsSwitchedOnAndABeamedPhoneArrivesOverIt) {
  EXPECT_TRUE(m_application->EnableMedium(kMediaInfrared));
  std::string media;
  ASSERT_EQ(RunPhonectl(L"media list", &media), 0u);
  EXPECT_NE(media.find("{45DE04A6-22B9-41A4-9883-788B692A1E1F}\t0\t1\t"), std::string::npos) << media;
  ASSERT_EQ(RunPhonectl(L"plug IR-PHONE --name Beamed --conn \"2,Beamed,,501\""), 0u);
  EXPECT_TRUE(ZCLWaitUntil([&] { return m_arrivals.Has(2, L"Beamed"); }, kBound));
}

}  // namespace

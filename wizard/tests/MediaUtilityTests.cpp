#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "CMediaUtility.h"
#include "PhoneWorldRadio.h"
#include "FakeConnectionManager.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLWait.h"

// The media utility over the simulated phone (reached through the device-
// management binding) and a connection manager served by the test itself.

namespace {

using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

const GUID kPluginA = {0x931EAAEF, 0x6EC9, 0x4668, {0xA5, 0x2E, 0x40, 0x5B, 0x40, 0x30, 0x93, 0x1A}};
const GUID kPluginB = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kInfrared = {0x45DE04A6, 0x22B9, 0x41A4, {0x98, 0x83, 0x78, 0x8B, 0x69, 0x2A, 0x1E, 0x1F}};

class CRecordingSink : public IMediaNotifySink {
public:
  void OnDeviceArrived(const LNYX_DEVICE& device) override {
    arrivals.push_back(device.pstrSerialNumber ? device.pstrSerialNumber : L"");
    threads.push_back(GetCurrentThreadId());
  }
  void OnDeviceLeft(const std::wstring& name, const std::wstring& serial) override {
    departures.push_back(name + L"|" + serial);
  }
  std::vector<std::wstring> arrivals;
  std::vector<DWORD> threads;
  std::vector<std::wstring> departures;
};

// Pumps this thread's messages until the condition holds, at most 20 s.
bool PumpUntil(const std::function<bool()>& done) {
  ULONGLONG deadline = GetTickCount64() + 20000;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return true;
}

std::wstring PluginText(UINT id) { return L"Language text " + std::to_wstring(id); }

class MediaUtilityTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_world.reset(new CScratchWorld());
    Trelk::RUVONBinding().SetReadOptions(false);
    ASSERT_EQ(RUVON_Initialize(30, 0), 0u);
    m_manager.elements = {{kInfrared, 0, L"Infrared", false},
                          {GUID_NULL, 255, L"Nothing", true},
                          {kPluginA, 2, L"Plug-in A", false},
                          {kPluginB, 2, std::wstring(70, L'P'), false}};
    ASSERT_TRUE(m_manager.Register());
  }
  void TearDown() override {
    m_manager.Revoke();
    RUVON_Terminate(0);
    m_world.reset();
    CoUninitialize();
  }

  std::unique_ptr<CScratchWorld> m_world;
  CFakeConnectionManager m_manager;
};

TEST_F(MediaUtilityTest, PhonesAreListedWithTenConnectionsAtMostAndTheirBluetoothName) {
  std::wstring conns;
  for (int i = 1; i <= 11; ++i) conns += L" --conn 4,cable,," + std::to_wstring(100 + i);
  ASSERT_EQ(RunPhonectl(L"plug MANY --name Many" + conns), 0u);
  ASSERT_EQ(RunPhonectl(L"plug BLUE --name Friendly --conn 4,cable,,201 --conn \"8,Blue Name,00:11:22:33:44:55,202\""), 0u);
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  std::vector<CMediaDevice> devices;
  utility.CopyDeviceList(&devices);
  ASSERT_EQ(devices.size(), 2u);
  for (const CMediaDevice& device : devices) {
    if (device.serial == L"MANY") {
      EXPECT_EQ(device.connectionCount, 10u);
      EXPECT_EQ(device.deviceIds[9], 110u);
      EXPECT_EQ(device.displayName, L"Many");
    } else {
      EXPECT_EQ(device.displayName, L"Blue Name");
      EXPECT_EQ(device.bluetoothAddress, L"00:11:22:33:44:55");
      int index = -1;
      EXPECT_TRUE(CMediaUtility::FindConnectionIndex(device, LNYX_MEDIA_BLUETOOTH, &index));
      EXPECT_EQ(index, 1);
      EXPECT_FALSE(CMediaUtility::FindConnectionIndex(device, 2, &index));
      EXPECT_EQ(index, -1);
    }
  }
}

TEST_F(MediaUtilityTest, MediaAndPlugins) {
  CMediaUtility utility(false);
  utility.SetTextSource(&PluginText);
  ASSERT_TRUE(utility.Initialize());
  EXPECT_TRUE(utility.IsMediaAvailable(kMediaInfrared | kMediaBluetooth));
  EXPECT_FALSE(utility.IsMediaAvailable(kMediaCable | kMediaCable2));

  int calls = m_manager.calls;
  EXPECT_FALSE(utility.EnableMedium(kMediaBluetooth));
  EXPECT_EQ(m_manager.calls, calls);
  EXPECT_TRUE(utility.EnableMedium(kMediaInfrared));
  ASSERT_EQ(m_manager.enabledIds.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(m_manager.enabledIds[0], kInfrared));

  utility.LoadPlugins();
  ASSERT_EQ(utility.GetPlugins().size(), 2u);
  EXPECT_STREQ(utility.GetPlugins()[0].name, L"Language text 5142");
  EXPECT_EQ(std::wstring(utility.GetPlugins()[1].name), std::wstring(kPluginTextCapacity - 1, L'P'));
  EXPECT_TRUE(utility.EnsurePluginEnabled());
  EXPECT_EQ(m_manager.enabledIds.size(), 3u);  // neither was on: both switched on
}

TEST_F(MediaUtilityTest, ListFailureClearsTheMedia) {
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  ASSERT_TRUE(utility.IsMediaAvailable(kMediaInfrared));
  m_manager.elements.clear();
  utility.RefreshMedia();
  EXPECT_FALSE(utility.IsMediaAvailable(0xFF));
}

TEST_F(MediaUtilityTest, UnknownDepartureTellsTwoEmptyTexts) {
  ASSERT_EQ(RunPhonectl(L"plug GONE --name Gone --conn 4,cable,,301"), 0u);
  CMediaUtility utility(false);
  CRecordingSink sink;
  utility.SetNotifySink(&sink);
  ASSERT_TRUE(utility.Initialize());
  utility.HandleNotification(LNYX_DEVICE_REMOVED, L"NOT-KNOWN");
  utility.HandleNotification(LNYX_DEVICE_REMOVED, L"GONE");
  ASSERT_EQ(sink.departures.size(), 2u);
  EXPECT_EQ(sink.departures[0], L"|");
  EXPECT_EQ(sink.departures[1], L"Gone|GONE");
}

TEST_F(MediaUtilityTest, PlugReachesTheSinkOnceOnItsThreadBesideANonRegisteringUtility) {
  CMediaUtility application(true);
  CMediaUtility worker(false);
  CRecordingSink sink, workerSink;
  application.SetNotifySink(&sink);
  worker.SetNotifySink(&workerSink);
  ASSERT_TRUE(application.Initialize());
  ASSERT_TRUE(worker.Initialize());
  ASSERT_EQ(RunPhonectl(L"plug FIRST --name First --conn 4,cable,,401"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return !sink.arrivals.empty(); }));
  // A second phone marks the end of whatever the first one brought.
  ASSERT_EQ(RunPhonectl(L"plug SECOND --name Second --conn 4,cable,,402"), 0u);
  ASSERT_TRUE(PumpUntil([&] {
    return std::find(sink.arrivals.begin(), sink.arrivals.end(), L"SECOND") != sink.arrivals.end();
  }));
  EXPECT_EQ(std::count(sink.arrivals.begin(), sink.arrivals.end(), L"FIRST"), 1);
  for (DWORD thread : sink.threads) EXPECT_EQ(thread, GetCurrentThreadId());
  EXPECT_TRUE(workerSink.arrivals.empty());
}

std::wstring NamesOf(const CSearchList& list) {
  std::wstring names;
  for (const CSearchEntry& e : list) names += (names.empty() ? L"" : L" ") + e.name + L"/" + std::to_wstring(e.paired) + std::to_wstring(e.trusted);
  return names;
}

class CProgressSteps : public ISearchProgressSink {
public:
  void OnSearchProgress(DWORD percent, DWORD) override { reports.push_back(percent); }
  std::vector<DWORD> reports;
};

TEST_F(MediaUtilityTest, EachSearchOptionFindsItsDevicesInRangePairedFirst) {
  ASSERT_EQ(RunPhonectl(L"radio add AA:03 Headset"), 0u);
  ASSERT_EQ(RunPhonectl(L"radio add AA:02 Other --phone --passcode 0000"), 0u);
  ASSERT_EQ(RunPhonectl(L"radio add AA:01 Mine --phone --paired --trusted"), 0u);
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  CHandle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto steps = std::make_shared<CProgressSteps>();
  CSearchProgress::SetCancelEvent(cancel.Get());
  CSearchProgress::SetSink(steps);
  CSearchList seen, phones, all;
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchSeenPhones, kSearchTimeout, &seen, &CSearchProgress::Callback), 0u);
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchPhones, kSearchTimeout, &phones, &CSearchProgress::Callback), 0u);
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchAllDevices, kSearchTimeout, &all, &CSearchProgress::Callback), 0u);
  // The quick search sees the phones not yet paired too.
  EXPECT_EQ(NamesOf(seen), L"Mine/11 Other/00");
  EXPECT_EQ(NamesOf(phones), L"Mine/11 Other/00");
  EXPECT_EQ(NamesOf(all), L"Mine/11 Headset/00 Other/00");
  EXPECT_EQ(steps->reports, (std::vector<DWORD>{25, 50, 75, 100, 25, 50, 75, 100, 25, 50, 75, 100}));

  CSearchList none;
  SetEvent(cancel.Get());
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchAllDevices, kSearchTimeout, &none, &CSearchProgress::Callback),
            ELNYX_CANCELLED);
  ASSERT_EQ(RunPhonectl(L"radio off"), 0u);
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchAllDevices, kSearchTimeout, &none, &CSearchProgress::Callback),
            ELNYX_MEDIA_IS_NOT_WORKING);
  EXPECT_TRUE(none.empty());
  CSearchProgress::SetSink(nullptr);
  CSearchProgress::SetCancelEvent(nullptr);
}

// The list the search page shows first, as a first-time user meets it: the
// phones are not paired yet, and a keyboard is in range too.
TEST_F(MediaUtilityTest, TheShortSearchListsPhonesNotYetPairedAsPhonesBeforeTheOtherDevices) {
  ASSERT_EQ(RunPhonectl(L"radio add AA:11 \"First phone\" --phone --passcode 1234"), 0u);
  ASSERT_EQ(RunPhonectl(L"radio add AA:12 Keyboard"), 0u);
  ASSERT_EQ(RunPhonectl(L"radio add AA:13 \"Second phone\" --phone --passcode 5678"), 0u);
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  CSearchResults results;
  EXPECT_EQ(SearchDevicesProc(utility, kSearchShort, results), 0u);
  std::wstring listed;
  for (const CSearchEntry& e : results.Copy()) listed += e.name + L"/" + std::to_wstring(e.isPhone) + L" ";
  EXPECT_EQ(listed, L"Second phone/1 First phone/1 Keyboard/0 ");
}

TEST_F(MediaUtilityTest, PairingTakesThePasscodeAndConnectsThePhoneOverBluetoothUntilUnpaired) {
  ASSERT_EQ(RunPhonectl(L"radio add AA:02 \"Blue Two\" --phone --passcode 0000 --serial BT-TWO"), 0u);
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  PhoneSim::CPhoneWorld world;
  PhoneSim::CPhone phone;
  EXPECT_EQ(utility.ChangeDeviceTrustedState(kTrustPair, L"AA:02", L"9999"), ELNYX_DEVICE_PASSWORD_WRONG);
  EXPECT_FALSE(world.ReadPhone(L"BT-TWO", &phone));
  EXPECT_EQ(utility.ChangeDeviceTrustedState(kTrustPair, L"AA:09", L"0000"), ELNYX_DEVICE_NOT_FOUND);

  EXPECT_EQ(utility.ChangeDeviceTrustedState(kTrustPair, L"aa:02", L"0000"), 0u);
  ASSERT_TRUE(world.ReadPhone(L"BT-TWO", &phone));
  EXPECT_TRUE(phone.connected);
  ASSERT_EQ(phone.connections.size(), 1u);
  EXPECT_EQ(phone.connections[0].media, LNYX_MEDIA_BLUETOOTH);
  EXPECT_EQ(phone.connections[0].name, L"Blue Two");
  CSearchList paired;
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchSeenPhones, kSearchTimeout, &paired, nullptr), 0u);
  EXPECT_EQ(NamesOf(paired), L"Blue Two/11");

  EXPECT_EQ(utility.ChangeDeviceTrustedState(kTrustUnpair, L"AA:02", L""), 0u);
  ASSERT_TRUE(world.ReadPhone(L"BT-TWO", &phone));
  EXPECT_FALSE(phone.connected);
  CSearchList phones;
  EXPECT_EQ(utility.SearchAvailableDevices(kSearchPhones, kSearchTimeout, &phones, nullptr), 0u);
  EXPECT_EQ(NamesOf(phones), L"Blue Two/00");
  EXPECT_EQ(utility.ChangeDeviceTrustedState(0x400, L"AA:02", nullptr), 0u);
  PhoneSim::CRadioDevice device;
  ASSERT_TRUE(PhoneSim::FindRadioDevice(world, L"AA:02", &device));
  EXPECT_TRUE(device.trusted);
  EXPECT_FALSE(device.paired);
}

}  // namespace

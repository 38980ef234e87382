#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include "CDeviceManager.h"
#include "CStandInDeviceImpl.h"
#include "ServiceFixture.h"
#include "ZCLException.h"
#include "ZCLWait.h"

namespace {

// What the device manager did to the implementations it attached.
struct ImplCounts {
  std::atomic<int> made{0};
  std::atomic<int> initialized{0};
  std::atomic<int> uninitialized{0};
  std::atomic<int> mode{0};  // 0 comes up, 1 fails, 2 throws
};

class CCountingImpl : public CStandInDeviceImpl {
public:
  explicit CCountingImpl(ImplCounts& counts) : m_counts(counts) { ++m_counts.made; }
  bool Initialize() override {
    ++m_counts.initialized;
    if (m_counts.mode == 2) ZCLThrowOnFalse(false, "initialisation broke");
    return m_counts.mode == 0;
  }
  void Uninitialize() override { ++m_counts.uninitialized; }

private:
  ImplCounts& m_counts;
};

class DeviceManagerTest : public ServiceFixture {
protected:
  void SetUp() override {
    ServiceFixture::SetUp();
    m_settings.deviceImpls = [this](CZembraDevice&, const CServiceLinks&) { return new CCountingImpl(m_counts); };
  }
  bool Plug(const wchar_t* serial, const wchar_t* model = L"Model") {
    PhoneSim::CPhone phone;
    phone.serial = serial;
    phone.model = model;
    phone.manufacturer = L"Maker";
    phone.friendlyName = L"Friend";
    PhoneSim::CConnection bluetooth;
    bluetooth.media = 8;
    bluetooth.name = L"BT name";
    phone.connections.push_back(bluetooth);
    return m_world->PlugPhone(phone);
  }
  // The device-change calls the client received for the phone, in order.
  std::vector<std::pair<std::string, int>> Changes(const wchar_t* serial) {
    std::vector<std::pair<std::string, int>> changes;
    for (const CallbackCall& call : m_recorder->Calls())
      if ((call.method == "NewDevice" || call.method == "DeviceStateChanged") && call.serial == serial)
        changes.emplace_back(call.method, call.state);
    return changes;
  }
  // A failing phone is told connecting, then disconnected; the start's listing
  // and the phone's arrival can both announce it, and each announcement tries
  // again, so more such pairs may follow.
  void ExpectOnlyFailedTries(const wchar_t* serial) {
    std::vector<std::pair<std::string, int>> changes = Changes(serial);
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(std::make_pair(std::string("NewDevice"), static_cast<int>(DeviceConnecting)), changes[0]);
    for (size_t i = 1; i < changes.size(); ++i) {
      EXPECT_EQ("DeviceStateChanged", changes[i].first);
      EXPECT_EQ(i % 2 ? DeviceDisconnected : DeviceConnecting, changes[i].second) << "change " << i;
    }
  }
  bool WaitForChanges(const wchar_t* serial, size_t count) {
    return ZCLWaitUntil([&] { return Changes(serial).size() >= count; }, 10000);
  }
  bool WaitForLog(const std::string& text) {
    return ZCLWaitUntil([&] { return NewText().find(text) != std::string::npos; }, 10000);
  }

  ImplCounts m_counts;
};

typedef std::vector<std::pair<std::string, int>> ChangeList;

TEST_F(DeviceManagerTest, ACachedPhoneConnectedAtStartIsInitialisedDuringStartUpAndOnlyOnce) {
  {
    CZembraDeviceList cache(m_settings.cacheFolder);
    CZembraDevicePtr known = std::make_shared<CZembraDevice>();
    known->SetSerialNumber(L"CACHED-1");
    known->SetModelName(L"Old model");
    cache.Add(known, true);
  }
  ASSERT_TRUE(Plug(L"CACHED-1", L"New model"));
  ZCLLogger::Instance().SetLevel(5);
  Start();
  ASSERT_TRUE(ZCLWaitUntil([&] { return Devices().Count() == 1; }, 10000));
  CZembraDevicePtr device = Devices().Find(L"CACHED-1");
  ASSERT_TRUE(device);
  ASSERT_TRUE(ZCLWaitUntil([&] { return device->GetState() == DeviceConnected; }, 10000));
  EXPECT_STREQ(L"New model", device->GetModelName());
  EXPECT_STREQ(L"BT name", device->GetBluetoothName());
  EXPECT_TRUE(device->HasDeviceImpl());
  EXPECT_EQ(std::string::npos, NewText().find("CDeviceOnlineTask::Execute")) << "not through a task";

  // Announced again (a refresh, or the sink registered before the listing),
  // the phone is left as it is.
  m_world->AnnounceDevice(1, L"CACHED-1", 8, 0);
  ASSERT_TRUE(WaitForLog("Device CACHED-1 is up already."));
  EXPECT_EQ(1, m_counts.made.load());
  EXPECT_EQ(1, m_counts.initialized.load());
}

TEST_F(DeviceManagerTest, ANewPhoneIsAnnouncedConnectingThenConnectedAndSavedToTheCache) {
  StartAndConnect();
  ASSERT_TRUE(Plug(L"NEW-1"));
  ASSERT_TRUE(WaitForChanges(L"NEW-1", 2));
  EXPECT_EQ((ChangeList{{"NewDevice", DeviceConnecting}, {"DeviceStateChanged", DeviceConnected}}),
            Changes(L"NEW-1"));
  CZembraDevicePtr device = Devices().Find(L"NEW-1");
  ASSERT_TRUE(device);
  EXPECT_TRUE(device->HasDeviceImpl());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES,
            ::GetFileAttributesW((device->GetDataFolder() + L"\\DeviceInfo.xml").c_str()));
}

TEST_F(DeviceManagerTest, AnUnpluggedPhoneIsMarkedGoneOnceAndLosesItsImplementationButStaysListed) {
  StartAndConnect();
  ASSERT_TRUE(Plug(L"GONE-1"));
  ASSERT_TRUE(WaitForChanges(L"GONE-1", 2));
  ASSERT_TRUE(m_world->UnplugPhone(L"GONE-1"));
  ASSERT_TRUE(WaitForChanges(L"GONE-1", 3));
  // A second removal of a phone already gone tells nobody.
  // A phone plugged after it shows that removal has been handled.
  m_world->AnnounceDevice(2, L"GONE-1", 8, 0);
  ASSERT_TRUE(Plug(L"MARK-1"));
  ASSERT_TRUE(WaitForChanges(L"MARK-1", 2));
  CZembraDevicePtr device = Devices().Find(L"GONE-1");
  ASSERT_TRUE(device);
  ASSERT_TRUE(ZCLWaitUntil([&] { return !device->HasDeviceImpl(); }, 10000));
  EXPECT_EQ(1, m_counts.uninitialized.load());
  EXPECT_EQ(DeviceDisconnected, device->GetState());

  CComPtr<IGetDevicesOperation> op = Create<IGetDevicesOperation>(IID_IGetDevicesOperation);
  Run(op);
  EXPECT_EQ((ChangeList{{"NewDevice", DeviceConnecting},
                        {"DeviceStateChanged", DeviceConnected},
                        {"DeviceStateChanged", DeviceDisconnected}}),
            Changes(L"GONE-1"));
  CComPtr<IUnknown> data;
  ASSERT_EQ(S_OK, op->get_OperationData(&data));
  CComQIPtr<IDeviceList> list(data.p);
  CComPtr<IDevice> listed;
  ASSERT_EQ(S_OK, list->get_Item(1, &listed));
  EDeviceState state = DeviceConnected;
  listed->get_State(&state);
  EXPECT_EQ(DeviceDisconnected, state);
}

TEST_F(DeviceManagerTest, AnAnnouncementWithoutSerialNumberQueuesNothing) {
  StartAndConnect();
  m_world->AnnounceDevice(1, L"", 8, 0);
  ASSERT_TRUE(WaitForLog("OnDeviceAdded: No Serial number, device ignored!"));
  ASSERT_TRUE(Plug(L"AFTER-1"));
  ASSERT_TRUE(WaitForChanges(L"AFTER-1", 2));
  EXPECT_EQ(1, Devices().Count());
  EXPECT_EQ(1, m_recorder->Count("NewDevice"));
}

TEST_F(DeviceManagerTest, APhoneWhoseInitialisationFailsOrThrowsEndsDisconnected) {
  StartAndConnect();
  m_counts.mode = 1;
  ASSERT_TRUE(Plug(L"FAIL-1"));
  ASSERT_TRUE(WaitForChanges(L"FAIL-1", 2));
  ExpectOnlyFailedTries(L"FAIL-1");

  m_counts.mode = 2;
  ASSERT_TRUE(Plug(L"THROW-1"));
  ASSERT_TRUE(WaitForChanges(L"THROW-1", 2));
  ExpectOnlyFailedTries(L"THROW-1");
  EXPECT_TRUE(ZCLWaitUntil([&] { return Devices().Find(L"THROW-1")->GetState() == DeviceDisconnected; }, 10000));

  // Announced again once it works, the listed phone comes up.
  m_counts.mode = 0;
  m_world->AnnounceDevice(1, L"THROW-1", 8, 0);
  EXPECT_TRUE(ZCLWaitUntil([&] { return Changes(L"THROW-1").back().second == DeviceConnected; }, 10000));
}

}  // namespace

namespace {

// The library's update event reaches call control through a task of the
// device manager's own queue, not from the library's thread.
TEST_F(DeviceManagerTest, AnUpdatedPhoneIsAddedToCallControlFromTheDeviceManagersQueue) {
  StartAndConnect();
  ZCLLogger::Instance().SetLevel(5);
  m_world->AnnounceDevice(4, L"UPDATED-1", 8, 0);
  ASSERT_TRUE(WaitForLog(">> CCallControl::AddDevice"));
  std::string text = NewText();
  size_t task = text.find(">> CDeviceUpdatedTask::Execute");
  ASSERT_NE(std::string::npos, task);
  EXPECT_LT(task, text.find(">> CCallControl::AddDevice"));
  EXPECT_LT(text.find("OnDeviceUpdated: Serial:UPDATED-1, Media:0x08, Info:0x00, Reason:0x0004"), task);
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "CDeviceManagement.h"
#include "CTrelkException.h"
#include "PhoneWorld.h"
#include "SimTestSupport.h"

// Device management through the binding against the simulated phone (the
// fallback Lanyx.dll beside the test), each test in a world of its own.

namespace {

using PhoneSim::CConnection;
using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;

const DWORD kWaitMs = 20000;

using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

struct DeviceEvent {
  char kind;  // L list updated, A added, R removed, U updated
  std::wstring serial;
  DWORD status;
  DWORD thread;
};

class RecordingSink : public IRUVONDeviceNotify {
public:
  void OnDeviceListUpdated() override { Add('L', nullptr, 0); }
  void OnDeviceAdded(const WCHAR* serial, DWORD status) override { Add('A', serial, status); }
  void OnDeviceRemoved(const WCHAR* serial, DWORD status) override { Add('R', serial, status); }
  void OnDeviceUpdated(const WCHAR* serial, DWORD status) override { Add('U', serial, status); }

  // The first event of that kind, waited for with a bound.
  bool WaitFor(char kind, DeviceEvent* found) {
    std::unique_lock<std::mutex> lock(m_mutex);
    bool ok = m_changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] {
      for (const DeviceEvent& e : m_events)
        if (e.kind == kind) return true;
      return false;
    });
    if (!ok) return false;
    for (size_t i = 0; i < m_events.size(); ++i) {
      if (m_events[i].kind != kind) continue;
      if (found) *found = m_events[i];
      m_events.erase(m_events.begin() + i);
      return true;
    }
    return false;
  }

  std::vector<DeviceEvent> Events() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }

private:
  void Add(char kind, const WCHAR* serial, DWORD status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(DeviceEvent{kind, serial ? serial : L"", status, GetCurrentThreadId()});
    m_changed.notify_all();
  }
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<DeviceEvent> m_events;
};

// A sink registered for a test's scope: unregistered, so that the library's
// thread is done with it, before the sink itself goes.
class CScopedRegistration {
public:
  CScopedRegistration(Trelk::CDeviceManagement& dm, IRUVONDeviceNotify* sink) : m_dm(dm) {
    m_dm.RegisterDeviceNotify(sink);
  }
  ~CScopedRegistration() { m_dm.UnregisterDeviceNotify(); }

private:
  Trelk::CDeviceManagement& m_dm;
};

CPhone MakePhone(const std::wstring& serial) {
  CPhone phone;
  phone.serial = serial;
  phone.model = L"Model " + serial;
  phone.manufacturer = L"Maker";
  phone.friendlyName = L"Phone " + serial;
  CConnection bluetooth;
  bluetooth.media = LNYX_MEDIA_BLUETOOTH;
  bluetooth.name = L"BT " + serial;
  bluetooth.address = L"00:11:22:33:44:55";
  phone.connections.push_back(bluetooth);
  return phone;
}

class SimulatedPhoneTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_world.reset(new CPhoneWorld(m_scratch.Folder()));
    m_dm.reset(new Trelk::CDeviceManagement());
    m_dm->Initialize();
    m_dm->OpenDM();
  }
  void TearDown() override {
    m_dm.reset();
    m_world.reset();
  }

  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
  std::unique_ptr<Trelk::CDeviceManagement> m_dm;
};

TEST_F(SimulatedPhoneTest, NoPhoneLeavesTheListEmpty) {
  Trelk::CTrelkDeviceList list;
  m_dm->GetDevices(list);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(m_dm->GetDeviceCount(), 0u);
}

TEST_F(SimulatedPhoneTest, PhonePluggedByPhonectlIsListedWithIdentityAndConnections) {
  ASSERT_EQ(RunPhonectl(L"plug SN-1 --model \"Model 7\" --manufacturer Maker --name \"My phone\" "
                        L"--conn 1,Cable,COM3,4,2 --conn 8,\"Pocket BT\",00:1A:7D:DA:71:13"),
            0u);
  ASSERT_EQ(RunPhonectl(L"plug SN-2 --model Other --conn 1,Cable"), 0u);
  ASSERT_EQ(RunPhonectl(L"unplug SN-2"), 0u);

  Trelk::CTrelkDeviceList list;
  m_dm->GetDevices(list);
  ASSERT_EQ(list.Count(), 1u);
  Trelk::ITrelkDevice* listed = list.GetAt(0);
  EXPECT_STREQ(listed->GetSerialNumber(), L"SN-1");
  EXPECT_STREQ(listed->GetModelName(), L"Model 7");
  EXPECT_STREQ(listed->GetFriendlyName(), L"My phone");
  EXPECT_STREQ(listed->GetManufacturer(), L"Maker");
  EXPECT_EQ(list.Find(L"sn-1"), -1);

  Trelk::CDevice device = m_dm->GetConnectionInfo(L"SN-1");
  EXPECT_STREQ(device.GetModelName(), listed->GetModelName());
  EXPECT_STREQ(device.GetFriendlyName(), L"My phone");
  ASSERT_EQ(device.GetConnectionCount(), 2u);
  const Trelk::CConnectionInfo& cable = device.GetConnectionAt(0);
  EXPECT_EQ(cable.GetMedia(), 1u);
  EXPECT_STREQ(cable.GetDeviceName(), L"Cable");
  EXPECT_STREQ(cable.GetAddress(), L"COM3");
  EXPECT_EQ(cable.GetDeviceId(), 4u);
  EXPECT_EQ(cable.GetState(), 2u);
  const Trelk::CConnectionInfo* bluetooth = device.FindConnectionInfo(LNYX_MEDIA_BLUETOOTH);
  ASSERT_NE(bluetooth, nullptr);
  EXPECT_STREQ(bluetooth->GetDeviceName(), L"Pocket BT");
  EXPECT_STREQ(bluetooth->GetAddress(), L"00:1A:7D:DA:71:13");
  EXPECT_EQ(device.FindConnectionInfo(2), nullptr);

  // A known phone that is not connected has no connections; an unknown one is not found.
  EXPECT_EQ(m_dm->GetConnectionInfo(L"SN-2").GetConnectionCount(), 0u);
  try {
    m_dm->GetConnectionInfo(L"SN-9");
    FAIL() << "no exception";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_DEVICE_NOT_FOUND);
  }
}

TEST_F(SimulatedPhoneTest, DeviceInformationReadsBack) {
  CPhone phone = MakePhone(L"SN-3");
  phone.typeCode = 0x1234;
  phone.detail1 = L"first";
  phone.detail2 = L"RM-42";
  phone.detail3 = L"V 10.1";
  phone.detailValue = 7;
  phone.capabilities = 0x20;
  m_world->PlugPhone(phone);

  Trelk::CDeviceInfo info = m_dm->GetDeviceInfo(L"SN-3");
  EXPECT_EQ(info.GetFirstValue(), 0x1234u);
  EXPECT_STREQ(info.GetFirstText(), L"first");
  EXPECT_STREQ(info.GetSecondText(), L"RM-42");
  EXPECT_STREQ(info.GetThirdText(), L"V 10.1");
  EXPECT_EQ(info.GetSecondValue(), 7u);
  EXPECT_EQ(info.GetThirdValue(), 0x20u);
}

TEST_F(SimulatedPhoneTest, NotificationsArriveOnTheSimulatorsThreadWithStatusWords) {
  RecordingSink sink;
  CScopedRegistration registration(*m_dm, &sink);
  CPhone phone = MakePhone(L"SN-4");
  phone.info = 3;
  m_world->PlugPhone(phone);

  DeviceEvent added, listUpdated;
  ASSERT_TRUE(sink.WaitFor('A', &added));
  EXPECT_EQ(added.serial, L"SN-4");
  EXPECT_EQ(added.status, 0x08030001u);
  ASSERT_TRUE(sink.WaitFor('L', &listUpdated));
  EXPECT_NE(added.thread, GetCurrentThreadId());
  EXPECT_EQ(listUpdated.thread, added.thread);

  phone.friendlyName = L"Renamed";
  m_world->PlugPhone(phone);
  DeviceEvent updated;
  ASSERT_TRUE(sink.WaitFor('U', &updated));
  EXPECT_EQ(updated.serial, L"SN-4");
  EXPECT_EQ(updated.status, 0x08030004u);
  EXPECT_EQ(updated.thread, added.thread);
  EXPECT_STREQ(m_dm->GetConnectionInfo(L"SN-4").GetFriendlyName(), L"Renamed");

  // Another process takes the phone away.
  ASSERT_EQ(RunPhonectl(L"unplug SN-4"), 0u);
  DeviceEvent removed;
  ASSERT_TRUE(sink.WaitFor('R', &removed));
  EXPECT_EQ(removed.serial, L"SN-4");
  EXPECT_EQ(removed.status, 0x08030002u);
  EXPECT_EQ(removed.thread, added.thread);
  EXPECT_EQ(m_dm->GetDeviceCount(), 0u);
  m_dm->UnregisterDeviceNotify();
}

TEST_F(SimulatedPhoneTest, NotificationsAskedForAsSuchArriveOnce) {
  RecordingSink sink;
  CScopedRegistration registration(*m_dm, &sink);
  ASSERT_EQ(RunPhonectl(L"notify updated SN-7 --media 2 --info 9"), 0u);
  ASSERT_EQ(RunPhonectl(L"notify added \"\" --info 1"), 0u);
  ASSERT_EQ(RunPhonectl(L"notify list"), 0u);
  DeviceEvent updated, added;
  ASSERT_TRUE(sink.WaitFor('U', &updated));
  EXPECT_EQ(updated.serial, L"SN-7");
  EXPECT_EQ(updated.status, 0x02090004u);
  ASSERT_TRUE(sink.WaitFor('A', &added));
  EXPECT_EQ(added.serial, L"");
  EXPECT_EQ(added.status, 0x00010001u);
  ASSERT_TRUE(sink.WaitFor('L', nullptr));
  // A later change of the world does not bring them again.
  m_world->PlugPhone(MakePhone(L"SN-8"));
  ASSERT_TRUE(sink.WaitFor('A', &added));
  EXPECT_EQ(added.serial, L"SN-8");
  for (const DeviceEvent& e : sink.Events()) EXPECT_NE(e.serial, L"SN-7");
}

TEST_F(SimulatedPhoneTest, RefreshAnnouncesTheListFromTheSimulatorsThread) {
  RecordingSink sink;
  CScopedRegistration registration(*m_dm, &sink);
  m_dm->RefreshDeviceList();
  DeviceEvent listUpdated;
  ASSERT_TRUE(sink.WaitFor('L', &listUpdated));
  EXPECT_NE(listUpdated.thread, GetCurrentThreadId());
}

TEST_F(SimulatedPhoneTest, SecondRegistrationReplacesTheFirstSink) {
  RecordingSink first, second;
  CScopedRegistration firstRegistration(*m_dm, &first);
  CScopedRegistration secondRegistration(*m_dm, &second);
  m_world->PlugPhone(MakePhone(L"SN-5"));
  ASSERT_TRUE(second.WaitFor('A', nullptr));
  ASSERT_TRUE(second.WaitFor('L', nullptr));
  EXPECT_TRUE(first.Events().empty());
}

TEST_F(SimulatedPhoneTest, InjectedFailureBecomesTrelkExceptionWithItsText) {
  m_world->PlugPhone(MakePhone(L"SN-6"));
  m_world->InjectFault("LNYXGetDevice", ELNYX_CONNECTION_LOST, 1);
  try {
    m_dm->GetConnectionInfo(L"SN-6");
    FAIL() << "no exception";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_CONNECTION_LOST);
    EXPECT_EQ(e.GetMessageText(), "ELNYX_CONNECTION_LOST: Connection is lost to Device");
  }
  EXPECT_STREQ(m_dm->GetConnectionInfo(L"SN-6").GetSerialNumber(), L"SN-6");

  // Injected by another process, for two calls: the listing fails twice, then works.
  ASSERT_EQ(RunPhonectl(L"fault LNYXGetDeviceCount 0x80700001 2"), 0u);
  for (int i = 0; i < 2; ++i) {
    Trelk::CTrelkDeviceList list;
    try {
      m_dm->GetDevices(list);
      FAIL() << "no exception";
    } catch (const Trelk::CTrelkException& e) {
      EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_SYNC_CLIENT_BUSY_DEVICE);
    }
    EXPECT_EQ(list.Count(), 0u);
  }
  Trelk::CTrelkDeviceList list;
  m_dm->GetDevices(list);
  EXPECT_EQ(list.Count(), 1u);
}

}  // namespace

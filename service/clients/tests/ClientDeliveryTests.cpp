#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "CClientManager.h"
#include "CDevice.h"
#include "CZembra.h"
#include "ComText.h"
#include "TestModule.h"
#include "ZembraTestSupport.h"

namespace {

// Long enough that a test that fails does not hang; a passing test opens
// the gate long before.
const DWORD kStuckAtMost = 30000;

// A recording callback registered in the GIT, as Connect registers it.
struct TestClient {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  CGitCookie cookie;
  std::wstring stuckId;  // the id the stuck call carried

  TestClient() {
    callback = CRecordingCallback::Create(&recorder);
    cookie = CGitCookie(callback, IID_IZembraCallback, "Callback");
  }
  // The callback does not return from the method until the gate opens.
  void StickIn(const char* method, HANDLE gate) {
    recorder->m_inside = [this, method, gate](const CallbackCall& call) {
      if (call.method != method) return;
      stuckId = call.clientId;
      m_entered.Set();
      ::WaitForSingleObject(gate, kStuckAtMost);
    };
  }
  bool WaitStuck() { return ::WaitForSingleObject(m_entered.Get(), kStuckAtMost) == WAIT_OBJECT_0; }
  std::vector<std::string> Methods() {
    std::vector<std::string> methods;
    for (const CallbackCall& call : recorder->Calls()) methods.push_back(call.method);
    return methods;
  }

private:
  CManualEvent m_entered;
};

class ClientDeliveryTest : public ::testing::Test {
protected:
  void SetUp() override { ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  void TearDown() override {
    m_gate.Set();
    ::CoUninitialize();
  }

  CClientManager::ClientPtr Add(CClientManager& clients, TestClient& client) {
    return clients.GetClient(clients.AddClient(std::move(client.cookie)).c_str());
  }

  CTestModule m_module;
  CManualEvent m_gate;
};

TEST_F(ClientDeliveryTest, CallsComeInOrderConnectCompletedFirstAndNothingAfterDisconnectCompleted) {
  CClientManager clients;
  TestClient client;
  CClientManager::ClientPtr record = Add(clients, client);
  ASSERT_TRUE(record);
  record->Subscribe(IID_ICallNotification);
  // Events that reach a new record before its connect task are held back.
  record->NewDevice(nullptr);
  record->Notify(IID_ICallNotification, nullptr);
  record->Notify(IID_IEventsUpdatedNotification, nullptr);  // not subscribed
  record->ConnectCompleted();
  record->OperationFailed(L"op-1", E_FAIL, nullptr);
  record->OperationCompleted(L"op-2", nullptr);
  record->DeviceStateChanged(nullptr);
  record->DisconnectCompleted();
  record->NewDevice(nullptr);
  ASSERT_TRUE(client.recorder->WaitFor("DisconnectCompleted", 1));
  clients.StopDeliveries();
  std::vector<std::string> expected = {"ConnectCompleted",   "NewDevice",          "Notification",
                                       "OperationFailed",    "OperationCompleted", "DeviceStateChanged",
                                       "DisconnectCompleted"};
  EXPECT_EQ(expected, client.Methods());
  std::vector<CallbackCall> calls = client.recorder->Calls();
  EXPECT_EQ(L"op-1", calls[3].operationId);
  EXPECT_EQ(E_FAIL, calls[3].hr);
  EXPECT_EQ(L"op-2", calls[4].operationId);
  for (const CallbackCall& call : calls) {
    EXPECT_EQ(record->GetClientId(), call.clientId);
    EXPECT_NE(::GetCurrentThreadId(), call.thread);
    EXPECT_EQ(calls[0].thread, call.thread);
  }
}

TEST_F(ClientDeliveryTest, AStuckClientHoldsUpNeitherTheCallerNorTheOtherClients) {
  CClientManager clients;
  TestClient stuck, other;
  stuck.StickIn("ConnectCompleted", m_gate.Get());
  CClientManager::ClientPtr stuckRecord = Add(clients, stuck);
  CClientManager::ClientPtr otherRecord = Add(clients, other);
  stuckRecord->ConnectCompleted();
  otherRecord->ConnectCompleted();
  for (int i = 0; i < 3; ++i) {
    clients.NewDevice(nullptr);
    clients.DeviceStateChanged(nullptr);
  }
  ASSERT_TRUE(other.recorder->WaitFor("DeviceStateChanged", 3));
  // The stuck callback has not returned, yet the caller and the other client went on.
  EXPECT_EQ(0, stuck.recorder->Count("ConnectCompleted"));
  EXPECT_EQ(3, other.recorder->Count("NewDevice"));
  EXPECT_TRUE(stuckRecord->IsEnabled());
  m_gate.Set();
  ASSERT_TRUE(stuck.recorder->WaitFor("DeviceStateChanged", 3));
  EXPECT_EQ("ConnectCompleted", stuck.Methods().front());
}

TEST_F(ClientDeliveryTest, AStuckClientOverItsCapIsDisabledAndGetsOnlyWhatWasQueued) {
  CClientManager clients;
  TestClient stuck;
  stuck.StickIn("ConnectCompleted", m_gate.Get());
  CClientManager::ClientPtr record = Add(clients, stuck);
  record->ConnectCompleted();
  ASSERT_TRUE(stuck.WaitStuck());  // the call in hand is no longer waiting
  for (size_t i = 0; i < kMaxPendingDeliveries; ++i) record->NewDevice(nullptr);
  EXPECT_TRUE(record->IsEnabled());
  record->DeviceStateChanged(nullptr);  // one too many
  EXPECT_FALSE(record->IsEnabled());
  EXPECT_FALSE(clients.IsClientEnabled(record->GetClientId().c_str()));
  clients.NewDevice(nullptr);  // a disabled client gets no device events
  record->DisconnectCompleted();  // the last call is still taken
  m_gate.Set();
  ASSERT_TRUE(stuck.recorder->WaitFor("DisconnectCompleted", 1));
  std::vector<std::string> methods = stuck.Methods();
  ASSERT_EQ(kMaxPendingDeliveries + 2, methods.size());
  EXPECT_EQ("ConnectCompleted", methods.front());
  EXPECT_EQ("DisconnectCompleted", methods.back());
  EXPECT_EQ(static_cast<int>(kMaxPendingDeliveries), stuck.recorder->Count("NewDevice"));
  EXPECT_EQ(0, stuck.recorder->Count("DeviceStateChanged"));
}

TEST_F(ClientDeliveryTest, TheEndWaitsForCallsOnTheirWayButAbandonsAClientThatDoesNotReturn) {
  std::shared_ptr<CClientDelivery> stuckDelivery;
  TestClient stuck, other;
  {
    CClientManager clients;
    stuck.StickIn("ConnectCompleted", m_gate.Get());
    CClientManager::ClientPtr stuckRecord = Add(clients, stuck);
    CClientManager::ClientPtr otherRecord = Add(clients, other);
    stuckDelivery = stuckRecord->GetDelivery();
    stuckRecord->ConnectCompleted();
    stuckRecord->NewDevice(nullptr);
    otherRecord->ConnectCompleted();
    for (int i = 0; i < 20; ++i) otherRecord->NewDevice(nullptr);
    EXPECT_EQ(1u, clients.StopDeliveries());
    // What was queued for a client that answers was made before the end returned.
    EXPECT_EQ(20, other.recorder->Count("NewDevice"));
    otherRecord->NewDevice(nullptr);  // after the end nothing is taken
    EXPECT_EQ(0, stuck.recorder->Count("ConnectCompleted"));
  }
  // Once the stuck call returns, the abandoned thread makes no further call.
  m_gate.Set();
  ASSERT_TRUE(WaitFor([&] { return stuckDelivery->IsEnded(); }, kStuckAtMost));
  EXPECT_EQ(1, stuck.recorder->Count("ConnectCompleted"));
  EXPECT_EQ(0, stuck.recorder->Count("NewDevice"));
  EXPECT_EQ(20, other.recorder->Count("NewDevice"));
}

// The main object of this process through its singleton factory, with two
// clients connected: one stuck in ConnectCompleted, one answering.
class MainObjectDeliveryTest : public ClientDeliveryTest {
protected:
  void SetUp() override {
    ClientDeliveryTest::SetUp();
    ASSERT_EQ(S_OK, CZembra::_ClassFactoryCreatorClass::CreateInstance(
                        reinterpret_cast<void*>(CZembra::_CreatorClass::CreateInstance),
                        IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IZembra, reinterpret_cast<void**>(&zembra)));
    stuck.StickIn("ConnectCompleted", m_gate.Get());
    ASSERT_EQ(S_OK, zembra->Connect(stuck.callback));
    ASSERT_EQ(S_OK, zembra->Connect(other.callback));
    ASSERT_TRUE(other.recorder->WaitFor("ConnectCompleted", 1));
    ASSERT_TRUE(stuck.WaitStuck());
  }
  void TearDown() override {
    m_gate.Set();
    zembra.Release();
    factory.Release();
    ClientDeliveryTest::TearDown();
  }
  CClientManager& GetClients() { return static_cast<CZembra*>(zembra.p)->GetClientManager(); }
  void DisconnectOther() {
    CComBSTR otherId(other.recorder->Last("ConnectCompleted").clientId.c_str());
    EXPECT_EQ(S_OK, zembra->Disconnect(otherId));
    ASSERT_TRUE(other.recorder->WaitFor("DisconnectCompleted", 1));
  }

  CComPtr<IClassFactory> factory;
  CComPtr<IZembra> zembra;
  TestClient stuck, other;
};

// A client over its cap goes the way of a client whose process is gone.
TEST_F(MainObjectDeliveryTest, AClientOverItsCapIsRemovedThroughItsDisconnectTask) {
  CClientManager& clients = GetClients();
  const std::wstring stuckId = stuck.stuckId;
  for (size_t i = 0; i <= kMaxPendingDeliveries; ++i) clients.NewDevice(nullptr);
  ASSERT_TRUE(other.recorder->WaitFor("NewDevice", static_cast<int>(kMaxPendingDeliveries) + 1));
  ASSERT_FALSE(stuckId.empty());
  ASSERT_TRUE(WaitFor([&] { return !clients.IsValidClientId(stuckId.c_str()); }));
  m_gate.Set();
  ASSERT_TRUE(stuck.recorder->WaitFor("DisconnectCompleted", 1));
  EXPECT_EQ(static_cast<int>(kMaxPendingDeliveries), stuck.recorder->Count("NewDevice"));
  EXPECT_EQ("DisconnectCompleted", stuck.Methods().back());
  DisconnectOther();
}

// A client stuck in a callback after every other client has gone: the
// objects queued for it must not keep the process alive.
TEST_F(MainObjectDeliveryTest, AClientStuckWhenTheLastReferenceGoesIsGivenUpAndItsQueuedObjectsGo) {
  CClientManager& clients = GetClients();
  const std::wstring stuckId = stuck.stuckId;
  const LONG held = m_module.GetLockCount();
  {
    CComPtr<CComObject<CDevice>> device = NewComObject<CDevice>();
    ASSERT_TRUE(device);
    clients.NewDevice(device);
    clients.DeviceStateChanged(device);
  }
  ASSERT_TRUE(other.recorder->WaitFor("DeviceStateChanged", 1));
  EXPECT_EQ(held + 1, m_module.GetLockCount());  // the device waits for the stuck client
  DisconnectOther();
  zembra.Release();
  // Without the main object's lock and the device's, nothing keeps the
  // module; well before the stuck call would give up by itself.
  EXPECT_TRUE(WaitFor([&] { return m_module.GetLockCount() == held - 1; }));
  EXPECT_TRUE(WaitFor([&] { return !clients.IsValidClientId(stuckId.c_str()); }));
  m_gate.Set();
  EXPECT_TRUE(WaitFor([&] { return clients.GetPendingDeliveries() == 0; }, kStuckAtMost));
  EXPECT_EQ(0, stuck.recorder->Count("NewDevice"));
  EXPECT_EQ(0, stuck.recorder->Count("DisconnectCompleted"));
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <cstdio>
#include <set>
#include <thread>
#include "CCallNotification.h"
#include "CDevice.h"
#include "COperationTask.h"
#include "FirefoxTestSupport.h"
#include "ZCLWait.h"

namespace {

class FirefoxBridgeTest : public FirefoxTest {
protected:
  void SetUp() override {
    FirefoxTest::SetUp();
    ASSERT_EQ(dialix->Connect(&callback), S_OK);
    sink = fake->Sink(0);
    ASSERT_TRUE(sink);
  }
  void TearDown() override {
    sink.Release();
    FirefoxTest::TearDown();
  }
  std::wstring Begin(nsCOMPtr<IOrvexDialixOperation>& operation) {
    operation = Create(NS_GET_IID(IOrvexDialixGetDevicesOperation));
    EXPECT_EQ(dialix->BeginOperation(operation), fake->beginResult);
    nsString id;
    operation->GetOperationId(id);
    return TextOf(id);
  }

  CComPtr<IZembraCallback> sink;
};

TEST_F(FirefoxBridgeTest, TheBegunWrapperCompletesOnceAndReportsTheScriptNeverSeesStayOut) {
  EXPECT_EQ(sink->ConnectCompleted(CComBSTR(L"client-1")), S_OK);
  nsCOMPtr<IOrvexDialixOperation> operation;
  std::wstring id = Begin(operation);
  CComBSTR client(L"client-1"), opId(id.c_str());
  EXPECT_EQ(sink->OperationProgress(client, opId, nullptr), S_OK);
  EXPECT_EQ(sink->OperationData(client, opId, nullptr), S_OK);
  EXPECT_EQ(sink->Notification(client, IID_IDevice, nullptr), S_OK);  // no such kind
  // A duplicate that arrives while the script handles the first report.
  callback.inside = [&](const ScriptCall& call) {
    if (call.method == "OperationCompleted") sink->OperationCompleted(client, opId, nullptr);
  };
  EXPECT_EQ(sink->OperationCompleted(client, opId, nullptr), S_OK);
  callback.inside = nullptr;
  EXPECT_EQ(sink->OperationCompleted(client, opId, nullptr), S_OK);
  EXPECT_EQ(sink->OperationFailed(client, opId, E_FAIL, COperationTask::MakeErrorInfo(L"late")), S_OK);

  std::vector<ScriptCall> calls = callback.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].method, "ConnectCompleted");
  EXPECT_EQ(calls[0].clientId, L"client-1");
  EXPECT_EQ(calls[1].method, "OperationCompleted");
  EXPECT_EQ(calls[1].operationId, id);
  EXPECT_EQ(calls[1].object, static_cast<nsISupports*>(operation.get()));
  operation->AddRef();
  EXPECT_EQ(operation->Release(), 1u);  // the table let go of it
}

TEST_F(FirefoxBridgeTest, AFailureWithoutErrorInformationKeepsTheOperationPending) {
  nsCOMPtr<IOrvexDialixOperation> operation;
  CComBSTR client(L"client-1"), opId(Begin(operation).c_str());
  EXPECT_EQ(sink->OperationFailed(client, opId, E_ACCESSDENIED, nullptr), E_POINTER);
  EXPECT_EQ(callback.Count("OperationFailed"), 0u);

  std::wstring description;
  callback.inside = [&](const ScriptCall& call) {
    nsString text;
    static_cast<IOrvexDialixErrorInfo*>(call.object)->GetDescription(text);
    description = TextOf(text);
  };
  EXPECT_EQ(sink->OperationFailed(client, opId, E_ACCESSDENIED, COperationTask::MakeErrorInfo(L"refused")), S_OK);
  std::vector<ScriptCall> calls = callback.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].result, static_cast<PRInt32>(E_ACCESSDENIED));
  EXPECT_EQ(description, L"refused");
}

TEST_F(FirefoxBridgeTest, ARefusedBeginLeavesNoEntry) {
  fake->beginResult = E_INVALIDARG;
  nsCOMPtr<IOrvexDialixOperation> operation;
  CComBSTR client(L"client-1"), opId(Begin(operation).c_str());
  EXPECT_EQ(sink->OperationCompleted(client, opId, nullptr), S_OK);
  EXPECT_EQ(callback.Count("OperationCompleted"), 0u);
  operation->AddRef();
  EXPECT_EQ(operation->Release(), 1u);
}

TEST_F(FirefoxBridgeTest, AfterASecondConnectEachCallbackHearsOnlyItsOwnClient) {
  ASSERT_EQ(dialix->Connect(&second), S_OK);
  CComPtr<IZembraCallback> secondSink = fake->Sink(1);
  ASSERT_TRUE(secondSink);
  nsCOMPtr<IOrvexDialixOperation> operation;
  CComBSTR opId(Begin(operation).c_str());

  EXPECT_EQ(sink->OperationCompleted(CComBSTR(L"client-1"), opId, nullptr), S_OK);  // not the first's
  CComPtr<CComObject<CDevice>> device = NewComObject<CDevice>();
  device->SetSerialNumber(L"PHONE-1");
  device->SetState(2);
  std::wstring serial;
  callback.inside = [&](const ScriptCall& call) {
    nsString text;
    static_cast<IOrvexDialixDevice*>(call.object)->GetSerialNumber(text);
    serial = TextOf(text);
  };
  EXPECT_EQ(sink->DeviceStateChanged(CComBSTR(L"client-1"), device), S_OK);
  EXPECT_EQ(serial, L"PHONE-1");

  PRInt32 state = -1;
  second.inside = [&](const ScriptCall& call) {
    if (call.method != "Notification") return;
    nsCOMPtr<IOrvexDialixCallNotification> ringing =
        do_QueryInterface<IOrvexDialixCallNotification>(call.object);
    if (ringing) ringing->GetState(&state);
  };
  CComPtr<CComObject<CCallNotification>> ring = NewComObject<CCallNotification>();
  ring->Init(L"PHONE-1", L"+358401234", 6);
  EXPECT_EQ(secondSink->Notification(CComBSTR(L"client-2"), IID_ICallNotification, ring), S_OK);
  EXPECT_EQ(secondSink->OperationCompleted(CComBSTR(L"client-2"), opId, nullptr), S_OK);

  ASSERT_EQ(callback.Calls().size(), 1u);
  EXPECT_EQ(callback.Calls()[0].method, "DeviceStateChanged");
  std::vector<ScriptCall> calls = second.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].kind.Equals(NS_GET_IID(IOrvexDialixCallNotification)));
  EXPECT_EQ(state, 6);
  EXPECT_EQ(calls[1].method, "OperationCompleted");
  EXPECT_EQ(calls[1].clientId, L"client-2");
}

TEST_F(FirefoxBridgeTest, HolderAndSinkGoOnceTheServiceLetsGo) {
  nsCOMPtr<IOrvexDialixOperation> operation;
  Begin(operation);
  ASSERT_EQ(dialix->Connect(&second), S_OK);
  sink.Release();
  EXPECT_GT(callback.References(), 0);
  dialix = nullptr;
  EXPECT_GT(callback.References(), 0);  // the service still holds the sinks
  fake->ReleaseSinks();
  EXPECT_EQ(callback.References(), 0);
  EXPECT_EQ(second.References(), 0);
  operation->AddRef();
  EXPECT_EQ(operation->Release(), 1u);
}

// Two workers report completions while the script thread begins operations;
// each one reaches the script once, on the script's thread.
struct StressResult {
  size_t completed = 0, onScriptThread = 0, distinct = 0, sameObject = 0, stillHeld = 0;
};

void RunStress(CFakeZembra* fake, CTestCallback& callback, int count, StressResult* result) {
  nsCOMPtr<IOrvexDialix> dialix;
  ASSERT_EQ(NewDialix(dialix), NS_OK);
  ASSERT_EQ(dialix->Connect(&callback), S_OK);
  std::atomic<int> claimed(0);
  std::atomic<bool> stuck(false);
  std::atomic<int> finished(0);
  auto worker = [&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      CComPtr<IZembraCallback> sink = fake->Sink(0);
      // Each report is claimed first, so no worker waits for one that never comes.
      while (sink && claimed++ < count) {
        if (WaitForSingleObject(fake->begunSignal.Get(), 30000) != WAIT_OBJECT_0) {
          stuck = true;
          break;
        }
        std::wstring id = fake->TakeBegun();
        sink->OperationCompleted(CComBSTR(L"client-1"), CComBSTR(id.c_str()), nullptr);
      }
    }
    CoUninitialize();
    ++finished;
  };
  std::thread first(worker), second(worker);
  std::map<std::wstring, IOrvexDialixOperation*> begun;
  std::vector<nsCOMPtr<IOrvexDialixOperation>> operations;
  nsString client(L"client-1");
  for (int i = 0; i < count; ++i) {
    nsCOMPtr<IOrvexDialixOperation> operation;
    ASSERT_EQ(dialix->CreateOperation(client, NS_GET_IID(IOrvexDialixGetDevicesOperation), getter_AddRefs(operation)),
              NS_OK);
    nsString id;
    operation->GetOperationId(id);
    begun[TextOf(id)] = operation.get();
    operations.push_back(operation);
    ASSERT_EQ(dialix->BeginOperation(operation), S_OK);
    if (i % 16 == 0) ZCLWaitUntil([] { return false; }, 1, 1);  // serve what arrived so far
  }
  EXPECT_TRUE(ZCLWaitUntil([&] { return callback.Count("OperationCompleted") >= static_cast<size_t>(count); },
                           60000));
  // A worker's last release of its proxy calls into an apartment script
  // thread, which must serve it while it waits.
  EXPECT_TRUE(ZCLWaitUntil([&] { return finished == 2; }, 60000));
  first.join();
  second.join();
  EXPECT_FALSE(stuck);
  std::set<std::wstring> seen;
  for (const ScriptCall& call : callback.Calls()) {
    if (call.method != "OperationCompleted") continue;
    ++result->completed;
    result->onScriptThread += call.thread == GetCurrentThreadId();
    seen.insert(call.operationId);
    result->sameObject += begun[call.operationId] == call.object;
  }
  result->distinct = seen.size();
  for (auto& operation : operations) {
    operation->AddRef();
    result->stillHeld += operation->Release() != 1;
  }
  dialix = nullptr;
  fake->ReleaseSinks();  // on the script thread, so the sink goes here
}

void ExpectStress(const char* mode, const StressResult& r, int count) {
  std::printf("stress: %s begun=%d completed=%zu distinct=%zu on-script-thread=%zu same-object=%zu still-held=%zu\n",
              mode, count, r.completed, r.distinct, r.onScriptThread, r.sameObject, r.stillHeld);
  EXPECT_EQ(r.completed, static_cast<size_t>(count));
  EXPECT_EQ(r.distinct, static_cast<size_t>(count));
  EXPECT_EQ(r.onScriptThread, static_cast<size_t>(count));
  EXPECT_EQ(r.sameObject, static_cast<size_t>(count));
  EXPECT_EQ(r.stillHeld, 0u);
}

TEST_F(FirefoxTest, StressCompletionsFromTwoWorkersReachAnApartmentScriptThreadOnceEach) {
  const int count = 1000;
  StressResult result;
  CTestCallback staCallback;
  std::thread script([&] {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    {
      CFakeZembraServed here(fake);
      RunStress(fake, staCallback, count, &result);
    }
    OleUninitialize();
  });
  script.join();
  ExpectStress("single-threaded-apartment", result, count);
  EXPECT_EQ(staCallback.References(), 0);
}

TEST_F(FirefoxTest, StressCompletionsFromTwoWorkersReachAMultithreadedScriptThreadOnceEach) {
  const int count = 1000;
  StressResult result;
  RunStress(fake, callback, count, &result);
  ExpectStress("multithreaded-apartment", result, count);
  EXPECT_EQ(callback.References(), 0);
}

}  // namespace

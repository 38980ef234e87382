#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "CCallUIRecorder.h"
#include "CZembra.h"
#include "PhoneWorld.h"
#include "StoreTestSupport.h"
#include "ZembraTestSupport.h"
#include "../../common/tests/LogFileTest.h"
#include "../../platform/phone/tests/SimTestSupport.h"

// The main object in this process over a simulated phone world and a device
// cache of the test's own, with one client connected through a recording
// callback. The task queue can be held shut. As in the service, the test
// thread is the module's single-threaded apartment, where call control makes
// the call-window object: its waits serve the apartment (ZCLWaitUntil,
// ZCLWaitServingApartment), or a call into that object never returns. That
// object is the recording stand-in, served to this apartment: the library the
// prefix registers would open windows the tests leave behind.
class ServiceFixture : public LogFileTest {
protected:
  void SetUp() override {
    LogFileTest::SetUp();
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // RPC_E_CHANGED_MODE under the module
    ASSERT_EQ(S_OK, m_callUIRecorder.Register());
    // Wine hands out process ids again: a run that was killed may have left
    // a cache under this one's name.
    PhoneSim::DeleteFolderTree(m_cache.Path() + L"\\data");
    m_settings.cacheFolder = m_cache.Path() + L"\\data";
    m_world.reset(new PhoneSim::CPhoneWorld(m_scratch.Folder()));
  }
  void TearDown() override {
    m_gate.Set();
    Stop();
    m_callUIRecorder.Revoke();
    CZembra::UseSettings(CServiceSettings());
    ::CoUninitialize();
    LogFileTest::TearDown();
  }

  // Starts the service side with the settings and waits until its device
  // manager runs.
  void Start() {
    CZembra::UseSettings(m_settings);
    ASSERT_EQ(S_OK, CZembra::_ClassFactoryCreatorClass::CreateInstance(
                        reinterpret_cast<void*>(CZembra::_CreatorClass::CreateInstance),
                        IID_IClassFactory, reinterpret_cast<void**>(&m_factory)));
    ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IZembra,
                                              reinterpret_cast<void**>(&m_zembra)));
    ASSERT_TRUE(ZCLWaitUntil([&] { return Main()->IsTrelkInitialized(); }, 20000));
  }
  void StartAndConnect() {
    Start();
    m_callback.Attach(CRecordingCallback::Create(&m_recorder).Detach());
    ASSERT_EQ(S_OK, m_zembra->Connect(m_callback));
    ASSERT_TRUE(m_recorder->WaitFor("ConnectCompleted", 1));
    m_clientId = m_recorder->Last("ConnectCompleted").clientId;
  }
  void Stop() {
    m_zembra.Release();
    m_factory.Release();  // stops both threads
  }

  CZembra* Main() { return static_cast<CZembra*>(m_zembra.p); }
  CZembraDeviceList& Devices() { return Main()->GetDeviceManager().GetDeviceList(); }
  void HoldQueue() {
    m_gate.Reset();
    Main()->AddTask(new CGateTask(m_gate.Get()));
  }
  void OpenQueue() { m_gate.Set(); }

  template <class I>
  CComPtr<I> Create(REFIID kind) {
    CComPtr<IOperation> op;
    CComBSTR id(m_clientId.c_str());
    EXPECT_EQ(S_OK, m_zembra->CreateOperation(id, kind, &op));
    CComQIPtr<I> typed(op.p);
    return CComPtr<I>(typed.p);
  }
  // Begins the operation and waits until it has told the client its end.
  void Run(IOperation* op) {
    int before = Ends();
    ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
    ASSERT_TRUE(ZCLWaitUntil([&] { return Ends() > before; }, 10000));
  }
  int Ends() { return m_recorder->Count("OperationCompleted") + m_recorder->Count("OperationFailed"); }
  static EOperationState State(IOperation* op) {
    EOperationState state = OperationNotStarted;
    op->get_OperationState(&state);
    return state;
  }

  // A phone listed with its own database, as the cache would list it.
  CZembraDevicePtr AddDevice(const wchar_t* serial, int state) {
    CZembraDevicePtr device = std::make_shared<CZembraDevice>();
    device->SetSerialNumber(serial);
    device->SetModelName(L"Model");
    device->SetFriendlyName(L"Friend");
    device->SetManufacturer(L"Maker");
    device = Devices().Add(device, true);
    device->SetState(state);
    return device;
  }

  PhoneSim::Testing::CScratchWorld m_scratch;
  std::unique_ptr<PhoneSim::CPhoneWorld> m_world;
  storetest::TempFolder m_cache{L"service"};
  // The cache folder is the test's own; a test may set the rest before Start.
  CServiceSettings m_settings;
  CTestModule m_module;
  CCallUIRecorder m_callUIRecorder;
  CComPtr<IClassFactory> m_factory;
  CComPtr<IZembra> m_zembra;
  CRecordingCallback* m_recorder = nullptr;
  CComPtr<IZembraCallback> m_callback;
  std::wstring m_clientId;
  CManualEvent m_gate;
};

#include <windows.h>
#include <gtest/gtest.h>
#include <thread>
#include "CContact.h"
#include "COperationTask.h"
#include "CSms.h"
#include "ComText.h"
#include "ServiceFixture.h"
#include "ZCLWait.h"

namespace {

// An IContact of some other implementation: it claims the address it is
// given as its internal pointer, as a proxy of one of the service's own
// contacts does.
class CClaimingContact : public CComObjectRootEx<CComMultiThreadModel>,
                         public IDispatchImpl<IContact, &IID_IContact, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CClaimingContact)
  COM_INTERFACE_ENTRY(IContact)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  STDMETHOD(get_DbId)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(get_PhoneId)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(get_VCard)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(put_VCard)(BSTR) override { return E_NOTIMPL; }
  STDMETHOD(get_TopContact)(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHOD(put_TopContact)(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHOD(get_PhotoPath)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(get_FormattedName)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(_GetInternalPointer)(hyper* pointer) override {
    *pointer = claimed;
    return S_OK;
  }
  hyper claimed = 0;

  static CComPtr<IContact> Make(hyper claimed) {
    CComPtr<CComObject<CClaimingContact>> object = NewComObject<CClaimingContact>();
    object->claimed = claimed;
    return CComPtr<IContact>(object);
  }
};

hyper AddressOf(const void* object) { return static_cast<hyper>(reinterpret_cast<intptr_t>(object)); }

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

long CountOf(IOperation* op) {
  CComPtr<IUnknown> data;
  if (op->get_OperationData(&data) != S_OK || !data) return -1;
  CComQIPtr<IEventList> events(data.p);
  CComQIPtr<IDeviceList> devices(data.p);
  long count = -1;
  if (events) events->get_Count(&count);
  if (devices) devices->get_Count(&count);
  return count;
}

CZembraEventLog Entry(int id, const wchar_t* number) {
  CZembraEventLog entry;
  entry.SetId(id);
  entry.SetType(1);
  entry.SetNumber(number);
  entry.SetTimeStamp(L"2026-01-02T03:04:05");
  return entry;
}

class OperationFrameTest : public ServiceFixture {
protected:
  void SetUp() override {
    ServiceFixture::SetUp();
    StartAndConnect();
  }
  CComPtr<IGetEventsOperation> CallLog(const wchar_t* serial) {
    CComPtr<IGetEventsOperation> op = Create<IGetEventsOperation>(IID_IGetEventsOperation);
    EXPECT_EQ(S_OK, op->put_SerialNumber(CComBSTR(serial)));
    return op;
  }
};

TEST_F(OperationFrameTest, ANewOperationHasItsDefaults) {
  CComPtr<IGetEventsOperation> events = Create<IGetEventsOperation>(IID_IGetEventsOperation);
  CComBSTR serial;
  CComPtr<IUnknown> data;
  EXPECT_EQ(OperationNotStarted, State(events));
  EXPECT_EQ(S_OK, events->get_SerialNumber(&serial));
  EXPECT_EQ(0u, serial.Length());
  EXPECT_EQ(S_OK, events->get_OperationData(&data));
  EXPECT_EQ(nullptr, data.p);
  CComPtr<IDeleteSmsOperation> sms = Create<IDeleteSmsOperation>(IID_IDeleteSmsOperation);
  long flags = -1;
  CComPtr<ISms> none;
  EXPECT_EQ(S_OK, sms->get_DeleteFlags(&flags));
  EXPECT_EQ(0, flags);
  EXPECT_EQ(E_FAIL, sms->get_Sms(&none));
}

TEST_F(OperationFrameTest, OnlyTheServicesOwnLiveContactsAndMessagesAreAssigned) {
  CComPtr<IUpdateContactOperation> op = Create<IUpdateContactOperation>(IID_IUpdateContactOperation);
  CComPtr<CComObject<CContact>> own = NewComObject<CContact>();
  own->Init(nullptr, L"S1");
  EXPECT_EQ(E_POINTER, op->put_Contact(nullptr));
  ASSERT_EQ(S_OK, op->put_Contact(own));
  ULONG held = References(own);
  ASSERT_EQ(S_OK, op->put_Contact(own));
  EXPECT_EQ(held, References(own)) << "the same contact twice holds one reference";

  // A foreign contact, one claiming no address and one claiming an address
  // that is no live contact, is refused; the previous one stays.
  CComPtr<CComObject<CContact>> gone = NewComObject<CContact>();
  hyper goneAddress = AddressOf(static_cast<CContact*>(gone));
  gone.Release();
  EXPECT_EQ(E_INVALIDARG, op->put_Contact(CClaimingContact::Make(0)));
  EXPECT_EQ(E_INVALIDARG, op->put_Contact(CClaimingContact::Make(goneAddress)));
  EXPECT_EQ(E_INVALIDARG, op->put_Contact(CClaimingContact::Make(AddressOf(&held))));
  CComPtr<IContact> kept;
  ASSERT_EQ(S_OK, op->get_Contact(&kept));
  EXPECT_TRUE(kept.IsEqualObject(own));

  // A contact that came back from another process arrives as a proxy that
  // gives the live contact's address.
  CComPtr<CComObject<CContact>> remote = NewComObject<CContact>();
  CComPtr<IContact> proxy = CClaimingContact::Make(AddressOf(static_cast<CContact*>(remote)));
  EXPECT_EQ(S_OK, op->put_Contact(proxy));
  kept.Release();
  ASSERT_EQ(S_OK, op->get_Contact(&kept));
  EXPECT_TRUE(kept.IsEqualObject(proxy));

  CComPtr<IUpdateSmsOperation> sms = Create<IUpdateSmsOperation>(IID_IUpdateSmsOperation);
  CComPtr<CComObject<CSms>> message = NewComObject<CSms>();
  EXPECT_EQ(S_OK, sms->put_Sms(message));
  CComPtr<IUnknown> data;
  ASSERT_EQ(S_OK, sms->get_OperationData(&data));
  EXPECT_TRUE(data.IsEqualObject(message));
}

TEST_F(OperationFrameTest, TheDeviceIsLookedUpAndMustBeReady) {
  CComPtr<IGetEventsOperation> unknown = CallLog(L"NOBODY");
  Run(unknown);
  CallbackCall failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(E_FAIL, failed.hr);
  EXPECT_EQ(L"Invalid device.", failed.description);
  EXPECT_EQ(L"", failed.source);
  EXPECT_EQ(OperationFailed, State(unknown));
  EXPECT_EQ(-1, CountOf(unknown)) << "no data";

  CZembraDevicePtr phone = AddDevice(L"PHONE-1", DeviceConnecting);
  CComPtr<IGetEventsOperation> op = CallLog(L"PHONE-1");
  Run(op);
  failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(E_ACCESSDENIED, failed.hr);
  EXPECT_EQ(L"Device is not yet ready, please retry after a while", failed.description);

  // A disconnected phone's call log comes from its database; a second run
  // replaces the first run's list.
  phone->SetState(DeviceDisconnected);
  ASSERT_NE(-1, phone->StoreForTests().InsertEvent(Entry(1, L"+100")));
  Run(op);
  EXPECT_EQ(OperationCompleted, State(op));
  EXPECT_EQ(1, CountOf(op));
  ASSERT_NE(-1, phone->StoreForTests().InsertEvent(Entry(2, L"+200")));
  Run(op);
  EXPECT_EQ(2, CountOf(op));
  EXPECT_EQ(2, m_recorder->Count("OperationCompleted"));
}

TEST_F(OperationFrameTest, ACallLogWhoseListCannotBeMadeFailsInsteadOfCompleting) {
  AddDevice(L"PHONE-2", DeviceDisconnected);
  CComPtr<IGetEventsOperation> op = CallLog(L"PHONE-2");
  Run(op);
  ASSERT_EQ(0, CountOf(op));
  Main()->Links().faults.FailDataObjects(1);
  Run(op);
  EXPECT_EQ(OperationFailed, State(op));
  EXPECT_EQ(E_OUTOFMEMORY, m_recorder->Last("OperationFailed").hr);
  EXPECT_EQ(1, m_recorder->Count("OperationCompleted"));
}

TEST_F(OperationFrameTest, AClientGoneBeforeTheRunIsToldNothing) {
  AddDevice(L"PHONE-3", DeviceConnected);
  CComPtr<IGetEventsOperation> op = CallLog(L"PHONE-3");
  HoldQueue();
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  Main()->GetClientManager().RemoveClient(m_clientId.c_str());
  OpenQueue();
  ASSERT_TRUE(ZCLWaitUntil([&] { return State(op) == OperationFailed; }, 10000));
  EXPECT_EQ(0, Ends());
}

// From BeginOperation to the end of the run every put is refused, so the run
// keeps the serial number and the contact it was begun with.
TEST_F(OperationFrameTest, PutsWhileAnOperationIsQueuedOrRunningAreRefused) {
  AddDevice(L"PHONE-4", DeviceDisconnected);
  CComPtr<IGetEventsOperation> op = CallLog(L"PHONE-4");
  CComPtr<IUpdateContactOperation> update = Create<IUpdateContactOperation>(IID_IUpdateContactOperation);
  CComPtr<CComObject<CContact>> first = NewComObject<CContact>();
  CComPtr<CComObject<CContact>> second = NewComObject<CContact>();
  first->Init(nullptr, L"PHONE-4");
  ASSERT_EQ(S_OK, update->put_Contact(first));
  HoldQueue();
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(update));
  EXPECT_EQ(E_UNEXPECTED, op->put_SerialNumber(CComBSTR(L"NOBODY")));
  EXPECT_EQ(E_UNEXPECTED, update->put_Contact(second));
  OpenQueue();
  ASSERT_TRUE(ZCLWaitUntil([&] { return Ends() == 2; }, 10000));
  EXPECT_EQ(OperationCompleted, State(op));
  CComPtr<IContact> kept;
  ASSERT_EQ(S_OK, update->get_Contact(&kept));
  EXPECT_TRUE(kept.IsEqualObject(first));
  // Once the run is over the properties are the client's again.
  EXPECT_EQ(S_OK, op->put_SerialNumber(CComBSTR(L"NOBODY")));
  EXPECT_EQ(S_OK, update->put_Contact(second));
}

TEST_F(OperationFrameTest, AFailingOperationCompletedIsNotFollowedByOperationFailed) {
  AddDevice(L"PHONE-5", DeviceDisconnected);
  m_recorder->m_result = E_FAIL;
  CComPtr<IGetEventsOperation> op = CallLog(L"PHONE-5");
  Run(op);
  // A second run behind it shows the first has ended.
  Run(CallLog(L"NOBODY"));
  EXPECT_EQ(OperationCompleted, State(op));
  EXPECT_EQ(1, m_recorder->Count("OperationCompleted"));
  EXPECT_EQ(1, m_recorder->Count("OperationFailed"));
  EXPECT_EQ(L"Invalid device.", m_recorder->Last("OperationFailed").description);
}

TEST_F(OperationFrameTest, GetDevicesListsEveryKnownPhoneWithItsState) {
  CComPtr<IGetDevicesOperation> op = Create<IGetDevicesOperation>(IID_IGetDevicesOperation);
  Run(op);
  EXPECT_EQ(0, CountOf(op)) << "no phone ever seen";
  AddDevice(L"PHONE-6", DeviceDisconnected);
  AddDevice(L"PHONE-7", DeviceConnected);
  Run(op);
  ASSERT_EQ(2, CountOf(op));
  CComPtr<IUnknown> data;
  op->get_OperationData(&data);
  CComQIPtr<IDeviceList> list(data.p);
  CComPtr<IDevice> device;
  ASSERT_EQ(S_OK, list->get_Item(2, &device));
  CComBSTR serial;
  EDeviceState state = DeviceConnecting;
  device->get_SerialNumber(&serial);
  device->get_State(&state);
  EXPECT_STREQ(L"PHONE-7", serial.m_str);
  EXPECT_EQ(DeviceConnected, state);

  // One device object that cannot be made costs one OperationFailed; the
  // list is still completed without it.
  Main()->Links().faults.FailDataObjects(1, 1);
  int failedBefore = m_recorder->Count("OperationFailed");
  Run(op);
  ASSERT_TRUE(m_recorder->WaitFor("OperationCompleted", 3));
  EXPECT_EQ(failedBefore + 1, m_recorder->Count("OperationFailed"));
  EXPECT_EQ(L"Failed to create Device object, unexpected error!", m_recorder->Last("OperationFailed").description);
  EXPECT_EQ(1, CountOf(op));
  EXPECT_EQ(OperationCompleted, State(op));
}

TEST_F(OperationFrameTest, GetDevicesCancelledBeforeItBeginsIsAborted) {
  CComPtr<IGetDevicesOperation> empty = Create<IGetDevicesOperation>(IID_IGetDevicesOperation);
  ASSERT_EQ(S_OK, m_zembra->CancelOperation(empty));
  Run(empty);
  EXPECT_EQ(OperationCompleted, State(empty)) << "nothing to walk";
  AddDevice(L"PHONE-8", DeviceConnected);
  CComPtr<IGetDevicesOperation> op = Create<IGetDevicesOperation>(IID_IGetDevicesOperation);
  ASSERT_EQ(S_OK, m_zembra->CancelOperation(op));
  Run(op);
  EXPECT_EQ(OperationAborted, State(op));
  EXPECT_EQ(E_ABORT, m_recorder->Last("OperationFailed").hr);
  EXPECT_EQ(L"Operation aborted by user!", m_recorder->Last("OperationFailed").description);
}

// A client that, inside its callback, waits for a CreateOperation made on
// another thread must not find the main object's lock held.
TEST_F(OperationFrameTest, AClientMayCreateOperationsInsideTheGetDevicesCallback) {
  AddDevice(L"PHONE-9", DeviceConnected);
  HRESULT inside = E_PENDING;
  IZembra* zembra = m_zembra;
  std::wstring clientId = m_clientId;
  m_recorder->m_inside = [&](const CallbackCall& call) {
    if (call.method != "OperationCompleted") return;
    // Bounded: a lock held across this callback would block the other
    // thread for good; it is then left behind and the test fails.
    std::shared_ptr<CManualEvent> done = std::make_shared<CManualEvent>();
    std::shared_ptr<HRESULT> result = std::make_shared<HRESULT>(E_PENDING);
    std::thread other([zembra, clientId, done, result] {
      ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      CComPtr<IOperation> created;
      *result = zembra->CreateOperation(CComBSTR(clientId.c_str()), IID_IGetDevicesOperation, &created);
      created.Release();
      ::CoUninitialize();
      done->Set();
    });
    if (::WaitForSingleObject(done->Get(), 10000) == WAIT_OBJECT_0) {
      other.join();
      inside = *result;
    } else {
      other.detach();
    }
  };
  CComPtr<IGetDevicesOperation> op = Create<IGetDevicesOperation>(IID_IGetDevicesOperation);
  Run(op);
  m_recorder->m_inside = nullptr;
  EXPECT_EQ(S_OK, inside);
}

}  // namespace

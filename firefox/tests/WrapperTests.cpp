#include <windows.h>
#include <gtest/gtest.h>
#include "CCallNotification.h"
#include "CContact.h"
#include "CContactList.h"
#include "CDialixNotification.h"
#include "CDialixOperation.h"
#include "CEvent.h"
#include "CMessageReceivedNotification.h"
#include "CSms.h"
#include "COperationTask.h"
#include "FirefoxTestSupport.h"

namespace {

// Data objects live in the multithreaded apartment, as in the service.
class FirefoxWrapperTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

// An operation of the service's kind "get devices" whose data the test sets.
class CFakeDevicesOperation : public CComObjectRootEx<CComMultiThreadModel>,
                              public IDispatchImpl<IGetDevicesOperation, &IID_IGetDevicesOperation,
                                                   &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CFakeDevicesOperation)
  COM_INTERFACE_ENTRY(IGetDevicesOperation)
  COM_INTERFACE_ENTRY(IOperation)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  STDMETHOD(get_ClientId)(BSTR* id) override { return CopyComText(L"c", id); }
  STDMETHOD(get_OperationId)(BSTR* id) override { return CopyComText(L"o", id); }
  STDMETHOD(get_OperationState)(EOperationState* state) override {
    *state = OperationCompleted;
    return S_OK;
  }
  STDMETHOD(get_OperationData)(IUnknown** data) override {
    if (FAILED(dataResult)) return dataResult;
    return this->data.CopyTo(data);
  }
  CComPtr<IUnknown> data;
  HRESULT dataResult = S_OK;
};

template <class Wrapper>
nsCOMPtr<typename Wrapper::Face> WrapService(typename Wrapper::Service* object) {
  nsCOMPtr<typename Wrapper::Face> wrapped;
  EXPECT_EQ(Wrapper::Wrap(object, getter_AddRefs(wrapped)), NS_OK);
  return wrapped;
}

CComPtr<CComObject<CContact>> NewContact(const wchar_t* card) {
  CComPtr<CComObject<CContact>> contact = NewComObject<CContact>();
  contact->Init(nullptr, L"PHONE-1");
  contact->put_VCard(CComBSTR(card));
  return contact;
}

TEST_F(FirefoxWrapperTest, ContactsAreReadLiveAndTopOnlyForTheComTrueValue) {
  CComPtr<CComObject<CContact>> contact = NewContact(L"BEGIN:VCARD\r\nN:One\r\nEND:VCARD\r\n");
  nsCOMPtr<IOrvexDialixContact> first = WrapService<CDialixContact>(contact);
  nsCOMPtr<IOrvexDialixContact> other = WrapService<CDialixContact>(contact);
  nsString card;
  ASSERT_EQ(first->GetVCard(card), S_OK);
  EXPECT_NE(TextOf(card).find(L"N:One"), std::wstring::npos);
  nsString changed(L"BEGIN:VCARD\r\nN:Two\r\nEND:VCARD\r\n");
  ASSERT_EQ(other->SetVCard(changed), S_OK);
  ASSERT_EQ(first->GetVCard(card), S_OK);
  EXPECT_NE(TextOf(card).find(L"N:Two"), std::wstring::npos);

  PRBool top = PR_TRUE;
  ASSERT_EQ(first->SetTopContact(PR_FALSE), S_OK);
  ASSERT_EQ(first->GetTopContact(&top), S_OK);
  EXPECT_EQ(top, PR_FALSE);
  ASSERT_EQ(other->SetTopContact(PR_TRUE), S_OK);
  ASSERT_EQ(first->GetTopContact(&top), S_OK);
  EXPECT_EQ(top, PR_TRUE);
  EXPECT_EQ(first->GetTopContact(nullptr), NS_ERROR_INVALID_ARG);

  nsCOMPtr<IOrvexDialixContact> none;
  EXPECT_EQ(CDialixContact::Wrap(nullptr, getter_AddRefs(none)), NS_ERROR_NULL_POINTER);
  EXPECT_EQ(none.get(), nullptr);
}

TEST_F(FirefoxWrapperTest, CallLogValuesReadInFullAndMissingPlacesAreRefused) {
  CZembraEventLog record;
  record.SetBytesSent(5000000123LL);  // above 4 GiB
  record.SetBytesReceived(4294967296LL + 7);
  record.SetDuration(42);
  record.SetType(1);
  CComPtr<CComObject<CEvent>> event = NewComObject<CEvent>();
  event->Init(&record, L"PHONE-1");
  nsCOMPtr<IOrvexDialixEvent> wrapped = WrapService<CDialixEvent>(event);
  PRInt64 bytes = 0;
  ASSERT_EQ(wrapped->GetBytesSent(&bytes), S_OK);
  EXPECT_EQ(bytes, 5000000123LL);
  ASSERT_EQ(wrapped->GetBytesReceived(&bytes), S_OK);
  EXPECT_EQ(bytes, 4294967303LL);
  PRInt32 value = 0;
  ASSERT_EQ(wrapped->GetDuration(&value), S_OK);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(wrapped->GetBytesSent(nullptr), NS_ERROR_INVALID_ARG);
  EXPECT_EQ(wrapped->GetDuration(nullptr), NS_ERROR_INVALID_ARG);
  EXPECT_EQ(wrapped->GetType(nullptr), NS_ERROR_INVALID_ARG);

  CComPtr<CComObject<CCallNotification>> ring = NewComObject<CCallNotification>();
  ring->Init(L"PHONE-1", L"+358401234", 6);
  nsCOMPtr<IOrvexDialixCallNotification> call;
  ASSERT_EQ(CDialixCallNotification::Create(ring, NS_GET_IID(IOrvexDialixCallNotification),
                                            reinterpret_cast<void**>(getter_AddRefs(call))),
            NS_OK);
  EXPECT_EQ(call->GetState(nullptr), NS_ERROR_NULL_POINTER);
  ASSERT_EQ(call->GetState(&value), NS_OK);
  EXPECT_EQ(value, 6);
  // A notification of another kind leaves the wrapper empty.
  nsCOMPtr<IOrvexDialixMessageReceivedNotification> wrong;
  ASSERT_EQ(CDialixMessageReceived::Create(ring, NS_GET_IID(IOrvexDialixMessageReceivedNotification),
                                           reinterpret_cast<void**>(getter_AddRefs(wrong))),
            NS_OK);
  nsString serial;
  EXPECT_EQ(wrong->GetSerialNumber(serial), NS_ERROR_NOT_INITIALIZED);
}

TEST_F(FirefoxWrapperTest, AReceivedMessageLeadsToItsSenderThroughWrappers) {
  CComPtr<CComObject<CMessageReceivedNotification>> received = NewComObject<CMessageReceivedNotification>();
  CComPtr<CComObject<CSms>> sms = NewComObject<CSms>();
  sms->Init(nullptr, L"PHONE-1");
  received->Init(L"PHONE-1", sms);
  nsCOMPtr<IOrvexDialixMessageReceivedNotification> wrapped;
  ASSERT_EQ(CDialixMessageReceived::Create(received, NS_GET_IID(IOrvexDialixMessageReceivedNotification),
                                           reinterpret_cast<void**>(getter_AddRefs(wrapped))),
            NS_OK);
  nsCOMPtr<IOrvexDialixSms> message;
  ASSERT_EQ(wrapped->GetMessage(getter_AddRefs(message)), NS_OK);
  nsCOMPtr<IOrvexDialixAddressList> addresses;
  ASSERT_EQ(message->GetAddresses(getter_AddRefs(addresses)), S_OK);
  PRInt32 count = -1;
  ASSERT_EQ(addresses->GetCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  nsCOMPtr<IOrvexDialixAddress> address;
  EXPECT_TRUE(NS_FAILED(addresses->Item(1, getter_AddRefs(address))));
  EXPECT_EQ(address.get(), nullptr);
  EXPECT_EQ(wrapped->GetMessage(nullptr), NS_ERROR_INVALID_ARG);
}

TEST_F(FirefoxWrapperTest, OperationDataFailures) {
  CComPtr<CComObject<CFakeDevicesOperation>> fake = NewComObject<CFakeDevicesOperation>();
  nsCOMPtr<IOrvexDialixOperation> devices;
  ASSERT_EQ(DialixWrapOperation(NS_GET_IID(IOrvexDialixGetDevicesOperation), fake, getter_AddRefs(devices)), NS_OK);
  nsCOMPtr<nsISupports> data;
  EXPECT_EQ(devices->GetOperationData(getter_AddRefs(data)), CLASS_E_CLASSNOTAVAILABLE);  // none yet
  fake->data = NewContact(L"x");  // not a device list
  EXPECT_EQ(devices->GetOperationData(getter_AddRefs(data)), E_FAIL);
  fake->dataResult = E_ACCESSDENIED;
  EXPECT_EQ(devices->GetOperationData(getter_AddRefs(data)), E_ACCESSDENIED);
  EXPECT_EQ(data.get(), nullptr);

  // The service operation is not of the wrapper's kind, or there is none.
  nsCOMPtr<IOrvexDialixOperation> contacts;
  ASSERT_EQ(DialixWrapOperation(NS_GET_IID(IOrvexDialixGetContactsOperation), fake, getter_AddRefs(contacts)), NS_OK);
  nsString id;
  EXPECT_EQ(contacts->GetClientId(id), NS_ERROR_NOT_INITIALIZED);
  nsCOMPtr<IOrvexDialixOperation> empty;
  ASSERT_EQ(DialixWrapOperation(NS_GET_IID(IOrvexDialixSendMessageOperation), nullptr, getter_AddRefs(empty)), NS_OK);
  EXPECT_EQ(empty->GetOperationData(getter_AddRefs(data)), E_NOTIMPL);
  EXPECT_EQ(empty->GetOperationId(id), NS_ERROR_NOT_INITIALIZED);
}

TEST_F(FirefoxWrapperTest, OnlyOurOwnWrappersArePassedBackToTheService) {
  CComPtr<CComObject<CUpdateContactOperation>> update = NewComObject<CUpdateContactOperation>();
  nsCOMPtr<IOrvexDialixOperation> operation;
  ASSERT_EQ(DialixWrapOperation(NS_GET_IID(IOrvexDialixUpdateContactOperation), update, getter_AddRefs(operation)),
            NS_OK);
  nsCOMPtr<IOrvexDialixUpdateContactOperation> face = do_QueryInterface<IOrvexDialixUpdateContactOperation>(operation.get());
  ASSERT_TRUE(face.get());
  nsCOMPtr<IOrvexDialixContact> none;
  EXPECT_EQ(face->GetContact(getter_AddRefs(none)), E_FAIL);  // nothing set yet
  CComPtr<CComObject<CContact>> contact = NewContact(L"BEGIN:VCARD\r\nEND:VCARD\r\n");
  nsCOMPtr<IOrvexDialixContact> wrapped = WrapService<CDialixContact>(contact);
  ASSERT_EQ(face->SetContact(wrapped), S_OK);
  nsCOMPtr<IOrvexDialixContact> back;
  ASSERT_EQ(face->GetContact(getter_AddRefs(back)), S_OK);
  CDialixContact* ours = DialixOwnObject<CDialixContact>(back);
  ASSERT_NE(ours, nullptr);
  EXPECT_TRUE(AtlIsSameObject(ours->Wrapped(), contact->GetUnknown()));
  EXPECT_EQ(face->SetContact(nullptr), E_FAIL);

  // A contact given where a message belongs is refused.
  CComPtr<CComObject<CUpdateSmsOperation>> updateSms = NewComObject<CUpdateSmsOperation>();
  nsCOMPtr<IOrvexDialixOperation> smsOperation;
  ASSERT_EQ(DialixWrapOperation(NS_GET_IID(IOrvexDialixUpdateSmsOperation), updateSms, getter_AddRefs(smsOperation)),
            NS_OK);
  nsCOMPtr<IOrvexDialixUpdateSmsOperation> smsFace = do_QueryInterface<IOrvexDialixUpdateSmsOperation>(smsOperation.get());
  EXPECT_EQ(smsFace->SetSms(reinterpret_cast<IOrvexDialixSms*>(wrapped.get())), E_FAIL);

  CComPtr<CComObject<CContactList>> list = NewComObject<CContactList>();
  list->SetSerialNumber(L"PHONE-1");
  nsCOMPtr<IOrvexDialixContactList> listWrapper = WrapService<CDialixContactList>(list);
  PRInt32 index = 5;
  EXPECT_EQ(listWrapper->AddContact(reinterpret_cast<IOrvexDialixContact*>(smsFace.get()), &index), E_FAIL);
  EXPECT_EQ(index, 5);
  PRInt32 count = -1;
  ASSERT_EQ(listWrapper->GetCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  nsCOMPtr<IOrvexDialixContact> created;
  ASSERT_EQ(listWrapper->CreateContact(getter_AddRefs(created)), S_OK);
  ASSERT_EQ(listWrapper->AddContact(created, &index), S_OK);
  EXPECT_EQ(index, 1);
}

TEST_F(FirefoxWrapperTest, ErrorInformationWithANullGuidReadsAsZeroDigits) {
  CComPtr<IErrorInfo> info = COperationTask::MakeErrorInfo(L"no phone");
  nsCOMPtr<IOrvexDialixErrorInfo> wrapped = WrapService<CDialixErrorInfo>(info);
  nsString guid, description;
  ASSERT_EQ(wrapped->GetGUID(guid), S_OK);
  EXPECT_EQ(TextOf(guid), L"{00000000-0000-0000-0000-000000000000}");
  ASSERT_EQ(wrapped->GetDescription(description), S_OK);
  EXPECT_EQ(TextOf(description), L"no phone");
}

}  // namespace

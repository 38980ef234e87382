#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "CCallNotification.h"
#include "CContactList.h"
#include "CDeviceList.h"
#include "CEventList.h"
#include "CEventsUpdatedNotification.h"
#include "CMessageReceivedNotification.h"
#include "CSmsList.h"
#include "ComText.h"
#include "StoreTestSupport.h"

namespace {

// Data objects live in the service's multithreaded apartment.
class DataObjectTest : public ::testing::Test {
protected:
  void SetUp() override { m_joined = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
  void TearDown() override {
    if (m_joined) CoUninitialize();
  }

  static CComPtr<IContact> NewContact(IContactList* list) {
    CComPtr<IContact> contact;
    EXPECT_EQ(list->CreateContact(&contact), S_OK);
    return contact;
  }
  static CComPtr<CComObject<CContactList>> NewContactList(const wchar_t* serial) {
    CComPtr<CComObject<CContactList>> list = NewComObject<CContactList>();
    list->SetSerialNumber(serial);
    return list;
  }
  // The text a getter answers, or "<failed>".
  template <class Getter>
  static std::wstring Text(Getter get) {
    BSTR text = nullptr;
    HRESULT hr = get(&text);
    std::wstring result = SUCCEEDED(hr) && text ? text : L"<failed>";
    SysFreeString(text);
    return result;
  }

  bool m_joined = false;
};

TEST_F(DataObjectTest, CollectionsCountFromOneAndEnumerateInBatches) {
  CComPtr<CComObject<CContactList>> list = NewContactList(L"P1");
  long index = 0;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(list->AddContact(NewContact(list), &index), S_OK);
  EXPECT_EQ(index, 5);

  CComPtr<IContact> item;
  EXPECT_EQ(list->get_Item(0, &item), E_INVALIDARG);
  EXPECT_EQ(list->get_Item(6, &item), E_FAIL);
  EXPECT_EQ(list->get_Item(1, nullptr), E_POINTER);
  ASSERT_EQ(list->get_Item(1, &item), S_OK);
  ASSERT_NE(item, nullptr);

  CComPtr<IUnknown> unknown;
  ASSERT_EQ(list->get__NewEnum(&unknown), S_OK);
  CComQIPtr<IEnumVARIANT> enumerator(unknown.p);
  ASSERT_NE(enumerator, nullptr);
  VARIANT batch[3];
  ULONG fetched = 0;
  EXPECT_EQ(enumerator->Next(3, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 3u);
  for (VARIANT& v : batch) {
    EXPECT_EQ(v.vt, VT_DISPATCH);
    VariantClear(&v);
  }
  CComPtr<IEnumVARIANT> clone;
  ASSERT_EQ(enumerator->Clone(&clone), S_OK);
  EXPECT_EQ(enumerator->Next(3, batch, &fetched), S_FALSE);  // two were left
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) VariantClear(&batch[i]);
  EXPECT_EQ(clone->Skip(1), S_OK);
  EXPECT_EQ(clone->Next(1, batch, nullptr), S_OK);  // the fifth
  VariantClear(&batch[0]);
  EXPECT_EQ(clone->Next(1, batch, &fetched), S_FALSE);
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(clone->Skip(6), S_FALSE);

  EXPECT_EQ(list->RemoveContact(0), E_INVALIDARG);
  EXPECT_EQ(list->RemoveContact(6), E_INVALIDARG);
  EXPECT_EQ(list->RemoveContact(5), S_OK);
  long count = 0;
  list->get_Count(&count);
  EXPECT_EQ(count, 4);
}

// Only the service's own live objects of the list's phone get in: a
// contact of another phone, or an object that merely claims the interface.
TEST_F(DataObjectTest, ListsTakeOnlyTheirOwnPhonesObjects) {
  CComPtr<CComObject<CContactList>> mine = NewContactList(L"P1");
  CComPtr<CComObject<CContactList>> other = NewContactList(L"P2");
  long index = -7;
  EXPECT_EQ(mine->AddContact(NewContact(other), &index), E_INVALIDARG);
  EXPECT_EQ(index, -7);
  EXPECT_EQ(mine->AddContact(nullptr, nullptr), E_INVALIDARG);
  CComPtr<IContact> contact = NewContact(mine);
  EXPECT_EQ(mine->AddContact(contact, nullptr), S_OK);

  // A message is no contact, though both are dispatch objects.
  CComPtr<CComObject<CSms>> sms = NewComObject<CSms>();
  sms->Init(nullptr, L"P1");
  EXPECT_EQ(mine->AddContact(reinterpret_cast<IContact*>(static_cast<ISms*>(sms.p)), nullptr), E_INVALIDARG);
  CComPtr<CComObject<CSmsList>> messages = NewComObject<CSmsList>();
  messages->SetSerialNumber(L"P1");
  EXPECT_EQ(messages->AddSMS(static_cast<ISms*>(sms.p), &index), S_OK);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(messages->AddSMS(contact, nullptr), E_INVALIDARG);
}

TEST_F(DataObjectTest, ItemsShowTheirRecords) {
  CComPtr<CComObject<CContactList>> list = NewContactList(L"P1");
  CComPtr<IContact> contact = NewContact(list);
  EXPECT_EQ(Text([&](BSTR* t) { return contact->get_DbId(t); }), L"-1");
  EXPECT_EQ(Text([&](BSTR* t) { return contact->get_PhoneId(t); }), L"");
  EXPECT_EQ(contact->put_TopContact(1), S_OK);  // only VARIANT_TRUE counts
  VARIANT_BOOL top = VARIANT_TRUE;
  contact->get_TopContact(&top);
  EXPECT_EQ(top, VARIANT_FALSE);

  CComBSTR card(L"BEGIN:VCARD\r\nN:M\u00fcller;Hans\r\nEND:VCARD\r\n");
  EXPECT_EQ(contact->put_VCard(card), S_OK);
  EXPECT_EQ(Text([&](BSTR* t) { return contact->get_VCard(t); }), std::wstring(card));
  EXPECT_NE(Text([&](BSTR* t) { return contact->get_FormattedName(t); }).find(L"Hans M\u00fcller"),
            std::wstring::npos);
  // Characters the code page cannot carry are refused; the card stays.
  CComBSTR foreign(L"BEGIN:VCARD\r\nN:\u5c71\u7530;\u592a\u90ce\r\nEND:VCARD\r\n");
  EXPECT_EQ(contact->put_VCard(foreign), E_INVALIDARG);
  EXPECT_EQ(Text([&](BSTR* t) { return contact->get_VCard(t); }), std::wstring(card));

  CZembraEventLog entry;
  entry.SetId(255);
  entry.SetDuration(61);
  entry.SetBytesSent(5000000000LL);
  CComPtr<CComObject<CEvent>> event = NewComObject<CEvent>();
  event->Init(&entry, L"P1");
  EXPECT_EQ(Text([&](BSTR* t) { return event->get_Id(t); }), L"000000ff");
  VARIANT value;
  value.vt = VT_BSTR;  // garbage the getter must not try to free
  value.bstrVal = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234));
  ASSERT_EQ(event->get_Duration(&value), S_OK);
  EXPECT_EQ(value.vt, VT_UI4);
  EXPECT_EQ(value.ulVal, 61u);
  ASSERT_EQ(event->get_BytesSent(&value), S_OK);
  EXPECT_EQ(value.vt, VT_UI8);
  EXPECT_EQ(value.ullVal, 5000000000ULL);

  CComPtr<CComObject<CSms>> sms = NewComObject<CSms>();
  sms->Init(nullptr, L"P1");
  CComPtr<IAddressList> addresses;
  ASSERT_EQ(sms->get_Addresses(&addresses), S_OK);
  ASSERT_NE(addresses, nullptr);
  long count = -1;
  addresses->get_Count(&count);
  EXPECT_EQ(count, 0);
}

TEST_F(DataObjectTest, NotificationsAnswerAndReleaseWhatTheyHold) {
  CComPtr<CComObject<CEventsUpdatedNotification>> updated = NewComObject<CEventsUpdatedNotification>();
  updated->Init(L"P1", nullptr);
  CComPtr<IEvent> event;
  EXPECT_EQ(updated->get_Event(&event), E_NOINTERFACE);
  EXPECT_EQ(Text([&](BSTR* t) { return updated->get_SerialNumber(t); }), L"P1");

  size_t before = CSmsRegistry::Count();
  {
    CComPtr<CComObject<CSms>> sms = NewComObject<CSms>();
    sms->Init(nullptr, L"P1");
    CComPtr<CComObject<CMessageReceivedNotification>> received = NewComObject<CMessageReceivedNotification>();
    received->Init(L"P1", sms);
    sms.Release();
    EXPECT_EQ(CSmsRegistry::Count(), before + 1);  // held by the notification
  }
  EXPECT_EQ(CSmsRegistry::Count(), before);

  CComPtr<CComObject<CMessageReceivedNotification>> empty = NewComObject<CMessageReceivedNotification>();
  empty->Init(L"P1", nullptr);
  CComPtr<ISms> none;
  EXPECT_EQ(empty->get_Message(&none), S_OK);
  EXPECT_EQ(none, nullptr);

  CComPtr<CComObject<CCallNotification>> call = NewComObject<CCallNotification>();
  call->Init(L"P1", nullptr, 6);
  EXPECT_EQ(Text([&](BSTR* t) { return call->get_Number(t); }), L"");
  CComQIPtr<ISNotification> base(static_cast<ICallNotification*>(call.p));
  EXPECT_NE(base, nullptr);
}

// Clients may read the name on one thread while another writes the card.
TEST_F(DataObjectTest, NamesReadWhileCardsAreWrittenStayWhole) {
  CComPtr<CComObject<CContactList>> list = NewContactList(L"P1");
  CComPtr<IContact> contact = NewContact(list);
  const wchar_t* names[] = {L"BEGIN:VCARD\r\nN:Aaaaaaaaaaaaaaaa;Bbbbbbbbbbbbbbbbb\r\nEND:VCARD\r\n",
                            L"BEGIN:VCARD\r\nN:Cc;Dd\r\nEND:VCARD\r\n"};
  std::wstring whole[2];
  for (int i = 0; i < 2; ++i) {
    contact->put_VCard(CComBSTR(names[i]));
    whole[i] = Text([&](BSTR* t) { return contact->get_FormattedName(t); });
  }
  ASSERT_NE(whole[0], whole[1]);
  std::atomic<bool> stop(false);
  std::atomic<int> torn(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      for (int i = 0; i < 3000 && !stop; ++i) {
        if (t % 2) {
          contact->put_VCard(CComBSTR(names[i % 2]));
        } else {
          BSTR name = nullptr;
          if (SUCCEEDED(contact->get_FormattedName(&name))) {
            std::wstring text = name ? name : L"";
            if (text != whole[0] && text != whole[1]) ++torn;
          }
          SysFreeString(name);
        }
      }
      CoUninitialize();
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace

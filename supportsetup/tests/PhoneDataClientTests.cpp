#include <windows.h>
#include <gtest/gtest.h>
#include <cwchar>
#include <string>
#include "PhoneDataClient.h"
#include "SupportTestSupport.h"
#include "ZCLHandle.h"

// The phone-data client: COM on its thread, readiness, keys and answers.

namespace SupportTesting {
namespace {

class PhoneDataClientTest : public SupportTest {};

bool ComJoined() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier));
}

struct CThreadRun {
  bool before = true, ready = false, initialized = false, during = false, after = true;
};

DWORD WINAPI BuildOnBareThread(LPVOID param) {
  CThreadRun* run = static_cast<CThreadRun*>(param);
  run->before = ComJoined();
  {
    CPhoneDataClient client(L"");
    run->ready = client.IsReady();
    run->initialized = client.InitializedCom();
    run->during = ComJoined();
  }
  run->after = ComJoined();
  return 0;
}

TEST_F(PhoneDataClientTest, OnAThreadWithoutComItJoinsComAndLeavesAgain) {
  CThreadRun run;
  CHandle thread(CreateThread(nullptr, 0, BuildOnBareThread, &run, 0, nullptr));
  ASSERT_TRUE(thread.IsValid());
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 60000), WAIT_OBJECT_0);
  EXPECT_FALSE(run.before);
  EXPECT_TRUE(run.ready);
  EXPECT_TRUE(run.initialized);
  EXPECT_TRUE(run.during);
  EXPECT_FALSE(run.after);
}

TEST_F(PhoneDataClientTest, AThreadInComIsLeftAsItWas) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    CPhoneDataClient client(L"");
    EXPECT_TRUE(client.IsReady());
    EXPECT_FALSE(client.InitializedCom());
  }
  EXPECT_TRUE(ComJoined());
  CoUninitialize();
}

TEST_F(PhoneDataClientTest, AnEmptyApplicationNameSkipsTheRegistration) {
  { CPhoneDataClient client(L"Named"); EXPECT_TRUE(client.IsReady()); }
  std::vector<std::wstring> before = m_world->PhoneDataApplications();
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before[0], L"Named");
  {
    CPhoneDataClient client(L"");
    EXPECT_TRUE(client.IsReady());
  }
  { CPhoneDataClient client(nullptr); EXPECT_TRUE(client.IsReady()); }
  EXPECT_EQ(m_world->PhoneDataApplications(), before);
}

TEST_F(PhoneDataClientTest, AFailedRegistrationLeavesTheClientNotReady) {
  m_world->InjectFault("IPhoneDataDevices::RegisterApplication", E_ACCESSDENIED, 1);
  CPhoneDataClient client(L"Refused");
  EXPECT_FALSE(client.IsReady());
  EXPECT_EQ(client.RefreshDevice(L"P"), E_FAIL);
}

TEST_F(PhoneDataClientTest, AnAbsentServerMakesEveryQuestionNotReady) {
  Plug(L"P", L"Model", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"Model");
  Versions(L"P", L"Text Messages", {L"1.0"});
  m_world->SetPhoneDataAbsent(true);
  {
    CPhoneDataClient client(L"app");
    EXPECT_FALSE(client.IsReady());
    EXPECT_EQ(client.RefreshDevice(L"P"), E_FAIL);
    EXPECT_FALSE(client.ListContains(L"P", L"Model", L"TAVO"));
    EXPECT_EQ(client.GetNamedValue(L"P", L"Text Messages"), nullptr);
  }
  m_world->SetPhoneDataAbsent(false);
  CPhoneDataClient client(L"app");
  ASSERT_TRUE(client.IsReady());
  EXPECT_EQ(client.RefreshDevice(L"P"), S_OK);
  EXPECT_TRUE(client.ListContains(L"P", L"Model", L"TAVO"));
  EXPECT_FALSE(client.ListContains(L"P", L"Model", L"MF"));
  EXPECT_FALSE(client.ListContains(L"P", L"", L"TAVO"));
  EXPECT_FALSE(client.ListContains(L"P", nullptr, L"TAVO"));
  const wchar_t* value = client.GetNamedValue(L"P", L"Text Messages");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, L"1.0");
  EXPECT_EQ(value[4], L'\0');  // the empty text after the last
}

TEST_F(PhoneDataClientTest, AKeyWithAnEmptySecondPartIsTheFirstPartAlone) {
  EXPECT_EQ(CPhoneDataClient::PhoneKey(L"TAVO", L""), L"TAVO");
  EXPECT_EQ(CPhoneDataClient::PhoneKey(L"TAVO", nullptr), L"TAVO");
  EXPECT_EQ(CPhoneDataClient::PhoneKey(L"MF", L"123"), L"MF;IMEI:123");
}

TEST_F(PhoneDataClientTest, AnAnswerLongerThanTheBufferIsCut) {
  Plug(L"P", L"Model", kFirstGroup, kExamined);
  Versions(L"P", L"Text Messages", {std::wstring(6000, L'9')});
  CPhoneDataClient client(L"");
  ASSERT_TRUE(client.IsReady());
  const wchar_t* value = client.GetNamedValue(L"P", L"Text Messages");
  ASSERT_NE(value, nullptr);
  const size_t chars = CPhoneDataClient::kBufferBytes / sizeof(wchar_t);
  EXPECT_EQ(wcslen(value), chars - 2);
  EXPECT_EQ(value[chars - 1], L'\0');
}

TEST_F(PhoneDataClientTest, OnlyAOneDimensionalArrayOfTextsIsRead) {
  std::vector<std::wstring> texts;
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  SAFEARRAY* square = SafeArrayCreate(VT_BSTR, 2, bounds);
  EXPECT_FALSE(PhoneDataTexts(square, &texts));
  SafeArrayDestroy(square);
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 2);
  EXPECT_FALSE(PhoneDataTexts(numbers, &texts));
  SafeArrayDestroy(numbers);
  EXPECT_FALSE(PhoneDataTexts(nullptr, &texts));

  SAFEARRAY* list = SafeArrayCreateVector(VT_BSTR, 1, 3);  // bounds 1 to 3
  LONG at = 3;
  BSTR model = SysAllocString(L"Model");
  SafeArrayPutElement(list, &at, model);
  SysFreeString(model);
  ASSERT_TRUE(PhoneDataTexts(list, &texts));
  SafeArrayDestroy(list);
  EXPECT_EQ(texts, std::vector<std::wstring>({L"", L"", L"Model"}));
}

}  // namespace
}  // namespace SupportTesting

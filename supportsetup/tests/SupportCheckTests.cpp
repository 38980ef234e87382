#include <windows.h>
#include <gtest/gtest.h>
#include <clocale>
#include "LanyxImports.h"
#include "SupportOperations.h"
#include "SupportTestSupport.h"

// The support check: which flags a phone gets from its type, capability
// byte, category lists and component versions, and how a check that cannot
// examine the phone ends.

namespace SupportTesting {
namespace {

using namespace SutrelSupport;

class SupportCheckTest : public SupportTest {
protected:
  // A first-group phone, examined, listed under the word.
  void ListedPhone(const std::wstring& serial, const wchar_t* word) {
    Plug(serial, L"Model " + serial, kFirstGroup, kExamined);
    m_world->AddToCategory(word, L"Model " + serial);
  }
  int TextFlagFor(const std::wstring& version) {
    Versions(L"T", L"Text Messages", {version});
    int text = -1, multimedia = -1, provider = -1;
    EXPECT_EQ(NeedSupport(L"T", &text, &multimedia, &provider), S_OK);
    EXPECT_EQ(multimedia, 0);
    EXPECT_EQ(provider, 0);
    return text;
  }
};

TEST_F(SupportCheckTest, TheTextMessageFlagIsSetBelowVersionOnePointSeven) {
  ListedPhone(L"T", L"TAVO");
  EXPECT_EQ(TextFlagFor(L"1.7"), 0);
  EXPECT_EQ(TextFlagFor(L"2"), 0);
  EXPECT_EQ(TextFlagFor(L"1.69"), 1);
  EXPECT_EQ(TextFlagFor(L"abc"), 1);
  EXPECT_EQ(TextFlagFor(L""), 1);
  // A text too long for the 20-character buffer counts as below.
  EXPECT_EQ(TextFlagFor(L"1.7000000000000000000000000"), 1);
  EXPECT_EQ(TextFlagFor(L"1.70000000000000000"), 0);  // 19 characters fit
}

TEST_F(SupportCheckTest, VersionTextsAreReadTheSameWhateverTheLocale) {
  ListedPhone(L"T", L"TAVO");
  // The locale of language 1035 writes a decimal comma.
  SetThreadLocale(MAKELCID(0x040B, SORT_DEFAULT));
  const char* previous = setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  setlocale(LC_NUMERIC, "Finnish_Finland.1252");
  int at = TextFlagFor(L"1.7"), below = TextFlagFor(L"1.69");
  setlocale(LC_NUMERIC, saved.c_str());
  SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT));
  EXPECT_EQ(at, 0);
  EXPECT_EQ(below, 1);

  double value = 0;
  EXPECT_TRUE(ParseVersion(L" 1.5", &value));
  EXPECT_DOUBLE_EQ(value, 1.5);
  EXPECT_TRUE(ParseVersion(L"1,9", &value));  // a comma ends the number
  EXPECT_DOUBLE_EQ(value, 1.0);
  EXPECT_FALSE(ParseVersion(L".", &value));
  EXPECT_FALSE(ParseVersion(L"v1", &value));
}

TEST_F(SupportCheckTest, TheMultimediaFlagIsSetBelowVersionOneForAListedPhone) {
  ListedPhone(L"M", L"MF");
  Versions(L"M", L"Multimedia Messages", {L"0.9"});
  int text = -1, multimedia = -1, provider = -1;
  ASSERT_EQ(NeedSupport(L"M", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(text, 0);
  EXPECT_EQ(multimedia, 1);
  EXPECT_EQ(provider, 0);

  Versions(L"M", L"Multimedia Messages", {L"1.0"});
  ASSERT_EQ(NeedSupport(L"M", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(multimedia, 0);
}

TEST_F(SupportCheckTest, APhoneListedUnderNoWordGetsNoFlag) {
  Plug(L"U", L"Unlisted", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"unlisted");  // the lists are case-sensitive
  int text = -1, multimedia = -1, provider = -1;
  ASSERT_EQ(NeedSupport(L"U", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(text + multimedia + provider, 0);
}

TEST_F(SupportCheckTest, WithoutTheCapabilityBitTheCheckSetsNothingButTheForcedPathExamines) {
  Plug(L"C", L"Model C", kFirstGroup, 0x1F);
  m_world->AddToCategory(L"TAVO", L"Model C");
  Versions(L"C", L"Text Messages", {L"1.0"});
  int text = -1, multimedia = -1, provider = -1;
  ASSERT_EQ(NeedSupport(L"C", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(text + multimedia + provider, 0);
  EXPECT_EQ(Install(L"C", 0), S_OK);
  EXPECT_TRUE(PackageNames(L"C").empty());

  ASSERT_EQ(Install(L"C", kInstallForced), S_OK);
  EXPECT_EQ(PackageNames(L"C"), std::vector<std::wstring>({L"Kalvosync.SIS"}));
}

TEST_F(SupportCheckTest, ASecondGroupPhoneReadAtOneAfterTheSecondRefreshGetsNoFlag) {
  Plug(L"S", L"Second", kSecondGroup, 0);
  Versions(L"S", L"Multimedia Messages", {L"0.1", L"0.5", L"1.0"});
  int text = -1, multimedia = -1, provider = -1;
  ASSERT_EQ(NeedSupport(L"S", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(provider, 0);
  EXPECT_EQ(m_world->PhoneDataRefreshes(L"S"), 2u);

  Versions(L"S", L"Multimedia Messages", {L"0.1", L"0.5", L"0.9"});
  ASSERT_EQ(NeedSupport(L"S", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(provider, 1);
  EXPECT_EQ(text + multimedia, 0);
}

TEST_F(SupportCheckTest, OtherTypeCodesNeverNeedAPackage) {
  Plug(L"O", L"Other", kOtherGroup, 0xFF);
  m_world->AddToCategory(L"TAVO", L"Other");
  int text = -1, multimedia = -1, provider = -1;
  ASSERT_EQ(NeedSupport(L"O", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(text + multimedia + provider, 0);
  EXPECT_EQ(Install(L"O", kInstallForced), S_OK);
  EXPECT_TRUE(PackageNames(L"O").empty());
}

TEST_F(SupportCheckTest, BadArgumentsFailAndWriteNoFlag) {
  ListedPhone(L"T", L"TAVO");
  int text = 7, multimedia = 7, provider = 7;
  EXPECT_EQ(NeedSupport(L"T", nullptr, &multimedia, &provider), E_FAIL);
  EXPECT_EQ(NeedSupport(L"T", &text, nullptr, &provider), E_FAIL);
  EXPECT_EQ(NeedSupport(L"T", &text, &multimedia, nullptr), E_FAIL);
  EXPECT_EQ(NeedSupport(nullptr, &text, &multimedia, &provider), E_FAIL);
  EXPECT_EQ(NeedSupport(L"", &text, &multimedia, &provider), E_FAIL);
  EXPECT_EQ(text, 7);
  EXPECT_EQ(multimedia, 7);
  EXPECT_EQ(provider, 7);
  EXPECT_EQ(Install(nullptr, 0), E_FAIL);
  EXPECT_TRUE(LibraryTerminated());
}

TEST_F(SupportCheckTest, APhoneThatCannotBeExaminedFailsWithTheLibraryTerminated) {
  ListedPhone(L"T", L"TAVO");
  Versions(L"T", L"Text Messages", {L"1.0"});
  for (const char* entry : {"LNYXOpenDM", "LNYXGetDevice", "LNYXGetDeviceInfo"}) {
    SCOPED_TRACE(entry);
    m_world->InjectFault(entry, ELNYX_UNKNOWN_ERROR, 1);
    int text = 7, multimedia = 7, provider = 7;
    EXPECT_EQ(NeedSupport(L"T", &text, &multimedia, &provider), E_FAIL);
    EXPECT_EQ(text + multimedia + provider, 0);
    EXPECT_EQ(FaultsLeft(entry), 0u);
    EXPECT_TRUE(LibraryTerminated());

    m_world->InjectFault(entry, ELNYX_UNKNOWN_ERROR, 1);
    EXPECT_EQ(Install(L"T", kInstallForced), E_FAIL);
    EXPECT_TRUE(LibraryTerminated());
  }
  int text = 7, multimedia = 7, provider = 7;
  EXPECT_EQ(NeedSupport(L"nobody", &text, &multimedia, &provider), E_FAIL);
  EXPECT_TRUE(LibraryTerminated());
  EXPECT_TRUE(PackageNames(L"T").empty());
}

TEST_F(SupportCheckTest, ALibraryThatCannotBeInitialisedFailsBothExports) {
  ListedPhone(L"T", L"TAVO");
  int text = 7, multimedia = 7, provider = 7;
  m_world->InjectFault("RUVON_Initialize", ELNYX_INIT_FAILED, 1);
  EXPECT_EQ(NeedSupport(L"T", &text, &multimedia, &provider), E_FAIL);
  EXPECT_EQ(text + multimedia + provider, 0);
  m_world->InjectFault("FSKOR_Initialize", ELNYX_INIT_FAILED, 1);
  EXPECT_EQ(Install(L"T", 0), E_FAIL);
  EXPECT_TRUE(LibraryTerminated());
}

TEST_F(SupportCheckTest, TheCapabilityReaderLeavesTheLibraryCountAsItFoundIt) {
  ListedPhone(L"T", L"TAVO");
  ASSERT_EQ(SutrelLnyxInitialize(SutrelLnyxSuiteVersion(L"suite", 0)), 0u);
  int text = 0, multimedia = 0, provider = 0;
  EXPECT_TRUE(ReadPhoneCapabilities(L"T", L"Model T", &text, &multimedia, &provider));
  EXPECT_EQ(text, 1);
  SutrelLnyxTerminate(0);
  EXPECT_TRUE(LibraryTerminated());
}

TEST_F(SupportCheckTest, WithoutThePhoneDataServerAFirstGroupPhoneGetsNoFlagAndASecondGroupPhoneTheProvider) {
  ListedPhone(L"T", L"TAVO");
  Versions(L"T", L"Text Messages", {L"1.0"});
  Plug(L"S", L"Second", kSecondGroup, 0);
  Versions(L"S", L"Multimedia Messages", {L"5"});
  m_world->SetPhoneDataAbsent(true);
  int text = -1, multimedia = -1, provider = -1;
  EXPECT_EQ(NeedSupport(L"T", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(text + multimedia + provider, 0);
  EXPECT_EQ(NeedSupport(L"S", &text, &multimedia, &provider), S_OK);
  EXPECT_EQ(provider, 1);
  m_world->SetPhoneDataAbsent(false);
}

}  // namespace
}  // namespace SupportTesting

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "ZCLHandle.h"
#include "ZCLText.h"

namespace {

bool IsOpenHandle(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueHandleTest, MovesOwnershipAndFreesExactlyOnce) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CHandle first(raw);
  CHandle second(std::move(first));
  EXPECT_FALSE(first.IsValid());
  EXPECT_EQ(second.Get(), raw);
  CHandle third;
  third = std::move(second);
  EXPECT_TRUE(IsOpenHandle(raw));
  third.Reset();
  EXPECT_FALSE(IsOpenHandle(raw));
  // INVALID_HANDLE_VALUE from CreateFile is "none", never closed.
  CHandle failed(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed);
}

TEST(TextTest, ConversionsRoundTripAndTreatNullAsEmpty) {
  const std::wstring text = L"M\u00fcller \u5c71\u7530 \U0001F4F1";
  EXPECT_EQ(ZCLUtf8ToWide(ZCLWideToUtf8(text)), text);
  EXPECT_EQ(ZCLWideToUtf8(L"\u00fc"), "\xc3\xbc");
  EXPECT_EQ(ZCLWideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(ZCLUtf8ToWide(static_cast<const char*>(nullptr)), L"");
  EXPECT_EQ(ZCLAnsiToWide(ZCLWideToAnsi(L"plain").c_str()), L"plain");
  // Embedded zeros survive the std::string forms.
  EXPECT_EQ(ZCLWideToUtf8(std::wstring(L"a\0b", 3)).size(), 3u);
  EXPECT_STREQ(ZCLNullToEmpty(static_cast<const wchar_t*>(nullptr)), L"");
}

class RegistryReadTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_subKey = L"Software\\DialixTests\\Read" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              m_key.Put(), nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    m_key.Reset();
    RegDeleteKeyW(HKEY_CURRENT_USER, m_subKey.c_str());
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  std::wstring m_subKey;
  CRegistryKey m_key;
};

TEST_F(RegistryReadTest, ValuesAreReadOnlyInTheirOwnTypeAndAlwaysTerminated) {
  DWORD five = 5;
  Set(L"Number", REG_DWORD, &five, sizeof(five));
  Set(L"Text", REG_SZ, L"1234", 8);  // stored without its terminator
  DWORD number = 0;
  std::wstring text;
  EXPECT_TRUE(ZCLReadRegistryDword(HKEY_CURRENT_USER, m_subKey.c_str(), L"Number", &number));
  EXPECT_EQ(number, 5u);
  EXPECT_TRUE(ZCLReadRegistryString(HKEY_CURRENT_USER, m_subKey.c_str(), L"Text", &text));
  EXPECT_EQ(text, L"1234");
  EXPECT_FALSE(ZCLReadRegistryDword(HKEY_CURRENT_USER, m_subKey.c_str(), L"Text", &number));
  EXPECT_FALSE(ZCLReadRegistryString(HKEY_CURRENT_USER, m_subKey.c_str(), L"Number", &text));
  EXPECT_FALSE(ZCLReadRegistryDword(HKEY_CURRENT_USER, m_subKey.c_str(), L"Missing", &number));
  EXPECT_FALSE(ZCLReadRegistryDword(HKEY_CURRENT_USER, (m_subKey + L"\\None").c_str(), L"Number", &number));
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "QorsalDialix.h"
#include "ZCLHandle.h"

// The suite's information readers, as the support library's clients see them.

namespace {

class SuiteInfoTest : public ::testing::Test {
protected:
  void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, QORSAL_DIALIX_KEY); }
  void Write(const wchar_t* name, const std::wstring& value) {
    CRegistryKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, QORSAL_DIALIX_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
};

TEST_F(SuiteInfoTest, MissingInformationGivesTheFixedTextAndNoManufacturer) {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, QORSAL_DIALIX_KEY);
  CNorvelInfoReader info;
  EXPECT_STREQ(info.GetNorvel(), QORSAL_DIALIX_DEFAULT_NORVEL);
  CNorvel2InfoReader ui;
  EXPECT_FALSE(ui.ReadNorvel());
  EXPECT_EQ(ui.GetUIManufacturer(), nullptr);
  Write(L"UIManufacturer", L"");
  EXPECT_FALSE(ui.ReadNorvel());
  EXPECT_EQ(ui.GetUIManufacturer(), nullptr);
}

TEST_F(SuiteInfoTest, TheSuitesOwnValuesAreReadAndCutToTheReadersCapacity) {
  Write(L"Norvel", L"Suite 7.1");
  Write(L"UIManufacturer", std::wstring(500, L'm'));
  CNorvelInfoReader info;
  EXPECT_STREQ(info.GetNorvel(), L"Suite 7.1");
  CNorvel2InfoReader ui;
  ASSERT_TRUE(ui.ReadNorvel());
  ASSERT_NE(ui.GetUIManufacturer(), nullptr);
  EXPECT_EQ(std::wstring(ui.GetUIManufacturer()), std::wstring(CNorvel2InfoReader::kCapacity - 1, L'm'));
}

}  // namespace

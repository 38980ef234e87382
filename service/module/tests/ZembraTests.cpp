#include <windows.h>
#include <gtest/gtest.h>
#include "CSZembraModule.h"
#include "CZembra.h"
#include "TestModule.h"

namespace {

class ZembraTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_EQ(S_OK, CZembra::_ClassFactoryCreatorClass::CreateInstance(
                        reinterpret_cast<void*>(CZembra::_CreatorClass::CreateInstance),
                        IID_IClassFactory, reinterpret_cast<void**>(&m_factory)));
  }
  void TearDown() override {
    m_factory.Release();  // the main object goes with its factory
    ::CoUninitialize();
  }
  CComPtr<IZembra> Create() {
    CComPtr<IZembra> zembra;
    EXPECT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IZembra, reinterpret_cast<void**>(&zembra)));
    return zembra;
  }

  CTestModule m_module;
  CComPtr<IClassFactory> m_factory;
};

TEST_F(ZembraTest, EveryCreationGetsTheOneMainObjectWhichLocksTheModuleWhileHeld) {
  CComPtr<IZembra> a = Create();
  CComPtr<IZembra> b = Create();
  ASSERT_TRUE(a);
  EXPECT_EQ(a.p, b.p);
  EXPECT_EQ(1, m_module.GetLockCount());
  a.Release();
  b.Release();
  EXPECT_EQ(0, m_module.GetLockCount());
}

TEST_F(ZembraTest, TheMainObjectAnswersItsInterfacesAndErrorInfoOnlyForIZembra) {
  CComPtr<IZembra> zembra = Create();
  CComQIPtr<IDispatch> dispatch(zembra.p);
  EXPECT_TRUE(dispatch);
  CComQIPtr<ISupportErrorInfo> errors(zembra.p);
  ASSERT_TRUE(errors);
  EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(IID_IZembra));
  EXPECT_EQ(S_FALSE, errors->InterfaceSupportsErrorInfo(IID_IDispatch));
  CComQIPtr<IOperation> operation(zembra.p);
  EXPECT_FALSE(operation);
}

TEST_F(ZembraTest, DispatchNamesComeFromTheTypeLibrary) {
  CComPtr<IZembra> zembra = Create();
  const wchar_t* names[] = {L"Connect", L"Disconnect", L"CreateOperation", L"BeginOperation",
                            L"CancelOperation", L"SubscribeNotification",
                            L"UnsubscribeNotification"};
  for (DISPID expected = 1; expected <= 7; ++expected) {
    LPOLESTR name = const_cast<LPOLESTR>(names[expected - 1]);
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, zembra->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) << names[expected - 1];
    EXPECT_EQ(expected, id);
  }
  CComPtr<ITypeInfo> info;
  EXPECT_EQ(S_OK, zembra->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
  EXPECT_EQ(DISP_E_BADINDEX, zembra->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info));
}

TEST(ServiceObjectMap, ListsThirteenClassesOfWhichOnlyZembraIsCreatable) {
  int count = 0;
  for (_ATL_OBJMAP_ENTRY* entry = ServiceObjectMap; entry->pclsid; ++entry) {
    ++count;
    bool zembra = ::InlineIsEqualGUID(*entry->pclsid, CLSID_Zembra) != 0;
    EXPECT_EQ(zembra, entry->pfnGetClassObject != nullptr);
    EXPECT_TRUE(entry->pfnUpdateRegistry != nullptr);
  }
  EXPECT_EQ(13, count);
}

// "LogLevel" is honoured only as a DWORD, and read with read access only.
TEST(LogLevelSetting, OnlyADwordValueCounts) {
  const wchar_t key[] = L"Software\\Orvex Dialix Tests\\LogLevel";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
  DWORD level = 77;
  EXPECT_FALSE(ReadLogLevel(HKEY_CURRENT_USER, key, &level));

  HKEY handle = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &handle, nullptr));
  EXPECT_FALSE(ReadLogLevel(HKEY_CURRENT_USER, key, &level));
  const wchar_t text[] = L"5";
  ::RegSetValueExW(handle, L"LogLevel", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
  EXPECT_FALSE(ReadLogLevel(HKEY_CURRENT_USER, key, &level));
  DWORD five = 5;
  ::RegSetValueExW(handle, L"LogLevel", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&five), sizeof(five));
  EXPECT_FALSE(ReadLogLevel(HKEY_CURRENT_USER, key, &level));
  EXPECT_EQ(77u, level);
  ::RegSetValueExW(handle, L"LogLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), sizeof(five));
  EXPECT_TRUE(ReadLogLevel(HKEY_CURRENT_USER, key, &level));
  EXPECT_EQ(5u, level);
  ::RegCloseKey(handle);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvex Dialix Tests");
}

}  // namespace

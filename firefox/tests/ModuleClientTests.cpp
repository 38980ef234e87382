#include <windows.h>
#include <gtest/gtest.h>
#include <thread>
#include "CDialixOperation.h"
#include "DialixModule.h"
#include "FirefoxTestSupport.h"

namespace {

::testing::Environment* const g_proxies = ::testing::AddGlobalTestEnvironment(new CProxyRegistration());

const nsCID kDialixCid = DIALIX_XPCOM_CID;

nsCOMPtr<nsIModule> NewModule() {
  nsCOMPtr<nsIModule> module;
  EXPECT_EQ(DialixNewModule(getter_AddRefs(module)), NS_OK);
  return module;
}

nsCOMPtr<nsIFactory> FactoryOf(nsIModule* module) {
  nsCOMPtr<nsIFactory> factory;
  EXPECT_EQ(module->GetClassObject(nullptr, kDialixCid, NS_GET_IID(nsIFactory),
                                   reinterpret_cast<void**>(getter_AddRefs(factory))),
            NS_OK);
  return factory;
}

APTTYPE ApartmentOfThisThread(bool* hasCom) {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier;
  *hasCom = SUCCEEDED(CoGetApartmentType(&type, &qualifier));
  return type;
}

// --- Module

TEST_F(FirefoxTest, ModuleClassInfoHoldsTheComponentsOneInterfaceAndFillsTheSlot) {
  nsCOMPtr<nsIClassInfo> before;
  EXPECT_EQ(dialix->QueryInterface(NS_GET_IID(nsIClassInfo), reinterpret_cast<void**>(getter_AddRefs(before))),
            NS_ERROR_NO_INTERFACE);
  EXPECT_EQ(before.get(), nullptr);

  nsCOMPtr<nsIModule> module = NewModule();
  nsCOMPtr<nsIFactory> factory = FactoryOf(module);
  nsCOMPtr<nsIClassInfo> info;
  ASSERT_EQ(dialix->QueryInterface(NS_GET_IID(nsIClassInfo), reinterpret_cast<void**>(getter_AddRefs(info))), NS_OK);
  PRUint32 count = 0;
  nsIID** ids = nullptr;
  ASSERT_EQ(info->GetInterfaces(&count, &ids), NS_OK);
  ASSERT_EQ(count, 1u);
  EXPECT_TRUE(ids[0]->Equals(NS_GET_IID(IOrvexDialix)));
  NS_Free(ids[0]);
  NS_Free(ids);
  char* contract = nullptr;
  ASSERT_EQ(info->GetContractID(&contract), NS_OK);
  EXPECT_STREQ(contract, "@dialix.example/OrvexDialix/xpOrvexDialix;1");
  NS_Free(contract);

  // A registrar that does not exist is refused; the module keeps working.
  EXPECT_EQ(module->RegisterSelf(nullptr, nullptr, "", ""), NS_ERROR_NO_INTERFACE);
  info = nullptr;
  factory = nullptr;
  module = nullptr;  // the factory goes, and the slot is empty again
  EXPECT_EQ(dialix->QueryInterface(NS_GET_IID(nsIClassInfo), reinterpret_cast<void**>(getter_AddRefs(info))),
            NS_ERROR_NO_INTERFACE);
}

// Takes a class's local-server registration away for the scope and puts it
// back; the tests that touch the prefix's service registration never run at once.
class CServerRegistrationHidden {
public:
  explicit CServerRegistrationHidden(REFCLSID clsid) {
    wchar_t text[40] = L"";
    StringFromGUID2(clsid, text, 40);
    m_key = std::wstring(L"CLSID\\") + text + L"\\LocalServer32";
    wchar_t value[MAX_PATH * 2] = L"";
    LONG size = sizeof(value) - sizeof(wchar_t);
    m_present = RegQueryValueW(HKEY_CLASSES_ROOT, m_key.c_str(), value, &size) == ERROR_SUCCESS;
    if (!m_present) return;
    m_value = value;
    RegDeleteKeyW(HKEY_CLASSES_ROOT, m_key.c_str());
  }
  ~CServerRegistrationHidden() {
    if (m_present)
      RegSetValueW(HKEY_CLASSES_ROOT, m_key.c_str(), REG_SZ, m_value.c_str(),
                   static_cast<DWORD>(m_value.size() * sizeof(wchar_t)));
  }

private:
  std::wstring m_key, m_value;
  bool m_present = false;
};

TEST_F(FirefoxTest, ModuleFactoryRefusesAggregationAndAServiceThatCannotBeMade) {
  nsCOMPtr<nsIModule> module = NewModule();
  nsCOMPtr<nsIFactory> factory = FactoryOf(module);
  void* made = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(dialix, NS_GET_IID(IOrvexDialix), &made), NS_ERROR_NO_AGGREGATION);
  EXPECT_EQ(made, nullptr);
  ASSERT_EQ(factory->CreateInstance(nullptr, NS_GET_IID(IOrvexDialix), &made), NS_OK);
  static_cast<IOrvexDialix*>(made)->Release();

  served.reset();
  served.reset(new CFakeZembraServed(nullptr));  // the class object fails every creation
  // Wine falls back to a registered server when the class object fails: the
  // prefix's service stays out of reach for the check.
  CServerRegistrationHidden hidden(CLSID_Zembra);
  made = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, NS_GET_IID(IOrvexDialix), &made), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(made, nullptr);
}

// The module joins the multithreaded apartment on the thread that first uses
// it; on a single-threaded apartment that fails, and its shutdown must not
// take COM away from the thread.
TEST(FirefoxModuleThreads, ShutdownBalancesOnlyItsOwnJoin) {
  bool keptCom = false, leftCom = true;
  APTTYPE type = APTTYPE_MTA;
  std::thread sta([&] {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    {
      nsCOMPtr<nsIModule> module = NewModule();
      FactoryOf(module);
    }
    type = ApartmentOfThisThread(&keptCom);
    OleUninitialize();
  });
  sta.join();
  EXPECT_TRUE(keptCom);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA);

  std::thread plain([&] {
    {
      nsCOMPtr<nsIModule> module = NewModule();
      FactoryOf(module);
      bool joined = false;
      EXPECT_EQ(ApartmentOfThisThread(&joined), APTTYPE_MTA);
      EXPECT_TRUE(joined);
    }
    ApartmentOfThisThread(&leftCom);
  });
  plain.join();
  EXPECT_FALSE(leftCom);
}

// --- Client

TEST_F(FirefoxTest, EveryOperationIdGivesATwoFacedWrapperOverTheServicesOperation) {
  const nsIID* kinds[] = {&NS_GET_IID(IOrvexDialixGetDevicesOperation),
                          &NS_GET_IID(IOrvexDialixGetContactsOperation),
                          &NS_GET_IID(IOrvexDialixUpdateContactOperation),
                          &NS_GET_IID(IOrvexDialixDeleteContactOperation),
                          &NS_GET_IID(IOrvexDialixSendMessageOperation),
                          &NS_GET_IID(IOrvexDialixGetSmsOperation),
                          &NS_GET_IID(IOrvexDialixUpdateSmsOperation),
                          &NS_GET_IID(IOrvexDialixDeleteSmsOperation),
                          &NS_GET_IID(IOrvexDialixCreateCallOperation),
                          &NS_GET_IID(IOrvexDialixGetEventsOperation),
                          &NS_GET_IID(IOrvexDialixComposeMessageOperation)};
  int n = 0;
  for (const nsIID* kind : kinds) {
    nsCOMPtr<IOrvexDialixOperation> operation = Create(*kind);
    ASSERT_TRUE(operation.get());
    nsCOMPtr<nsISupports> specific;
    EXPECT_EQ(operation->QueryInterface(*kind, reinterpret_cast<void**>(getter_AddRefs(specific))), NS_OK);
    nsCOMPtr<IOrvexDialixOperation> common;
    EXPECT_EQ(specific->QueryInterface(NS_GET_IID(IOrvexDialixOperation),
                                       reinterpret_cast<void**>(getter_AddRefs(common))),
              NS_OK);
    EXPECT_EQ(common.get(), operation.get());
    nsString client, id;
    EXPECT_EQ(operation->GetClientId(client), NS_OK);
    EXPECT_EQ(operation->GetOperationId(id), NS_OK);
    EXPECT_EQ(TextOf(client), L"client-1");
    EXPECT_EQ(TextOf(id), L"op-" + std::to_wstring(++n));
    PRInt32 state = -1;
    EXPECT_EQ(operation->GetOperationState(&state), NS_OK);
    EXPECT_EQ(state, 0);
  }
  EXPECT_EQ(fake->creates, 11);
}

TEST_F(FirefoxTest, UnknownIdsAnswerNotImplementedWithoutAskingTheService) {
  nsString client(L"client-1");
  nsCOMPtr<IOrvexDialixOperation> operation;
  EXPECT_EQ(dialix->CreateOperation(client, NS_GET_IID(IOrvexDialixCallNotification), getter_AddRefs(operation)),
            E_NOTIMPL);
  EXPECT_EQ(dialix->CreateOperation(client, NS_GET_IID(IOrvexDialixOperation), getter_AddRefs(operation)),
            E_NOTIMPL);
  EXPECT_EQ(dialix->CreateOperation(client, NS_GET_IID(IOrvexDialixGetSmsOperation), nullptr),
            NS_ERROR_INVALID_ARG);
  EXPECT_EQ(dialix->SubscribeNotification(client, NS_GET_IID(IOrvexDialixGetSmsOperation)), E_NOTIMPL);
  EXPECT_EQ(dialix->UnsubscribeNotification(client, NS_GET_IID(IOrvexDialix)), E_NOTIMPL);
  EXPECT_EQ(fake->creates, 0);
  EXPECT_EQ(fake->subscribes, 0);

  fake->subscribeResult = S_FALSE;
  EXPECT_EQ(dialix->SubscribeNotification(client, NS_GET_IID(IOrvexDialixCallNotification)), NS_OK);
  EXPECT_EQ(dialix->UnsubscribeNotification(client, NS_GET_IID(IOrvexDialixEventsUpdatedNotification)), NS_OK);
  fake->subscribeResult = E_INVALIDARG;
  EXPECT_EQ(dialix->SubscribeNotification(client, NS_GET_IID(IOrvexDialixMessageReceivedNotification)),
            E_INVALIDARG);
}

TEST_F(FirefoxTest, ClientIdsReachTheServiceAsTextUpToTheirFirstZero) {
  nsString empty;
  EXPECT_EQ(dialix->Disconnect(empty), NS_OK);
  nsString cut;
  const PRUnichar withZero[] = {L'a', L'b', 0, L'c'};
  NS_StringSetData(cut, withZero, 4);
  EXPECT_EQ(dialix->Disconnect(cut), NS_OK);
  fake->disconnectResult = E_INVALIDARG;
  EXPECT_EQ(dialix->Disconnect(cut), E_INVALIDARG);
  ASSERT_EQ(fake->disconnectIds.size(), 3u);
  EXPECT_EQ(fake->disconnectIds[0], L"");  // empty, not null
  EXPECT_EQ(fake->disconnectIds[1], L"ab");
}

// A script's own object, as a plain C function table: nothing of C++ to ask.
struct CScriptOperation {
  struct Table {
    nsresult(NS_STDCALL* QueryInterface)(CScriptOperation*, const nsIID&, void**);
    nsrefcnt(NS_STDCALL* AddRef)(CScriptOperation*);
    nsrefcnt(NS_STDCALL* Release)(CScriptOperation*);
  };
  const Table* table;
  static nsresult NS_STDCALL Query(CScriptOperation* self, const nsIID& iid, void** result) {
    if (iid.Equals(NS_GET_IID(nsISupports)) || iid.Equals(NS_GET_IID(IOrvexDialixOperation))) {
      *result = self;
      return NS_OK;
    }
    *result = nullptr;
    return NS_ERROR_NO_INTERFACE;
  }
  static nsrefcnt NS_STDCALL Count(CScriptOperation*) { return 1; }
};

TEST_F(FirefoxTest, BeginOperationTakesOnlyOurOwnWrappersAndNeedsALiveSink) {
  static const CScriptOperation::Table table = {&CScriptOperation::Query, &CScriptOperation::Count,
                                                &CScriptOperation::Count};
  CScriptOperation script = {&table};
  ASSERT_EQ(dialix->Connect(&callback), S_OK);
  EXPECT_EQ(dialix->BeginOperation(reinterpret_cast<IOrvexDialixOperation*>(&script)), E_POINTER);
  EXPECT_EQ(dialix->BeginOperation(nullptr), E_POINTER);
  EXPECT_EQ(fake->begins, 0);

  nsCOMPtr<IOrvexDialix> unconnected;
  ASSERT_EQ(NewDialix(unconnected), NS_OK);
  nsCOMPtr<IOrvexDialixOperation> operation = Create(NS_GET_IID(IOrvexDialixGetDevicesOperation));
  EXPECT_EQ(unconnected->BeginOperation(operation), NS_ERROR_NOT_INITIALIZED);
  EXPECT_EQ(fake->begins, 0);
  EXPECT_EQ(dialix->BeginOperation(operation), S_OK);
  EXPECT_EQ(fake->begins, 1);

  // The service lets go of the sink: nothing is begun without one.
  fake->ReleaseSinks();
  EXPECT_EQ(dialix->BeginOperation(operation), NS_ERROR_NOT_INITIALIZED);
  EXPECT_EQ(dialix->Connect(nullptr), E_POINTER);  // the service refuses a missing callback
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <utility>
#include <thread>
#include <atomic>
#include <vector>
#include "GitCookie.h"
#include "ZCLException.h"
#include "TestModule.h"
#include "ZCLHandle.h"

namespace {

// An object that can be handed to any apartment of the process.
class CFreeThreadedObject : public CComObjectRootEx<CComMultiThreadModel>, public IPersist {
public:
  BEGIN_COM_MAP(CFreeThreadedObject)
  COM_INTERFACE_ENTRY(IPersist)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_pUnkMarshaler.p)
  END_COM_MAP()
  DECLARE_GET_CONTROLLING_UNKNOWN()

  HRESULT FinalConstruct() {
    return AtlAggregateFreeThreadedMarshaler(GetControllingUnknown(), m_pUnkMarshaler);
  }
  void FinalRelease() { m_pUnkMarshaler.Release(); }
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  CComPtr<IUnknown> m_pUnkMarshaler;
};

class ObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    CTestObject::Reset();
    CTestSingleton::Reset();
  }
  CTestModule m_module;
};

CComPtr<IClassFactory> MakeFactory(_ATL_CREATORFUNC factoryCreator, _ATL_CREATORFUNC creator) {
  CComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, factoryCreator(reinterpret_cast<void*>(creator), IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)));
  return factory;
}

TEST_F(ObjectTest, AClientObjectHoldsAModuleLockForItsLife) {
  CComPtr<IPersist> object;
  ASSERT_EQ(S_OK, CTestObject::CreateInstance(&object.p));
  EXPECT_EQ(1, m_module.GetLockCount());
  EXPECT_EQ(1, CTestObject::s_constructs);
  object.Release();
  EXPECT_EQ(0, m_module.GetLockCount());
  EXPECT_EQ(1, CTestObject::s_releases);
}

TEST_F(ObjectTest, MovingAPointerHandsOverItsOneReference) {
  CComPtr<IPersist> first;
  ASSERT_EQ(S_OK, CTestObject::CreateInstance(&first.p));
  CComPtr<IPersist> second;
  second = std::move(first);
  EXPECT_EQ(nullptr, first.p);
  CComPtr<IPersist>& alias = second;
  second = std::move(alias);  // moving onto itself keeps the reference
  ASSERT_NE(nullptr, second.p);
  EXPECT_EQ(1, m_module.GetLockCount());
  second.Release();
  EXPECT_EQ(0, m_module.GetLockCount());
  EXPECT_EQ(1, CTestObject::s_releases);
}

TEST_F(ObjectTest, AnObjectWithoutLockLeavesTheLockCountAlone) {
  CComObjectWithoutLock<CTestObject>* raw = nullptr;
  ASSERT_EQ(S_OK, CComObjectWithoutLock<CTestObject>::CreateInstance(&raw));
  CComPtr<IPersist> object(raw);
  EXPECT_EQ(0, m_module.GetLockCount());
  object.Release();
  EXPECT_EQ(1, CTestObject::s_releases);
}

TEST_F(ObjectTest, AFailedFinalConstructDestroysTheObjectAndGivesItsResult) {
  CTestObject::s_hrConstruct = E_ACCESSDENIED;
  CComPtr<IPersist> object;
  EXPECT_EQ(E_ACCESSDENIED, CTestObject::CreateInstance(&object.p));
  EXPECT_FALSE(object);
  EXPECT_EQ(1, CTestObject::s_releases);
  EXPECT_EQ(0, m_module.GetLockCount());
}

TEST_F(ObjectTest, QueryInterfaceFollowsTheMapAndKeepsOneIdentity) {
  CComPtr<IPersist> object;
  ASSERT_EQ(S_OK, CTestObject::CreateInstance(&object.p));
  CComPtr<IUnknown> unknown1, unknown2;
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown1)));
  CComQIPtr<IPersist> again(unknown1.p);
  ASSERT_TRUE(again);
  ASSERT_EQ(S_OK, again->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown2)));
  EXPECT_EQ(unknown1.p, unknown2.p);
  EXPECT_TRUE(object.IsEqualObject(unknown1));

  CComQIPtr<IDispatch> none(object.p);
  EXPECT_FALSE(none);
  EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IPersist, nullptr));
}

TEST_F(ObjectTest, APlainFactoryMakesANewObjectEachTimeAndRefusesAggregation) {
  CComPtr<IClassFactory> factory = MakeFactory(
      CTestObject::_ClassFactoryCreatorClass::CreateInstance, CTestObject::_CreatorClass::CreateInstance);
  ASSERT_TRUE(factory);
  EXPECT_EQ(0, m_module.GetLockCount());  // the factory itself keeps nothing alive
  CComPtr<IPersist> a, b;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&a)));
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&b)));
  EXPECT_FALSE(a.IsEqualObject(b));
  EXPECT_EQ(2, m_module.GetLockCount());

  CComPtr<IUnknown> aggregated;
  EXPECT_EQ(CLASS_E_NOAGGREGATION,
            factory->CreateInstance(a, IID_IUnknown, reinterpret_cast<void**>(&aggregated)));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(3, m_module.GetLockCount());
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
}

TEST_F(ObjectTest, TheSingletonIsOneObjectLockingTheModuleOnlyWhileClientsHoldIt) {
  CComPtr<IClassFactory> factory = MakeFactory(CTestSingleton::_ClassFactoryCreatorClass::CreateInstance,
                                               CTestSingleton::_CreatorClass::CreateInstance);
  ASSERT_TRUE(factory);
  CComPtr<IPersist> a;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&a)));
  EXPECT_EQ(1, m_module.GetLockCount());
  CComPtr<IPersist> b;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&b)));
  EXPECT_EQ(a.p, b.p);
  EXPECT_EQ(1, m_module.GetLockCount());
  a.Release();
  b.Release();
  EXPECT_EQ(0, m_module.GetLockCount());
  EXPECT_EQ(0, CTestSingleton::s_releases);  // the factory still holds it

  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&a)));
  EXPECT_EQ(1, CTestSingleton::s_constructs);
  a.Release();
  factory.Release();
  EXPECT_EQ(1, CTestSingleton::s_releases);  // gone with its factory
}

TEST_F(ObjectTest, TheSingletonFactoryRemembersAFailedCreation) {
  CTestSingleton::s_hrConstruct = E_ACCESSDENIED;
  CComPtr<IClassFactory> factory = MakeFactory(CTestSingleton::_ClassFactoryCreatorClass::CreateInstance,
                                               CTestSingleton::_CreatorClass::CreateInstance);
  ASSERT_TRUE(factory);
  CComPtr<IPersist> object;
  EXPECT_EQ(E_ACCESSDENIED,
            factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&object)));
  CTestSingleton::s_hrConstruct = S_OK;
  EXPECT_EQ(E_ACCESSDENIED,
            factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&object)));
  EXPECT_FALSE(object);
  EXPECT_EQ(1, CTestSingleton::s_constructs);
  EXPECT_EQ(0, m_module.GetLockCount());
}

TEST_F(ObjectTest, AnObjectWithTheFreeThreadedMarshalerCrossesApartmentsDirectly) {
  CComObject<CFreeThreadedObject>* raw = nullptr;
  ASSERT_EQ(S_OK, CComObject<CFreeThreadedObject>::CreateInstance(&raw));
  CComPtr<IPersist> object(raw);
  CComQIPtr<IMarshal> marshal(object.p);
  EXPECT_TRUE(marshal);
  marshal.Release();

  CComPtr<IGlobalInterfaceTable> git;
  ASSERT_EQ(S_OK, m_module.GetGITPtr(&git));
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, git->RegisterInterfaceInGlobal(object, IID_IPersist, &cookie));
  IPersist* seen = nullptr;
  std::thread other([&] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CComPtr<IPersist> there;
    if (SUCCEEDED(git->GetInterfaceFromGlobal(cookie, IID_IPersist, reinterpret_cast<void**>(&there))))
      seen = there.p;
    there.Release();
    ::CoUninitialize();
  });
  other.join();
  EXPECT_EQ(object.p, seen);
  EXPECT_EQ(S_OK, git->RevokeInterfaceFromGlobal(cookie));
}

// The registration goes with its last owner, once: a moved-from owner leaves
// it alone, and a revoked or empty owner hands out nothing.
TEST_F(ObjectTest, AGitCookieIsRevokedOnceByItsLastOwnerAndServesOtherThreadsMeanwhile) {
  CComObject<CFreeThreadedObject>* raw = nullptr;
  ASSERT_EQ(S_OK, CComObject<CFreeThreadedObject>::CreateInstance(&raw));
  CComPtr<IPersist> object(raw);
  CComPtr<IGlobalInterfaceTable> git;
  ASSERT_EQ(S_OK, m_module.GetGITPtr(&git));
  auto registered = [&](DWORD cookie) {
    CComPtr<IPersist> there;
    return SUCCEEDED(git->GetInterfaceFromGlobal(cookie, IID_IPersist, reinterpret_cast<void**>(&there)));
  };

  DWORD cookie = 0;
  {
    CGitCookie kept;
    {
      CGitCookie first(object, IID_IPersist, "the object");
      cookie = first.Get();
      ASSERT_NE(0u, cookie);
      kept = std::move(first);
    }
    EXPECT_TRUE(registered(cookie));
    IPersist* seen = nullptr;
    std::thread other([&] {
      ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      CComPtr<IPersist> there;
      if (SUCCEEDED(kept.CopyTo(&there))) seen = there.p;
      there.Release();
      ::CoUninitialize();
    });
    other.join();
    EXPECT_EQ(object.p, seen);
  }
  EXPECT_FALSE(registered(cookie));

  CGitCookie revoked(object, IID_IPersist, "the object");
  EXPECT_EQ(S_OK, revoked.Revoke());
  EXPECT_EQ(S_OK, revoked.Revoke());
  CComPtr<IPersist> none;
  EXPECT_EQ(E_UNEXPECTED, revoked.CopyTo(&none));
  EXPECT_FALSE(none);
}

TEST_F(ObjectTest, AGitRegistrationTheTableRefusesThrowsAndLeavesNothingBehind) {
  CComObject<CFreeThreadedObject>* raw = nullptr;
  ASSERT_EQ(S_OK, CComObject<CFreeThreadedObject>::CreateInstance(&raw));
  CComPtr<IPersist> object(raw);
  try {
    CGitCookie refused(object, IID_IDispatch, "the object");
    ADD_FAILURE() << "an interface the object lacks was registered";
  } catch (const ZCLComException& e) {
    EXPECT_EQ(E_NOINTERFACE, e.GetHResult());
    EXPECT_NE(std::string::npos, e.GetMessageText().find("Failed to register the object in GIT."));
  }
}

TEST(ComHolders, StringsAndVariantsOwnTheirValues) {
  CComBSTR empty;
  BSTR copy = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(S_OK, empty.CopyTo(&copy));
  EXPECT_EQ(nullptr, copy);
  EXPECT_EQ(S_OK, empty.Append(L"abc"));
  EXPECT_EQ(S_OK, empty.Append(L"de", 2));
  EXPECT_STREQ(L"abcde", empty.m_str);
  EXPECT_EQ(5u, empty.Length());
  CComBSTR embedded(3, L"a\0b");
  CComBSTR same(embedded);
  EXPECT_EQ(3u, same.Length());  // copies keep embedded zeros

  CComVariant number(ULONGLONG(1) << 40);
  EXPECT_EQ(VT_UI8, number.vt);
  CComVariant text(L"7");
  EXPECT_EQ(S_OK, text.ChangeType(VT_I4));
  EXPECT_EQ(7, text.lVal);
  VARIANT out;
  ::VariantInit(&out);
  EXPECT_EQ(S_OK, number.Detach(&out));
  EXPECT_EQ(VT_EMPTY, number.vt);
  EXPECT_EQ(ULONGLONG(1) << 40, out.ullVal);
}

}  // namespace

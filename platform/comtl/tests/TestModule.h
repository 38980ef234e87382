#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ComTL.h"
#include "ZCLException.h"
#include "ZCLWait.h"

// A module of the template layer for tests: short time-outs, and the
// registration switches recorded instead of run when asked to.
class CTestModule : public CAtlExeModule {
public:
  explicit CTestModule(_ATL_OBJMAP_ENTRY* map = nullptr) : CAtlExeModule(map) {
    m_dwTimeOut = 100;
    m_dwPause = 50;
  }
  DECLARE_REGISTRY_APPID_RESOURCEID(901, "{6B0F4F4E-5A43-4C9B-9C4B-1D2F0C7A9E11}")
  HRESULT UpdateRegistryAppId(BOOL) override { return S_OK; }
  const GUID& GetLibID() const override { return m_libid; }

  HRESULT RegisterServer(BOOL bRegTypeLib) override {
    if (!m_record) return CAtlExeModule::RegisterServer(bRegTypeLib);
    m_calls.push_back(L"register");
    return m_hrRegister;
  }
  HRESULT UnregisterServer(BOOL bUnRegTypeLib) override {
    if (!m_record) return CAtlExeModule::UnregisterServer(bUnRegTypeLib);
    m_calls.push_back(L"unregister");
    return m_hrUnregister;
  }

  bool m_record = true;
  std::vector<std::wstring> m_calls;
  HRESULT m_hrRegister = S_OK;
  HRESULT m_hrUnregister = S_OK;
  GUID m_libid = GUID_NULL;
};

// A test object: counts its final constructions and releases; the result of
// FinalConstruct, and where the object throws, are chosen by the test.
inline const CLSID CLSID_TestObject = {
    0x1d3c2f70, 0x8b0e, 0x4f57, {0x9a, 0x61, 0x2c, 0x4e, 0x77, 0x10, 0x5b, 0x01}};
inline const CLSID CLSID_TestSingleton = {
    0x1d3c2f70, 0x8b0e, 0x4f57, {0x9a, 0x61, 0x2c, 0x4e, 0x77, 0x10, 0x5b, 0x02}};

template <class T>
class CCountedObject : public CComObjectRootEx<CComMultiThreadModel>, public IPersist {
public:
  BEGIN_COM_MAP(CCountedObject)
  COM_INTERFACE_ENTRY(IPersist)
  END_COM_MAP()
  DECLARE_NO_REGISTRY()

  enum Throw { ThrowNowhere, ThrowInConstructor, ThrowInFinalConstruct, ThrowInFinalRelease };
  CCountedObject() {
    if (s_throw == ThrowInConstructor) throw ZCLComException(E_ACCESSDENIED, "no object today");
  }

  STDMETHOD(GetClassID)(CLSID* clsid) override {
    *clsid = T::GetObjectCLSID();
    return S_OK;
  }
  HRESULT FinalConstruct() {
    ++s_constructs;
    // Handing itself out during construction must not destroy it.
    AddRef();
    Release();
    if (s_throw == ThrowInFinalConstruct) throw 42;
    return s_hrConstruct;
  }
  void FinalRelease() {
    ++s_releases;
    if (s_throw == ThrowInFinalRelease) throw ZCLException("release failed");
  }

  static void Reset() {
    s_constructs = 0;
    s_releases = 0;
    s_hrConstruct = S_OK;
    s_throw = ThrowNowhere;
  }
  static inline int s_constructs = 0;
  static inline int s_releases = 0;
  static inline HRESULT s_hrConstruct = S_OK;
  static inline Throw s_throw = ThrowNowhere;
};

class CTestObject : public CCountedObject<CTestObject>,
                    public CComCoClass<CTestObject, &CLSID_TestObject> {};

class CTestSingleton : public CCountedObject<CTestSingleton>,
                       public CComCoClass<CTestSingleton, &CLSID_TestSingleton> {
public:
  DECLARE_CLASSFACTORY_SINGLETON(CTestSingleton)
};

// Waits for a condition, polling, for at most the given time.
template <class Predicate>
bool WaitFor(Predicate done, DWORD milliseconds = 10000) {
  return ZCLWaitUntil(done, milliseconds);
}

#pragma once
#include <windows.h>
#include "ComError.h"
#include "ComObject.h"
#include "ZCLFrame.h"

// Class factory over a creator function (the object map hands it over).
// Called from any thread of any apartment; holds no state clients change.
class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
public:
  BEGIN_COM_MAP(CComClassFactory)
  COM_INTERFACE_ENTRY(IClassFactory)
  END_COM_MAP()

  void SetVoid(void* pv) { m_pfnCreateInstance = reinterpret_cast<_ATL_CREATORFUNC>(pv); }

  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    return ZCLComMethod("CComClassFactory::CreateInstance", ZCL_SITE, [&]() -> HRESULT {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      if (outer) return CLASS_E_NOAGGREGATION;
      if (!m_pfnCreateInstance) return E_UNEXPECTED;
      return m_pfnCreateInstance(nullptr, riid, ppv);
    });
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    return ZCLComMethod("CComClassFactory::LockServer", ZCL_SITE, [&]() -> HRESULT {
      if (_pAtlModule) {
        if (lock)
          _pAtlModule->Lock();
        else
          _pAtlModule->Unlock();
      }
      return S_OK;
    });
  }

protected:
  _ATL_CREATORFUNC m_pfnCreateInstance = nullptr;
};

// One instance per process: the first request creates it as a cached object
// (counted in the module's lock count while clients hold it); every later request
// gets the same object. A failed first creation is remembered and returned to
// every later request of the process.
template <class T>
class CComClassFactorySingleton : public CComClassFactory {
public:
  // The creation runs under the factory's lock, so that two first requests
  // make one object; it calls no client.
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    return ZCLComMethod("CComClassFactorySingleton::CreateInstance", ZCL_SITE, [&]() -> HRESULT {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      if (outer) return CLASS_E_NOAGGREGATION;
      CComPtr<IUnknown> object;
      HRESULT hr;
      {
        CComObjectLock<CComClassFactorySingleton> guard(this);
        if (m_hrCreate == S_OK && !m_spObj) {
          m_hrCreate = CComCreator<CComObjectCached<T>>::CreateInstance(
              nullptr, IID_IUnknown, reinterpret_cast<void**>(&m_spObj));
          if (SUCCEEDED(m_hrCreate)) m_hrCreate = S_OK;
        }
        hr = m_hrCreate;
        object = m_spObj;
      }
      if (FAILED(hr)) return hr;
      return object->QueryInterface(riid, ppv);
    });
  }

  // The instance goes with the factory, when the module releases it.
  void FinalRelease() { m_spObj.Release(); }

  HRESULT m_hrCreate = S_OK;
  CComPtr<IUnknown> m_spObj;
};

#define DECLARE_CLASSFACTORY_EX(cf) \
  typedef CComCreator<CComObjectWithoutLock<cf>> _ClassFactoryCreatorClass;
#define DECLARE_CLASSFACTORY() DECLARE_CLASSFACTORY_EX(CComClassFactory)
#define DECLARE_CLASSFACTORY_SINGLETON(obj) DECLARE_CLASSFACTORY_EX(CComClassFactorySingleton<obj>)
#define DECLARE_NOT_AGGREGATABLE(x) typedef CComCreator<CComObject<x>> _CreatorClass;

// The class side of a COM class: its class id, how clients create it, and
// error information whose source is the class's ProgID.
template <class T, const CLSID* pclsid = &CLSID_NULL>
class CComCoClass {
public:
  DECLARE_CLASSFACTORY()
  DECLARE_NOT_AGGREGATABLE(T)

  static const CLSID& WINAPI GetObjectCLSID() { return *pclsid; }

  static HRESULT WINAPI Error(LPCOLESTR description, const IID& iid = GUID_NULL,
                              HRESULT hr = E_FAIL) {
    return AtlReportError(GetObjectCLSID(), description, iid, hr);
  }

  // A new object with one reference for the caller, by its interface Q.
  template <class Q>
  static HRESULT CreateInstance(Q** pp) {
    return T::_CreatorClass::CreateInstance(nullptr, __uuidof(Q), reinterpret_cast<void**>(pp));
  }
};

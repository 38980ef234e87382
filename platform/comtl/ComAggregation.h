#pragma once
#include <windows.h>
#include <climits>
#include "ComFactory.h"
#include "ComObject.h"

// Aggregation: an object made inside an outer object hands its IUnknown
// calls to the outer one and gives the outer object a private, non-delegating
// IUnknown of its own. Same apartment rules as the aggregated class.

// The aggregated class itself: every IUnknown call goes to the outer object.
template <class Base>
class CComContainedObject : public Base {
public:
  explicit CComContainedObject(IUnknown* outer) : m_pOuterUnknown(outer) {}
  STDMETHOD_(ULONG, AddRef)() override { return m_pOuterUnknown->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return m_pOuterUnknown->Release(); }
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    return m_pOuterUnknown->QueryInterface(iid, ppv);
  }
  IUnknown* GetControllingUnknown() { return m_pOuterUnknown; }

  IUnknown* m_pOuterUnknown;  // not counted: the outer object owns us
};

// The non-delegating IUnknown the outer object holds; one module lock for
// its life, like CComObject.
template <class Base>
class CComAggObject : public IUnknown,
                      public CComObjectRootEx<typename Base::_ThreadModel> {
public:
  explicit CComAggObject(void* outer) : m_contained(static_cast<IUnknown*>(outer)) {
    CComModuleLockForLife::Constructed();
  }
  virtual ~CComAggObject() {
    this->m_dwRef = -(LONG_MAX / 2);
    ZCLGuarded(3, ZCL_SITE, [this] { m_contained.FinalRelease(); });
    CComModuleLockForLife::Destroyed();
  }
  HRESULT FinalConstruct() { return m_contained.FinalConstruct(); }

  STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = this->InternalRelease();
    if (count == 0) delete this;
    return count;
  }
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (::InlineIsEqualGUID(iid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return m_contained._InternalQueryInterface(iid, ppv);
  }

  CComContainedObject<Base> m_contained;
};

// Creation by whether an outer object is given (pv is the outer IUnknown).
template <class Plain, class Aggregated>
class CComCreator2 {
public:
  static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, void** ppv) {
    return pv ? Aggregated::CreateInstance(pv, riid, ppv) : Plain::CreateInstance(nullptr, riid, ppv);
  }
};

// The class factory of an aggregatable class: the outer object is passed on,
// and may only ask for the inner object's IUnknown.
class CComClassFactoryAggregatable : public CComClassFactory {
public:
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    return ZCLComMethod("CComClassFactory::CreateInstance", ZCL_SITE, [&]() -> HRESULT {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      if (outer && !::InlineIsEqualGUID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
      if (!m_pfnCreateInstance) return E_UNEXPECTED;
      return m_pfnCreateInstance(outer, riid, ppv);
    });
  }
};

// In the class, after CComCoClass: created plain or inside an outer object.
#define DECLARE_AGGREGATABLE(x)                                         \
  DECLARE_CLASSFACTORY_EX(CComClassFactoryAggregatable)                 \
  typedef CComCreator2<CComCreator<CComObject<x>>, CComCreator<CComAggObject<x>>> _CreatorClass;

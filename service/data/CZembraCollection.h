#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "CVariantEnum.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

// The frame of the five collections handed to clients: elements in
// insertion order, one reference each, Item counting from 1. Filled on the
// service's worker threads; clients may read (and the contact list change)
// it from several threads, so the object's lock guards the vector and is
// never held across a call into an element.
template <class Derived, class Itf, class ItemItf, const IID* piid>
class CZembraCollection : public CComObjectRootEx<CComMultiThreadModel>,
                          public IDispatchImpl<Itf, piid, &LIBID_SZembraLib, 1, 0>,
                          public ISupportErrorInfoImpl<piid> {
public:
  typedef CComObjectLock<CZembraCollection> Guard;

  BEGIN_COM_MAP(CZembraCollection)
  COM_INTERFACE_ENTRY_IID(*piid, Itf)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  STDMETHOD(get__NewEnum)(IUnknown** ppEnum) override {
    return ZCLComMethod("CZembraCollection::get__NewEnum", ZCL_SITE, [&]() -> HRESULT {
      if (!ppEnum) return E_POINTER;
      *ppEnum = nullptr;
      std::vector<CComVariant> elements;
      {
        Guard lock(this);
        for (const CComPtr<ItemItf>& item : m_items) elements.emplace_back(static_cast<IDispatch*>(item.p));
      }
      IEnumVARIANT* enumerator = nullptr;
      HRESULT hr = CVariantEnum::Create(elements, 0, &enumerator);
      *ppEnum = enumerator;
      return hr;
    });
  }

  STDMETHOD(get_Item)(long index, ItemItf** ppItem) override {
    return ZCLComMethod("CZembraCollection::get_Item", ZCL_SITE, [&]() -> HRESULT {
      if (!ppItem) return E_POINTER;
      *ppItem = nullptr;
      if (index < 1) return E_INVALIDARG;
      Guard lock(this);
      if (static_cast<size_t>(index) > m_items.size()) return E_FAIL;
      CComPtr<ItemItf> item = m_items[index - 1];
      *ppItem = item.Detach();
      return S_OK;
    });
  }

  STDMETHOD(get_Count)(long* pCount) override {
    return ZCLComMethod("CZembraCollection::get_Count", ZCL_SITE, [&]() -> HRESULT {
      if (!pCount) return E_POINTER;
      Guard lock(this);
      *pCount = static_cast<long>(m_items.size());
      return S_OK;
    });
  }

  // The serial number of the phone whose elements the list holds.
  void SetSerialNumber(const wchar_t* serial) {
    Guard lock(this);
    m_serialNumber = serial ? serial : L"";
  }

protected:
  // Appends an element the caller has checked; the new count goes to count.
  void Append(ItemItf* item, long* count) {
    Guard lock(this);
    m_items.emplace_back(item);
    if (count) *count = static_cast<long>(m_items.size());
  }

  // Adds an element handed in as any interface: only a live object of the
  // service's own item class, and for lists of one phone only one of that
  // phone. Never trusts what a client's pointer says of itself.
  template <class Registry, bool SamePhoneOnly>
  HRESULT AddOwn(IUnknown* element, const char* failureText, long* count) {
    try {
      auto own = Registry::Find(element);
      if (!own) return E_INVALIDARG;
      if constexpr (SamePhoneOnly) {
        std::wstring serial = own->GetSerialNumber();
        Guard lock(this);
        if (serial != m_serialNumber) return E_INVALIDARG;
      }
      CComPtr<ItemItf> item;
      if (FAILED(own.Identity()->QueryInterface(__uuidof(ItemItf), reinterpret_cast<void**>(&item))) || !item)
        return E_INVALIDARG;
      Append(item, count);
      return S_OK;
    } catch (...) {
      ZCLLogMessage(1, nullptr, "%s", failureText);
      return E_INVALIDARG;
    }
  }

  std::vector<CComPtr<ItemItf>> m_items;
  std::wstring m_serialNumber;
};

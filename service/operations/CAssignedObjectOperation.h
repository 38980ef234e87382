#pragma once
#include <windows.h>
#include <utility>
#include "CLiveObjectRegistry.h"
#include "COperation.h"

// The update and delete operations of contacts and messages: one assigned
// object, which must be one of the service's own (Object, found through its
// registry of live objects). A proxy of one of them, passed back by a client
// in another process, is found through the address it gives, which counts
// only when it names a live object of the registry.
template <class T, class I, class Item, class Object>
class CAssignedObjectOperation : public COperation<T, I> {
public:
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    return ZCLComMethod("COperation::get_OperationData", ZCL_SITE, [&]() -> HRESULT {
      if (!ppData) return E_POINTER;
      *ppData = m_assigned;
      if (*ppData) (*ppData)->AddRef();
      return S_OK;
    });
  }

protected:
  typedef CLiveObjectRegistry<Object> Registry;

  HRESULT GetAssigned(const char* name, Item** pp) {
    return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
      if (!m_assigned) return E_FAIL;
      if (!pp) return E_POINTER;
      return m_assigned.CopyTo(pp);
    });
  }
  // A failure while assigning is logged with failureText and answers
  // failureResult; the held object stays.
  HRESULT PutAssigned(const char* name, Item* item, const char* failureText, HRESULT failureResult) {
    return this->Put(name, [&]() -> HRESULT {
      if (!item) return E_POINTER;
      HRESULT hr = S_OK;
      bool done = ZCLGuarded(1, ZCL_SITE, [&] {
        typename Registry::CLiveRef own = FindOwn(item);
        if (!own) {
          hr = E_INVALIDARG;
          return;
        }
        m_assigned = item;
        m_object = std::move(own);
      });
      if (done) return hr;
      ZCLLogMessage(1, nullptr, "%s", failureText);
      return failureResult;
    });
  }
  bool HasAssignedObject() override { return m_assigned != nullptr; }
  Object* GetAssignedObject() const { return m_object.Get(); }

  CComPtr<Item> m_assigned;

private:
  static typename Registry::CLiveRef FindOwn(Item* item) {
    typename Registry::CLiveRef own = Registry::Find(item);
    if (own) return own;
    hyper address = 0;
    if (FAILED(item->_GetInternalPointer(&address)) || !address) return own;
    return Registry::FindObject(reinterpret_cast<const Object*>(static_cast<intptr_t>(address)));
  }

  typename Registry::CLiveRef m_object;  // keeps the object itself alive
};

#include <windows.h>
#include "CContactList.h"
#include "ComText.h"

STDMETHODIMP CContactList::CreateContact(IContact** ppContact) {
  return ZCLComMethod("CContactList::CreateContact", ZCL_SITE, [&]() -> HRESULT {
    if (!ppContact) return E_POINTER;
    *ppContact = nullptr;
    CComPtr<CComObject<CContact>> contact = NewComObject<CContact>();
    if (!contact) return E_FAIL;
    std::wstring serial;
    {
      Guard lock(this);
      serial = m_serialNumber;
    }
    contact->Init(nullptr, serial.c_str());
    return contact->QueryInterface(IID_IContact, reinterpret_cast<void**>(ppContact));
  });
}

STDMETHODIMP CContactList::AddContact(IContact* pContact, long* pIndex) {
  return ZCLComMethod("CContactList::AddContact", ZCL_SITE, [&]() -> HRESULT {
    return AddOwn<CContactRegistry, true>(pContact, "Exception thrown in AddContact!", pIndex);
  });
}

STDMETHODIMP CContactList::RemoveContact(long index) {
  return ZCLComMethod("CContactList::RemoveContact", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<IContact> removed;  // released after the lock
    Guard lock(this);
    if (index < 1 || static_cast<size_t>(index) > m_items.size()) return E_INVALIDARG;
    removed = m_items[index - 1];
    m_items.erase(m_items.begin() + (index - 1));
    return S_OK;
  });
}

#pragma once
#include <windows.h>
#include "COperation.h"

// The contact operations. The service has no contact objects of its own yet,
// so nothing can be assigned: put_Contact refuses every object as foreign.
class CGetContactsOperation
    : public CSerialNumberOperation<CGetContactsOperation, IGetContactsOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting contacts!"; }

private:
  ZCLObjectTracer<CGetContactsOperation> m_tracer;
};

template <class T, class I>
class CContactOperation : public COperation<T, I> {
public:
  STDMETHOD(get_Contact)(IContact** ppContact) override {
    if (!m_contact) return E_FAIL;
    if (!ppContact) return E_POINTER;
    return m_contact.CopyTo(ppContact);
  }
  STDMETHOD(put_Contact)(IContact* pContact) override {
    return pContact ? E_INVALIDARG : E_POINTER;
  }
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    if (!ppData) return E_POINTER;
    *ppData = m_contact;
    if (*ppData) (*ppData)->AddRef();
    return S_OK;
  }

protected:
  const wchar_t* GetMissingObjectText() override { return L"No Contact!"; }
  bool HasAssignedObject() override { return m_contact != nullptr; }

  CComPtr<IContact> m_contact;
};

class CUpdateContactOperation
    : public CContactOperation<CUpdateContactOperation, IUpdateContactOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while updating contact!"; }

private:
  ZCLObjectTracer<CUpdateContactOperation> m_tracer;
};

class CDeleteContactOperation
    : public CContactOperation<CDeleteContactOperation, IDeleteContactOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while deleting contact!"; }

private:
  ZCLObjectTracer<CDeleteContactOperation> m_tracer;
};

#pragma once
#include <windows.h>
#include "COperation.h"

// The contact operations.
class CGetContactsOperation
    : public CSerialNumberOperation<CGetContactsOperation, IGetContactsOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting contacts!"; }

private:
  ZCLObjectTracer<CGetContactsOperation> m_tracer;
};

template <class T, class I>
class CContactOperation : public CAssignedObjectOperation<T, I, IContact> {
public:
  STDMETHOD(get_Contact)(IContact** ppContact) override { return this->GetAssigned("COperation::get_Contact", ppContact); }
  STDMETHOD(put_Contact)(IContact* pContact) override { return this->PutAssigned("COperation::put_Contact", pContact); }

protected:
  const wchar_t* GetMissingObjectText() override { return L"No Contact!"; }
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

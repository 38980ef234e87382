#pragma once
#include <windows.h>
#include "COperation.h"

// The message operations. The service has no message objects of its own
// yet, so nothing can be assigned: put_Sms refuses every object as foreign.
class CGetSmsOperation : public CSerialNumberOperation<CGetSmsOperation, IGetSmsOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting sms!"; }

private:
  ZCLObjectTracer<CGetSmsOperation> m_tracer;
};

template <class T, class I>
class CSmsOperation : public COperation<T, I> {
public:
  STDMETHOD(get_Sms)(ISms** ppSms) override {
    if (!m_sms) return E_FAIL;
    if (!ppSms) return E_POINTER;
    return m_sms.CopyTo(ppSms);
  }
  STDMETHOD(put_Sms)(ISms* pSms) override { return pSms ? E_INVALIDARG : E_POINTER; }
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    if (!ppData) return E_POINTER;
    *ppData = m_sms;
    if (*ppData) (*ppData)->AddRef();
    return S_OK;
  }

protected:
  const wchar_t* GetMissingObjectText() override { return L"No Message!"; }
  bool HasAssignedObject() override { return m_sms != nullptr; }

  CComPtr<ISms> m_sms;
};

class CUpdateSmsOperation : public CSmsOperation<CUpdateSmsOperation, IUpdateSmsOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while updating sms!"; }

private:
  ZCLObjectTracer<CUpdateSmsOperation> m_tracer;
};

class CDeleteSmsOperation : public CSmsOperation<CDeleteSmsOperation, IDeleteSmsOperation> {
public:
  STDMETHOD(get_DeleteFlags)(long* pFlags) override {
    if (!pFlags) return E_POINTER;
    *pFlags = m_deleteFlags;
    return S_OK;
  }
  STDMETHOD(put_DeleteFlags)(long flags) override {
    m_deleteFlags = flags;
    return S_OK;
  }

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while deleting sms!"; }

private:
  ZCLObjectTracer<CDeleteSmsOperation> m_tracer;
  long m_deleteFlags = 0;
};

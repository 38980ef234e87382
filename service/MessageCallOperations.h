#pragma once
#include <windows.h>
#include "COperation.h"

// Send message, compose message and create call: texts in, no data out.
template <class T, class I>
class CTextOperation : public CSerialNumberOperation<T, I> {
public:
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    if (ppData) *ppData = nullptr;
    return E_NOTIMPL;
  }
};

class CSendMessageOperation
    : public CTextOperation<CSendMessageOperation, ISendMessageOperation> {
public:
  STDMETHOD(get_Message)(BSTR* p) override { return CopyOperationText(m_message, p); }
  STDMETHOD(put_Message)(BSTR text) override {
    StoreOperationText(text, m_message);
    return S_OK;
  }
  STDMETHOD(get_Recipient)(BSTR* p) override { return CopyOperationText(m_recipient, p); }
  STDMETHOD(put_Recipient)(BSTR text) override {
    StoreOperationText(text, m_recipient);
    return S_OK;
  }

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while sending sms!"; }

private:
  ZCLObjectTracer<CSendMessageOperation> m_tracer;
  std::wstring m_message;
  std::wstring m_recipient;
};

class CComposeMessageOperation
    : public CTextOperation<CComposeMessageOperation, IComposeMessageOperation> {
public:
  STDMETHOD(get_Number)(BSTR* p) override { return CopyOperationText(m_number, p); }
  STDMETHOD(put_Number)(BSTR text) override {
    StoreOperationText(text, m_number);
    return S_OK;
  }
  STDMETHOD(get_Message)(BSTR* p) override { return CopyOperationText(m_message, p); }
  STDMETHOD(put_Message)(BSTR text) override {
    StoreOperationText(text, m_message);
    return S_OK;
  }

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while composing sms!"; }

private:
  ZCLObjectTracer<CComposeMessageOperation> m_tracer;
  std::wstring m_number;
  std::wstring m_message;
};

class CCreateCallOperation : public CTextOperation<CCreateCallOperation, ICreateCallOperation> {
public:
  STDMETHOD(get_Number)(BSTR* p) override { return CopyOperationText(m_number, p); }
  STDMETHOD(put_Number)(BSTR text) override {
    StoreOperationText(text, m_number);
    return S_OK;
  }

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while creating call!"; }

private:
  ZCLObjectTracer<CCreateCallOperation> m_tracer;
  std::wstring m_number;
};

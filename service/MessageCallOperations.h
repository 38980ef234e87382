#pragma once
#include <windows.h>
#include "COperation.h"

// Send message, compose message and create call: texts in, no data out.
template <class T, class I>
class CTextOperation : public CSerialNumberOperation<T, I> {
public:
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    return ZCLComMethod("COperation::get_OperationData", ZCL_SITE, [&]() -> HRESULT {
      if (ppData) *ppData = nullptr;
      return E_NOTIMPL;
    });
  }
};

class CSendMessageOperation
    : public CTextOperation<CSendMessageOperation, ISendMessageOperation> {
public:
  OPERATION_TEXT_PROPERTY(Message, m_message)
  OPERATION_TEXT_PROPERTY(Recipient, m_recipient)

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
  OPERATION_TEXT_PROPERTY(Number, m_number)
  OPERATION_TEXT_PROPERTY(Message, m_message)

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while composing sms!"; }

private:
  ZCLObjectTracer<CComposeMessageOperation> m_tracer;
  std::wstring m_number;
  std::wstring m_message;
};

class CCreateCallOperation : public CTextOperation<CCreateCallOperation, ICreateCallOperation> {
public:
  OPERATION_TEXT_PROPERTY(Number, m_number)

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while creating call!"; }

private:
  ZCLObjectTracer<CCreateCallOperation> m_tracer;
  std::wstring m_number;
};

#pragma once
#include <windows.h>
#include <string>
#include "CTextOperation.h"

// Sends a text message from a connected phone.
class CSendMessageOperation : public CTextOperation<CSendMessageOperation, ISendMessageOperation> {
public:
  OPERATION_TEXT_PROPERTY(Message, m_message)
  OPERATION_TEXT_PROPERTY(Recipient, m_recipient)

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while sending SMS!"; }
  const char* TraceName() override { return "CSendMessageOperation::Execute"; }
  void Act(CZembraDevice& device) override;

private:
  ZCLObjectTracer<CSendMessageOperation> m_tracer;
  std::wstring m_message;
  std::wstring m_recipient;
};

#pragma once
#include <windows.h>
#include <string>
#include "CTextOperation.h"

// Opens the message window for a connected phone, filled in.
class CComposeMessageOperation : public CTextOperation<CComposeMessageOperation, IComposeMessageOperation> {
public:
  OPERATION_TEXT_PROPERTY(Number, m_number)
  OPERATION_TEXT_PROPERTY(Message, m_message)

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while starting message composer!"; }
  void Act(CZembraDevice& device) override;

private:
  ZCLObjectTracer<CComposeMessageOperation> m_tracer;
  std::wstring m_number;
  std::wstring m_message;
};

#pragma once
#include <windows.h>
#include <string>
#include "CTextOperation.h"

// Places a call from a connected phone through call control's window.
class CCreateCallOperation : public CTextOperation<CCreateCallOperation, ICreateCallOperation> {
public:
  OPERATION_TEXT_PROPERTY(Number, m_number)

protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while creating call!"; }
  void Act(CZembraDevice& device) override;

private:
  ZCLObjectTracer<CCreateCallOperation> m_tracer;
  std::wstring m_number;
};

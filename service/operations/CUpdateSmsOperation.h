#pragma once
#include <windows.h>
#include "CSmsOperation.h"

// Stores a message's new status and marks a read message read on the phone.
class CUpdateSmsOperation : public CSmsOperation<CUpdateSmsOperation, IUpdateSmsOperation> {
public:
  static constexpr const char* kAssignFailure = "Failed to assign SMS to operation: ";
  static const HRESULT kAssignFailureResult = E_UNEXPECTED;

protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while updating sms!"; }

private:
  ZCLObjectTracer<CUpdateSmsOperation> m_tracer;
};

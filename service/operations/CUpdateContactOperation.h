#pragma once
#include <windows.h>
#include "CContactOperation.h"

// Stores a contact made or changed on the PC and offers it to the phone.
class CUpdateContactOperation
    : public CContactOperation<CUpdateContactOperation, IUpdateContactOperation> {
public:
  static constexpr const char* kAssignFailure = "Failed to assign Contact to operation: ";
  static const HRESULT kAssignFailureResult = E_UNEXPECTED;

protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while updating contact!"; }

private:
  ZCLObjectTracer<CUpdateContactOperation> m_tracer;
};

#pragma once
#include <windows.h>
#include "CContactOperation.h"

// Deletes a contact on the PC and offers the deletion to the phone.
class CDeleteContactOperation
    : public CContactOperation<CDeleteContactOperation, IDeleteContactOperation> {
public:
  static constexpr const char* kAssignFailure = "Exception thrown in put_Contact!";
  static const HRESULT kAssignFailureResult = E_INVALIDARG;

protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while deleting contact!"; }

private:
  ZCLObjectTracer<CDeleteContactOperation> m_tracer;
};

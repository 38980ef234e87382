#pragma once
#include <windows.h>
#include "CSmsOperation.h"

// Marks a message deleted on the PC and offers the deletion to the phone.
class CDeleteSmsOperation : public CSmsOperation<CDeleteSmsOperation, IDeleteSmsOperation> {
public:
  static constexpr const char* kAssignFailure = "Exception thrown in put_Sms!";
  static const HRESULT kAssignFailureResult = E_INVALIDARG;

  STDMETHOD(get_DeleteFlags)(long* pFlags) override {
    return ZCLComMethod("CDeleteSmsOperation::get_DeleteFlags", ZCL_SITE, [&]() -> HRESULT {
      if (!pFlags) return E_POINTER;
      *pFlags = m_deleteFlags;
      return S_OK;
    });
  }
  STDMETHOD(put_DeleteFlags)(long flags) override {
    return Put("CDeleteSmsOperation::put_DeleteFlags", [&]() -> HRESULT {
      m_deleteFlags = flags;
      return S_OK;
    });
  }

protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while deleting sms!"; }

private:
  ZCLObjectTracer<CDeleteSmsOperation> m_tracer;
  long m_deleteFlags = 0;
};

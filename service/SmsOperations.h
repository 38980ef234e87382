#pragma once
#include <windows.h>
#include "COperation.h"
#include "CSms.h"

// The message operations.
class CGetSmsOperation : public CSerialNumberOperation<CGetSmsOperation, IGetSmsOperation> {
protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting sms!"; }

private:
  ZCLObjectTracer<CGetSmsOperation> m_tracer;
};

template <class T, class I>
class CSmsOperation : public CAssignedObjectOperation<T, I, ISms, CSms> {
public:
  STDMETHOD(get_Sms)(ISms** ppSms) override { return this->GetAssigned("COperation::get_Sms", ppSms); }
  STDMETHOD(put_Sms)(ISms* pSms) override {
    return this->PutAssigned("COperation::put_Sms", pSms, T::kAssignFailure, T::kAssignFailureResult);
  }

protected:
  const wchar_t* GetMissingObjectText() override { return L"No Message!"; }
  // The phone is the one the message object belongs to.
  bool GetDeviceSerial(std::wstring& serial) override {
    serial = this->GetAssignedObject()->GetSerialNumber();
    return true;
  }
};

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

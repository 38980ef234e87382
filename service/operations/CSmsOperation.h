#pragma once
#include <windows.h>
#include <string>
#include "CAssignedObjectOperation.h"
#include "CSms.h"

// The operations on one message object: its property and its phone.
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

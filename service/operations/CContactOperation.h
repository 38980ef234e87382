#pragma once
#include <windows.h>
#include <string>
#include "CAssignedObjectOperation.h"
#include "CContact.h"

// The operations on one contact object: its property and its phone.
template <class T, class I>
class CContactOperation : public CAssignedObjectOperation<T, I, IContact, CContact> {
public:
  STDMETHOD(get_Contact)(IContact** ppContact) override { return this->GetAssigned("COperation::get_Contact", ppContact); }
  STDMETHOD(put_Contact)(IContact* pContact) override {
    return this->PutAssigned("COperation::put_Contact", pContact, T::kAssignFailure, T::kAssignFailureResult);
  }

protected:
  const wchar_t* GetMissingObjectText() override { return L"No Contact!"; }
  // The phone is the one the contact object belongs to.
  bool GetDeviceSerial(std::wstring& serial) override {
    serial = this->GetAssignedObject()->GetSerialNumber();
    return true;
  }
};

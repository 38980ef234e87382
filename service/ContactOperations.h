#pragma once
#include <windows.h>
#include "CContact.h"
#include "COperation.h"

// The contact operations.
class CGetContactsOperation
    : public CSerialNumberOperation<CGetContactsOperation, IGetContactsOperation> {
protected:
  void Run() override;
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting contacts!"; }

private:
  ZCLObjectTracer<CGetContactsOperation> m_tracer;
};

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

#include <windows.h>
#include "CSms.h"
#include "CAddress.h"
#include "CAddressList.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

typedef CComObjectLock<CSms> CSmsLock;

HRESULT CSms::FinalConstruct() {
  return ZCLComMethod("CSms::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    m_live.Add(GetUnknown(), this);
    return S_OK;
  });
}

void CSms::FinalRelease() { m_live.Remove(); }

void CSms::Init(const CZembraSMS* record, const wchar_t* serialNumber) {
  CSmsLock lock(this);
  m_record.reset(record ? new CZembraSMS(*record) : new CZembraSMS());
  m_serialNumber = ZCLNullToEmpty(serialNumber);
}

CZembraSMS CSms::CopyRecord() {
  CSmsLock lock(this);
  return m_record ? *m_record : CZembraSMS();
}

std::wstring CSms::GetSerialNumber() {
  CSmsLock lock(this);
  return m_serialNumber;
}

STDMETHODIMP CSms::get_DbId(BSTR* pbstrId) {
  return ZCLComMethod("CSms::get_DbId", ZCL_SITE, [&]() -> HRESULT {
    if (!pbstrId) return E_POINTER;
    CSmsLock lock(this);
    return CopyComText(std::to_wstring(m_record ? m_record->GetId() : -1), pbstrId);
  });
}

STDMETHODIMP CSms::get_PhoneId(BSTR* pbstrId) {
  return ZCLComMethod("CSms::get_PhoneId", ZCL_SITE, [&]() -> HRESULT {
    if (!pbstrId) return E_POINTER;
    CSmsLock lock(this);
    return CopyComText(m_record ? m_record->GetPhoneId().ToString() : L"", pbstrId);
  });
}

STDMETHODIMP CSms::get_Message(BSTR* pbstrMessage) {
  return ZCLComMethod("CSms::get_Message", ZCL_SITE, [&]() -> HRESULT {
    CSmsLock lock(this);
    return CopyComText(m_record ? m_record->GetMessage() : L"", pbstrMessage);
  });
}

STDMETHODIMP CSms::get_TimeStamp(BSTR* pbstrTimeStamp) {
  return ZCLComMethod("CSms::get_TimeStamp", ZCL_SITE, [&]() -> HRESULT {
    CSmsLock lock(this);
    return CopyComText(m_record ? m_record->GetTimeStamp() : L"", pbstrTimeStamp);
  });
}

STDMETHODIMP CSms::get_Status(long* pStatus) {
  return ZCLComMethod("CSms::get_Status", ZCL_SITE, [&]() -> HRESULT {
    if (!pStatus) return E_POINTER;
    CSmsLock lock(this);
    *pStatus = m_record ? m_record->GetStatus() : 0;
    return S_OK;
  });
}

STDMETHODIMP CSms::put_Status(long status) {
  return ZCLComMethod("CSms::put_Status", ZCL_SITE, [&]() -> HRESULT {
    CSmsLock lock(this);
    if (m_record) m_record->SetStatus(status);
    return S_OK;
  });
}

STDMETHODIMP CSms::get_Folder(long* pFolder) {
  return ZCLComMethod("CSms::get_Folder", ZCL_SITE, [&]() -> HRESULT {
    if (!pFolder) return E_POINTER;
    CSmsLock lock(this);
    *pFolder = m_record ? m_record->GetFolder() : 0;
    return S_OK;
  });
}

// A new list over a copy of the addresses; an address object that cannot be
// made is left out.
STDMETHODIMP CSms::get_Addresses(IAddressList** ppAddresses) {
  return ZCLComMethod("CSms::get_Addresses", ZCL_SITE, [&]() -> HRESULT {
    if (!ppAddresses) return E_POINTER;
    *ppAddresses = nullptr;
    std::vector<CZembraSMSAddress> addresses;
    {
      CSmsLock lock(this);
      if (m_record)
        for (const CZembraSMSAddress* address : m_record->GetAddresses()) addresses.push_back(*address);
    }
    CComPtr<CComObject<CAddressList>> list = NewComObject<CAddressList>();
    if (!list) return E_FAIL;
    for (const CZembraSMSAddress& address : addresses) {
      CComPtr<CComObject<CAddress>> item = NewComObject<CAddress>();
      if (!item) continue;
      item->Init(address);
      list->AddAddress(static_cast<IAddress*>(item.p), nullptr);
    }
    *ppAddresses = list.Detach();
    return S_OK;
  });
}

STDMETHODIMP CSms::_GetInternalPointer(hyper* pPointer) {
  return ZCLComMethod("CSms::_GetInternalPointer", ZCL_SITE, [&]() -> HRESULT {
    if (pPointer) *pPointer = static_cast<hyper>(reinterpret_cast<INT_PTR>(this));
    return S_OK;
  });
}

#include <windows.h>
#include <vector>
#include "CSms.h"
#include "CAddress.h"
#include "CAddressList.h"
#include "ComText.h"

STDMETHODIMP CSms::get_DbId(BSTR* pbstrId) {
  return Read("CSms::get_DbId", pbstrId,
              [](CZembraSMS& r, BSTR* out) { return CopyComText(std::to_wstring(r.GetId()), out); });
}

STDMETHODIMP CSms::get_PhoneId(BSTR* pbstrId) {
  return Read("CSms::get_PhoneId", pbstrId,
              [](CZembraSMS& r, BSTR* out) { return CopyComText(r.GetPhoneId().ToString(), out); });
}

STDMETHODIMP CSms::get_Message(BSTR* pbstrMessage) {
  return Read("CSms::get_Message", pbstrMessage,
              [](CZembraSMS& r, BSTR* out) { return CopyComText(r.GetMessage(), out); });
}

STDMETHODIMP CSms::get_TimeStamp(BSTR* pbstrTimeStamp) {
  return Read("CSms::get_TimeStamp", pbstrTimeStamp,
              [](CZembraSMS& r, BSTR* out) { return CopyComText(r.GetTimeStamp(), out); });
}

STDMETHODIMP CSms::get_Status(long* pStatus) {
  return Read("CSms::get_Status", pStatus, [](CZembraSMS& r, long* out) {
    *out = r.GetStatus();
    return S_OK;
  });
}

STDMETHODIMP CSms::put_Status(long status) {
  return Write("CSms::put_Status", [&](CZembraSMS& r) {
    r.SetStatus(status);
    return S_OK;
  });
}

STDMETHODIMP CSms::get_Folder(long* pFolder) {
  return Read("CSms::get_Folder", pFolder, [](CZembraSMS& r, long* out) {
    *out = r.GetFolder();
    return S_OK;
  });
}

// A new list over a copy of the addresses; an address object that cannot be
// made is left out.
STDMETHODIMP CSms::get_Addresses(IAddressList** ppAddresses) {
  std::vector<CZembraSMSAddress> addresses;
  HRESULT hr = Read("CSms::get_Addresses", ppAddresses, [&](CZembraSMS& r, IAddressList** out) {
    *out = nullptr;
    for (const CZembraSMSAddress* address : r.GetAddresses()) addresses.push_back(*address);
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  return ZCLComMethod("CSms::get_Addresses", ZCL_SITE, [&]() -> HRESULT {
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
  if (pPointer) *pPointer = static_cast<hyper>(reinterpret_cast<INT_PTR>(this));
  return S_OK;
}

#include <windows.h>
#include "DataWrappers.h"

namespace {

// A member that catches thrown result codes and reports them with its text.
template <class W, class Body>
HRESULT ReportingCodes(LPCOLESTR text, Body body) {
  try {
    return body();
  } catch (const ZCLComException& e) {
    return W::ReportError(text, e.GetHResult());
  }
}

}  // namespace

STDMETHODIMP COrvexDialixContactList::get_Item(LONG index, IOrvexDialixContact** out) {
  return Forward("get_Item", [&](CComPtr<IContactList>& held) {
    return ReportingCodes<COrvexDialixContactList>(L"COrvexDialixContactList::get_Item", [&] {
      if (!out) return E_POINTER;
      CComPtr<IContact> contact;
      ZCLComThrowOnFail(held->get_Item(index, &contact), "IContactList::get_Item");
      *out = COrvexDialixContact::MakeWrapper(contact).Detach();
      return S_OK;
    });
  });
}

STDMETHODIMP COrvexDialixContactList::CreateContact(IOrvexDialixContact** out) {
  return Forward("CreateContact", [&](CComPtr<IContactList>& held) {
    return ReportingCodes<COrvexDialixContactList>(L"COrvexDialixContactList::CreateContact", [&] {
      if (!out) return E_POINTER;
      CComPtr<IContact> contact;
      ZCLComThrowOnFail(held->CreateContact(&contact), "IContactList::CreateContact");
      *out = COrvexDialixContact::MakeWrapper(contact).Detach();
      return S_OK;
    });
  });
}

STDMETHODIMP COrvexDialixContactList::AddContact(IOrvexDialixContact* given, LONG* index) {
  return Forward("AddContact", [&](CComPtr<IContactList>& held) {
    return ReportingCodes<COrvexDialixContactList>(L"COrvexDialixContactList::AddContact", [&] {
      CComPtr<IContact> contact;
      ZCLComThrowOnFail(UnwrapScriptObject<IOrvexDialixContact>(given, &contact),
                        "AddContact: no contact wrapper");
      ZCLComThrowOnFail(held->AddContact(contact, index), "IContactList::AddContact");
      return S_OK;
    });
  });
}

STDMETHODIMP COrvexDialixSmsList::get_Item(LONG index, IOrvexDialixSms** out) {
  return Forward("get_Item", [&](CComPtr<ISmsList>& held) -> HRESULT {
    if (!out) return E_POINTER;
    CComPtr<ISms> sms;
    HRESULT hr = held->get_Item(index, &sms);
    if (FAILED(hr)) return ReportError(L"Failed to get sms", hr);
    *out = COrvexDialixSms::MakeWrapper(sms).Detach();
    return S_OK;
  });
}

HRESULT WrapAnyList(IUnknown* data, IDispatch** out) {
  CComPtr<IUnknown> owned;
  owned.Attach(data);
  if (SUCCEEDED(TryWrapData<COrvexDialixContactList>(CComPtr<IUnknown>(owned).Detach(), out)) ||
      SUCCEEDED(TryWrapData<COrvexDialixDeviceList>(CComPtr<IUnknown>(owned).Detach(), out)) ||
      SUCCEEDED(TryWrapData<COrvexDialixSmsList>(CComPtr<IUnknown>(owned).Detach(), out)) ||
      SUCCEEDED(TryWrapData<COrvexDialixEventList>(CComPtr<IUnknown>(owned).Detach(), out)))
    return S_OK;
  return E_FAIL;
}

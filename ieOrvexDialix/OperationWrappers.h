#pragma once
#include <windows.h>
#include "CActiveXAdaptation.h"
#include "DataWrappers.h"
#include "resource.h"

// The operation wrappers: the generic one the callback hands to script, and
// the eleven specific ones the control's CreateOperation makes. Each lives on
// the page's apartment thread.

// What every operation wrapper shares. T::WrapResult(data, out) turns the
// operation's result into a wrapper (consuming data) or answers E_FAIL.
template <class T, class ScriptItf, class ServiceItf, const CLSID* pclsid, UINT resid>
class COperationWrapper : public CScriptWrapper<T, ScriptItf, ServiceItf, pclsid, resid> {
public:
  STDMETHOD(_GetComInstance)(IOperation** out) override { return this->HandOut(out); }
  STDMETHOD(QueryInterface)(BSTR, IDispatch** out) override {
    return this->Guard("QueryInterface", [&] { return this->QueryOwnInterface(out); });
  }
  using CScriptWrapper<T, ScriptItf, ServiceItf, pclsid, resid>::QueryInterface;
  IE_FORWARD_GET(OperationId, BSTR)
  IE_FORWARD_GET(OperationState, EOperationState)
  IE_FORWARD_GET(ClientId, BSTR)
  // The service's code is not passed on: no result of the right kind is E_FAIL.
  STDMETHOD(get_OperationData)(IDispatch** out) override {
    return this->Forward("get_OperationData", [&](auto& held) -> HRESULT {
      if (!out) return E_POINTER;
      IUnknown* data = nullptr;
      if (FAILED(held->get_OperationData(&data))) return E_FAIL;
      return T::WrapResult(data, out);
    });
  }
};

// The contact or message an update or delete operation carries, as a
// wrapper. T::SetText names the failure of a put.
template <class T, class Base, class DataWrapper, class DataScriptItf, class DataItf>
class CDataPropertyImpl : public Base {
protected:
  template <class Getter>
  HRESULT GetData(const char* name, LPCOLESTR failure, DataScriptItf** out, Getter getter) {
    return this->Forward(name, [&](auto& held) -> HRESULT {
      if (!out) return E_POINTER;
      CComPtr<DataItf> data;
      HRESULT hr = getter(held, &data);
      if (SUCCEEDED(hr) && !data) hr = E_FAIL;
      if (FAILED(hr)) return T::ReportError(failure, hr);
      *out = DataWrapper::MakeWrapper(data).Detach();
      return S_OK;
    });
  }
  template <class Setter>
  HRESULT PutData(const char* name, DataScriptItf* given, Setter setter) {
    return this->Forward(name, [&](auto& held) -> HRESULT {
      CComPtr<DataItf> data;
      HRESULT hr = UnwrapScriptObject<DataScriptItf>(given, &data);
      if (SUCCEEDED(hr)) hr = setter(held, data);
      if (FAILED(hr)) return T::ReportError(T::SetText(), hr);
      return hr;
    });
  }
};

#define IE_CONTACT_PROPERTY                                                          \
  STDMETHOD(get_Contact)(IOrvexDialixContact** out) override {                       \
    return GetData("get_Contact", L"Failed to get contact", out,                     \
                   [](auto& held, IContact** c) { return held->get_Contact(c); });   \
  }                                                                                  \
  STDMETHOD(put_Contact)(IOrvexDialixContact* given) override {                      \
    return PutData("put_Contact", given,                                             \
                   [](auto& held, IContact* c) { return held->put_Contact(c); });    \
  }
#define IE_SMS_PROPERTY                                                              \
  STDMETHOD(get_Sms)(IOrvexDialixSms** out) override {                               \
    return GetData("get_Sms", L"Failed to get sms", out,                             \
                   [](auto& held, ISms** s) { return held->get_Sms(s); });           \
  }                                                                                  \
  STDMETHOD(put_Sms)(IOrvexDialixSms* given) override {                              \
    return PutData("put_Sms", given, [](auto& held, ISms* s) { return held->put_Sms(s); }); \
  }


class COrvexDialixOperation
    : public COperationWrapper<COrvexDialixOperation, IOrvexDialixOperation, IOperation,
                               &CLSID_OrvexDialixOperation, IDR_ORVEXDIALIXOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) { return WrapAnyList(data, out); }
};

class COrvexDialixGetDevicesOperation
    : public COperationWrapper<COrvexDialixGetDevicesOperation, IOrvexDialixGetDevicesOperation,
                               IGetDevicesOperation, &CLSID_OrvexDialixGetDevicesOperation,
                               IDR_ORVEXDIALIXGETDEVICESOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixDeviceList>(data, out);
  }
};

class COrvexDialixGetContactsOperation
    : public COperationWrapper<COrvexDialixGetContactsOperation, IOrvexDialixGetContactsOperation,
                               IGetContactsOperation, &CLSID_OrvexDialixGetContactsOperation,
                               IDR_ORVEXDIALIXGETCONTACTSOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixContactList>(data, out);
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
};

class COrvexDialixGetSmsOperation
    : public COperationWrapper<COrvexDialixGetSmsOperation, IOrvexDialixGetSmsOperation,
                               IGetSmsOperation, &CLSID_OrvexDialixGetSmsOperation,
                               IDR_ORVEXDIALIXGETSMSOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixSmsList>(data, out);
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
};

class COrvexDialixGetEventsOperation
    : public COperationWrapper<COrvexDialixGetEventsOperation, IOrvexDialixGetEventsOperation,
                               IGetEventsOperation, &CLSID_OrvexDialixGetEventsOperation,
                               IDR_ORVEXDIALIXGETEVENTSOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixEventList>(data, out);
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
};

class COrvexDialixUpdateContactOperation
    : public CDataPropertyImpl<
          COrvexDialixUpdateContactOperation,
          COperationWrapper<COrvexDialixUpdateContactOperation, IOrvexDialixUpdateContactOperation,
                            IUpdateContactOperation, &CLSID_OrvexDialixUpdateContactOperation,
                            IDR_ORVEXDIALIXUPDATECONTACTOPERATION>,
          COrvexDialixContact, IOrvexDialixContact, IContact> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixContact>(data, out);
  }
  static LPCOLESTR SetText() { return L"Failed to set contact for update"; }
  IE_CONTACT_PROPERTY
};

class COrvexDialixDeleteContactOperation
    : public CDataPropertyImpl<
          COrvexDialixDeleteContactOperation,
          COperationWrapper<COrvexDialixDeleteContactOperation, IOrvexDialixDeleteContactOperation,
                            IDeleteContactOperation, &CLSID_OrvexDialixDeleteContactOperation,
                            IDR_ORVEXDIALIXDELETECONTACTOPERATION>,
          COrvexDialixContact, IOrvexDialixContact, IContact> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixContact>(data, out);
  }
  static LPCOLESTR SetText() { return L"Failed to set contact"; }
  IE_CONTACT_PROPERTY
};

class COrvexDialixUpdateSmsOperation
    : public CDataPropertyImpl<
          COrvexDialixUpdateSmsOperation,
          COperationWrapper<COrvexDialixUpdateSmsOperation, IOrvexDialixUpdateSmsOperation,
                            IUpdateSmsOperation, &CLSID_OrvexDialixUpdateSmsOperation,
                            IDR_ORVEXDIALIXUPDATESMSOPERATION>,
          COrvexDialixSms, IOrvexDialixSms, ISms> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixSms>(data, out);
  }
  static LPCOLESTR SetText() { return L"Failed to set sms for update"; }
  IE_SMS_PROPERTY
};

class COrvexDialixDeleteSmsOperation
    : public CDataPropertyImpl<
          COrvexDialixDeleteSmsOperation,
          COperationWrapper<COrvexDialixDeleteSmsOperation, IOrvexDialixDeleteSmsOperation,
                            IDeleteSmsOperation, &CLSID_OrvexDialixDeleteSmsOperation,
                            IDR_ORVEXDIALIXDELETESMSOPERATION>,
          COrvexDialixSms, IOrvexDialixSms, ISms> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixSms>(data, out);
  }
  static LPCOLESTR SetText() { return L"Failed to set sms"; }
  IE_SMS_PROPERTY
  IE_FORWARD_PROP(DeleteFlags, LONG)
};

class COrvexDialixSendMessageOperation
    : public COperationWrapper<COrvexDialixSendMessageOperation, IOrvexDialixSendMessageOperation,
                               ISendMessageOperation, &CLSID_OrvexDialixSendMessageOperation,
                               IDR_ORVEXDIALIXSENDMESSAGEOPERATION> {
public:
  // Sending has no result: the service is not asked.
  STDMETHOD(get_OperationData)(IDispatch**) override { return E_FAIL; }
  static HRESULT WrapResult(IUnknown* data, IDispatch**) {
    CComPtr<IUnknown> discarded;
    discarded.Attach(data);
    return E_FAIL;
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
  IE_FORWARD_PROP(Message, BSTR)
  IE_FORWARD_PROP(Recipient, BSTR)
};

class COrvexDialixComposeMessageOperation
    : public COperationWrapper<COrvexDialixComposeMessageOperation,
                               IOrvexDialixComposeMessageOperation, IComposeMessageOperation,
                               &CLSID_OrvexDialixComposeMessageOperation,
                               IDR_ORVEXDIALIXCOMPOSEMESSAGEOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixContact>(data, out);
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
  IE_FORWARD_PROP(Number, BSTR)
  IE_FORWARD_PROP(Message, BSTR)
};

class COrvexDialixCreateCallOperation
    : public COperationWrapper<COrvexDialixCreateCallOperation, IOrvexDialixCreateCallOperation,
                               ICreateCallOperation, &CLSID_OrvexDialixCreateCallOperation,
                               IDR_ORVEXDIALIXCREATECALLOPERATION> {
public:
  static HRESULT WrapResult(IUnknown* data, IDispatch** out) {
    return TryWrapData<COrvexDialixContact>(data, out);
  }
  IE_FORWARD_PROP(SerialNumber, BSTR)
  IE_FORWARD_PROP(Number, BSTR)
};

#pragma once
#include <windows.h>
#include "CActiveXAdaptation.h"
#include "resource.h"

// The wrappers of the service's data, lists and notifications. Each lives on
// the page's apartment thread, like the control that made it.

class COrvexDialixContact
    : public CScriptWrapper<COrvexDialixContact, IOrvexDialixContact, IContact,
                            &CLSID_OrvexDialixContact, IDR_ORVEXDIALIXCONTACT> {
public:
  STDMETHOD(_GetComInstance)(IContact** out) override { return HandOut(out); }
  IE_FORWARD_GET(DbId, BSTR)
  IE_FORWARD_GET(PhoneId, BSTR)
  IE_FORWARD_PROP(VCard, BSTR)
  IE_FORWARD_PROP(TopContact, VARIANT_BOOL)
  IE_FORWARD_GET(PhotoPath, BSTR)
};

class COrvexDialixSms
    : public CScriptWrapper<COrvexDialixSms, IOrvexDialixSms, ISms, &CLSID_OrvexDialixSms,
                            IDR_ORVEXDIALIXSMS> {
public:
  STDMETHOD(_GetComInstance)(ISms** out) override { return HandOut(out); }
  IE_FORWARD_GET(DbId, BSTR)
  IE_FORWARD_GET(PhoneId, BSTR)
  IE_FORWARD_GET(Message, BSTR)
  IE_FORWARD_GET(TimeStamp, BSTR)
  IE_FORWARD_PROP(Status, LONG)
  IE_FORWARD_GET(Folder, LONG)
  IE_FORWARD_GET(Addresses, IAddressList*)
};

// The members every list wrapper shares; Item is the list's own.
template <class T, class ScriptItf, class ServiceItf, const CLSID* pclsid, UINT resid>
class CListWrapper : public CScriptWrapper<T, ScriptItf, ServiceItf, pclsid, resid> {
public:
  STDMETHOD(_GetComInstance)(ServiceItf** out) override { return this->HandOut(out); }
  STDMETHOD(QueryInterface)(BSTR, IDispatch** out) override {
    return this->Guard("QueryInterface", [&] { return this->QueryOwnInterface(out); });
  }
  using CScriptWrapper<T, ScriptItf, ServiceItf, pclsid, resid>::QueryInterface;
  IE_FORWARD_GET(Count, LONG)
};

class COrvexDialixContactList
    : public CListWrapper<COrvexDialixContactList, IOrvexDialixContactList, IContactList,
                          &CLSID_OrvexDialixContactList, IDR_ORVEXDIALIXCONTACTLIST> {
public:
  STDMETHOD(get_Item)(LONG index, IOrvexDialixContact** out) override;
  STDMETHOD(CreateContact)(IOrvexDialixContact** out) override;
  STDMETHOD(AddContact)(IOrvexDialixContact* contact, LONG* index) override;
  STDMETHOD(RemoveContact)(LONG index) override {
    return Forward("RemoveContact", [&](auto& held) { return held->RemoveContact(index); });
  }
};

class COrvexDialixSmsList
    : public CListWrapper<COrvexDialixSmsList, IOrvexDialixSmsList, ISmsList,
                          &CLSID_OrvexDialixSmsList, IDR_ORVEXDIALIXSMSLIST> {
public:
  STDMETHOD(get_Item)(LONG index, IOrvexDialixSms** out) override;
};

class COrvexDialixDeviceList
    : public CListWrapper<COrvexDialixDeviceList, IOrvexDialixDeviceList, IDeviceList,
                          &CLSID_OrvexDialixDeviceList, IDR_ORVEXDIALIXDEVICELIST> {
public:
  STDMETHOD(get_Item)(LONG index, IDevice** out) override {
    return Forward("get_Item", [&](auto& held) { return held->get_Item(index, out); });
  }
};

class COrvexDialixEventList
    : public CListWrapper<COrvexDialixEventList, IOrvexDialixEventList, IEventList,
                          &CLSID_OrvexDialixEventList, IDR_ORVEXDIALIXEVENTLIST> {
public:
  STDMETHOD(get_Item)(LONG index, IEvent** out) override {
    return Forward("get_Item", [&](auto& held) { return held->get_Item(index, out); });
  }
};

class COrvexDialixCallNotification
    : public CScriptWrapper<COrvexDialixCallNotification, IOrvexDialixCallNotification,
                            ICallNotification, &CLSID_OrvexDialixCallNotification,
                            IDR_ORVEXDIALIXCALLNOTIFICATION> {
public:
  IE_FORWARD_GET(SerialNumber, BSTR)
  IE_FORWARD_GET(Number, BSTR)
  // The service declares the state as a plain 32-bit number.
  STDMETHOD(get_State)(ECallState* state) override {
    return Forward("get_State", [&](auto& held) {
      return held->get_State(reinterpret_cast<LONG*>(state));
    });
  }
};

class COrvexDialixMessageReceivedNotification
    : public CScriptWrapper<COrvexDialixMessageReceivedNotification,
                            IOrvexDialixMessageReceivedNotification, IMessageReceivedNotification,
                            &CLSID_OrvexDialixMessageReceivedNotification,
                            IDR_ORVEXDIALIXMESSAGERECEIVEDNOTIFICATION> {
public:
  IE_FORWARD_GET(SerialNumber, BSTR)
  IE_FORWARD_GET(Message, ISms*)
};

class COrvexDialixEventsUpdatedNotification
    : public CScriptWrapper<COrvexDialixEventsUpdatedNotification,
                            IOrvexDialixEventsUpdatedNotification, IEventsUpdatedNotification,
                            &CLSID_OrvexDialixEventsUpdatedNotification,
                            IDR_ORVEXDIALIXEVENTSUPDATEDNOTIFICATION> {
public:
  IE_FORWARD_GET(SerialNumber, BSTR)
  IE_FORWARD_GET(Event, IEvent*)
};

// The result of a generic operation: the first list kind that fits (contact,
// device, message, call-log list); E_FAIL when none does. Consumes data.
HRESULT WrapAnyList(IUnknown* data, IDispatch** out);

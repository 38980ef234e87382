#pragma once
#include <windows.h>
#include "CDialixData.h"

// The base of the eleven operation wrappers: the service operation it wraps.
class CDialixOperation {
public:
  virtual ~CDialixOperation() {}
  IOperation* Wrapped() const { return m_operation; }
  static const nsIID& SelfIid();

protected:
  CComPtr<IOperation> m_operation;
};

// An operation wrapper with two faces: the common IOrvexDialixOperation and
// Specific, its own. ServiceSpecific is the service's interface of the kind;
// Derived::Data() says what OperationData yields.
template <class Derived, class Specific, class ServiceSpecific>
class CDialixOperationT : public IOrvexDialixOperation, public Specific, public CDialixOperation {
  NS_DECL_PLAIN_REFCOUNT
  typedef ServiceSpecific Service;

  static nsresult Create(IOperation* operation, const nsIID& iid, void** result) {
    return DialixCreate<Derived>([operation](Derived* made) { return made->Initialize(operation); }, iid, result);
  }

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    if (iid.Equals(SelfIid())) {
      *result = static_cast<CDialixOperation*>(this);
      return NS_OK;
    }
    if (iid.Equals(NS_GET_IID(nsISupports)) || iid.Equals(NS_GET_IID(IOrvexDialixOperation)))
      *result = static_cast<IOrvexDialixOperation*>(this);
    else if (iid.Equals(Specific::GetIID()))
      *result = static_cast<Specific*>(this);
    else
      return NS_ERROR_NO_INTERFACE;
    AddRef();
    return NS_OK;
  }

  virtual nsresult Initialize(IOperation* operation) {
    m_operation = operation;
    return NS_OK;
  }

  NS_IMETHOD GetClientId(nsAString& id) override {
    return DialixGetText(Common().p, &IOperation::get_ClientId, id);
  }
  NS_IMETHOD GetOperationId(nsAString& id) override {
    return DialixGetText(Common().p, &IOperation::get_OperationId, id);
  }
  NS_IMETHOD GetOperationState(PRInt32* state) override {
    nsresult rv = DialixGetNumber<IOperation, EOperationState>(Common().p, &IOperation::get_OperationState, state);
    return NS_SUCCEEDED(rv) ? NS_OK : rv;
  }
  NS_IMETHOD GetOperationData(nsISupports** data) override {
    return DialixGuard(ZCL_SITE, [&]() -> nsresult { return Derived::Data(Common(), data); });
  }

protected:
  // The service's operation as its own kind; empty when it is not one.
  CComPtr<Service> Kind() const {
    CComPtr<Service> kind;
    if (m_operation) m_operation->QueryInterface(__uuidof(Service), reinterpret_cast<void**>(&kind));
    return kind;
  }
  // Where the common members go: the kind's interface, or IOperation itself
  // for the classes that call it directly.
  CComPtr<IOperation> Common() const {
    if (Derived::kCommonDirect) return m_operation;
    CComPtr<Service> kind = Kind();
    return CComPtr<IOperation>(kind.p);
  }
};

// OperationData: the service's data object as wrapper class Wrapper.
template <class Wrapper>
nsresult DialixOperationData(IOperation* operation, nsISupports** result) {
  if (!operation) return NS_ERROR_NOT_INITIALIZED;
  CComPtr<IUnknown> data;
  HRESULT hr = operation->get_OperationData(&data);
  if (FAILED(hr)) return hr;
  if (!data) return CLASS_E_CLASSNOTAVAILABLE;
  CComPtr<typename Wrapper::Service> kind;
  if (FAILED(data->QueryInterface(__uuidof(typename Wrapper::Service), reinterpret_cast<void**>(&kind))) || !kind)
    return E_FAIL;
  if (!result) return NS_ERROR_INVALID_ARG;
  nsresult rv = Wrapper::Create(kind, Wrapper::Face::GetIID(), reinterpret_cast<void**>(result));
  return NS_FAILED(rv) ? rv : hr;
}

// The operations without result data.
inline nsresult DialixNoOperationData(IOperation*, nsISupports**) { return E_NOTIMPL; }

#define DIALIX_OPERATION_CLASS(Class, Specific, ServiceSpecific, direct, DataFn) \
  class Class : public CDialixOperationT<Class, Specific, ServiceSpecific> {    \
  public:                                                                       \
    static const bool kCommonDirect = direct;                                   \
    static nsresult Data(IOperation* operation, nsISupports** result) {         \
      return DataFn(operation, result);                                         \
    }

#define DIALIX_SERIAL_DECLS                                      \
  NS_IMETHOD GetSerialNumber(nsAString& serial) override;        \
  NS_IMETHOD SetSerialNumber(const nsAString& serial) override;

DIALIX_OPERATION_CLASS(CDialixGetDevices, IOrvexDialixGetDevicesOperation, IGetDevicesOperation, true,
                       DialixOperationData<CDialixDeviceList>)
  nsresult Initialize(IOperation* operation) override;
};

DIALIX_OPERATION_CLASS(CDialixGetContacts, IOrvexDialixGetContactsOperation, IGetContactsOperation, false,
                       DialixOperationData<CDialixContactList>)
  DIALIX_SERIAL_DECLS
};

DIALIX_OPERATION_CLASS(CDialixUpdateContact, IOrvexDialixUpdateContactOperation, IUpdateContactOperation, false,
                       DialixOperationData<CDialixContact>)
  NS_IMETHOD GetContact(IOrvexDialixContact** contact) override;
  NS_IMETHOD SetContact(IOrvexDialixContact* contact) override;
};

DIALIX_OPERATION_CLASS(CDialixDeleteContact, IOrvexDialixDeleteContactOperation, IDeleteContactOperation, false,
                       DialixOperationData<CDialixContact>)
  NS_IMETHOD GetContact(IOrvexDialixContact** contact) override;
  NS_IMETHOD SetContact(IOrvexDialixContact* contact) override;
};

DIALIX_OPERATION_CLASS(CDialixSendMessage, IOrvexDialixSendMessageOperation, ISendMessageOperation, true,
                       DialixNoOperationData)
  DIALIX_SERIAL_DECLS
  NS_IMETHOD GetMessage(nsAString& text) override;
  NS_IMETHOD SetMessage(const nsAString& text) override;
  NS_IMETHOD GetRecipient(nsAString& recipient) override;
  NS_IMETHOD SetRecipient(const nsAString& recipient) override;
};

DIALIX_OPERATION_CLASS(CDialixGetSms, IOrvexDialixGetSmsOperation, IGetSmsOperation, false,
                       DialixOperationData<CDialixSmsList>)
  DIALIX_SERIAL_DECLS
};

DIALIX_OPERATION_CLASS(CDialixUpdateSms, IOrvexDialixUpdateSmsOperation, IUpdateSmsOperation, false,
                       DialixOperationData<CDialixSms>)
  NS_IMETHOD GetSms(IOrvexDialixSms** sms) override;
  NS_IMETHOD SetSms(IOrvexDialixSms* sms) override;
};

DIALIX_OPERATION_CLASS(CDialixDeleteSms, IOrvexDialixDeleteSmsOperation, IDeleteSmsOperation, false,
                       DialixOperationData<CDialixSms>)
  NS_IMETHOD GetSms(IOrvexDialixSms** sms) override;
  NS_IMETHOD SetSms(IOrvexDialixSms* sms) override;
  NS_IMETHOD GetDeleteFlags(PRInt32* flags) override;
  NS_IMETHOD SetDeleteFlags(PRInt32 flags) override;
};

DIALIX_OPERATION_CLASS(CDialixCreateCall, IOrvexDialixCreateCallOperation, ICreateCallOperation, false,
                       DialixNoOperationData)
  DIALIX_SERIAL_DECLS
  NS_IMETHOD GetNumber(nsAString& number) override;
  NS_IMETHOD SetNumber(const nsAString& number) override;
};

DIALIX_OPERATION_CLASS(CDialixGetEvents, IOrvexDialixGetEventsOperation, IGetEventsOperation, false,
                       DialixOperationData<CDialixEventList>)
  DIALIX_SERIAL_DECLS
};

DIALIX_OPERATION_CLASS(CDialixComposeMessage, IOrvexDialixComposeMessageOperation, IComposeMessageOperation, false,
                       DialixNoOperationData)
  DIALIX_SERIAL_DECLS
  NS_IMETHOD GetNumber(nsAString& number) override;
  NS_IMETHOD SetNumber(const nsAString& number) override;
  NS_IMETHOD GetMessage(nsAString& text) override;
  NS_IMETHOD SetMessage(const nsAString& text) override;
};

#undef DIALIX_SERIAL_DECLS
#undef DIALIX_OPERATION_CLASS

// The service's operation id for the scriptable one; null for an id that
// names no operation.
const IID* DialixServiceOperationKind(const nsIID& kind);
// The wrapper of the operation kind whose scriptable id is given, over the
// service operation, answering IOrvexDialixOperation. E_NOTIMPL for an id
// that names no operation.
nsresult DialixWrapOperation(const nsIID& kind, IOperation* operation, IOrvexDialixOperation** result);

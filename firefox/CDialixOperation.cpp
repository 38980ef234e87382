#include <windows.h>
#include "CDialixOperation.h"
#include "ZCLLogger.h"

const nsIID& CDialixOperation::SelfIid() {
  static const nsIID id = {0xC2A8E4F1, 0x5D07, 0x4B3C, {0x8E, 0x91, 0x2F, 0x6A, 0xD0, 0x13, 0x7C, 0x45}};
  return id;
}

nsresult CDialixGetDevices::Initialize(IOperation* operation) {
  ZCLScopeTracer trace("CDialixGetDevices::Initialize");
  return CDialixOperationT::Initialize(operation);
}

// A text member of the service's operation kind.
#define DIALIX_OPERATION_TEXT(Class, Name)                                 \
  NS_IMETHODIMP Class::Get##Name(nsAString& text) {                        \
    return DialixGetText(Kind().p, &Service::get_##Name, text);            \
  }                                                                        \
  NS_IMETHODIMP Class::Set##Name(const nsAString& text) {                  \
    nsresult rv = DialixSetText(Kind().p, &Service::put_##Name, text);     \
    return NS_SUCCEEDED(rv) ? NS_OK : rv;                                  \
  }

// An object member: the service's contact or message in its wrapper; only
// our own wrapper is passed back to the service.
#define DIALIX_OPERATION_OBJECT(Class, Name, Wrapper)                                            \
  NS_IMETHODIMP Class::Get##Name(Wrapper::Face** object) {                                       \
    return DialixGuard(ZCL_SITE, [&]() -> nsresult {                                             \
      CComPtr<Service> kind = Kind();                                                            \
      if (!kind) return NS_ERROR_NOT_INITIALIZED;                                                \
      CComPtr<Wrapper::Service> held;                                                            \
      HRESULT hr = kind->get_##Name(&held);                                                      \
      if (FAILED(hr)) return hr;                                                                 \
      if (!held) return E_FAIL;                                                                  \
      if (!object) return NS_ERROR_INVALID_ARG;                                                  \
      nsresult rv = Wrapper::Wrap(held, object);                                                 \
      return NS_FAILED(rv) ? rv : hr;                                                            \
    });                                                                                          \
  }                                                                                              \
  NS_IMETHODIMP Class::Set##Name(Wrapper::Face* object) {                                        \
    return DialixGuard(ZCL_SITE, [&]() -> nsresult {                                             \
      CComPtr<Service> kind = Kind();                                                            \
      if (!kind) return NS_ERROR_NOT_INITIALIZED;                                                \
      Wrapper* ours = DialixOwnObject<Wrapper>(object);                                          \
      if (!ours) return E_FAIL;                                                                  \
      CComPtr<Wrapper::Service> held(ours->Wrapped());                                           \
      return kind->put_##Name(held);                                                             \
    });                                                                                          \
  }

DIALIX_OPERATION_TEXT(CDialixGetContacts, SerialNumber)
DIALIX_OPERATION_OBJECT(CDialixUpdateContact, Contact, CDialixContact)
DIALIX_OPERATION_OBJECT(CDialixDeleteContact, Contact, CDialixContact)
DIALIX_OPERATION_TEXT(CDialixSendMessage, SerialNumber)
DIALIX_OPERATION_TEXT(CDialixSendMessage, Message)
DIALIX_OPERATION_TEXT(CDialixSendMessage, Recipient)
DIALIX_OPERATION_TEXT(CDialixGetSms, SerialNumber)
DIALIX_OPERATION_OBJECT(CDialixUpdateSms, Sms, CDialixSms)
DIALIX_OPERATION_OBJECT(CDialixDeleteSms, Sms, CDialixSms)
DIALIX_OPERATION_TEXT(CDialixCreateCall, SerialNumber)
DIALIX_OPERATION_TEXT(CDialixCreateCall, Number)
DIALIX_OPERATION_TEXT(CDialixGetEvents, SerialNumber)
DIALIX_OPERATION_TEXT(CDialixComposeMessage, SerialNumber)
DIALIX_OPERATION_TEXT(CDialixComposeMessage, Number)
DIALIX_OPERATION_TEXT(CDialixComposeMessage, Message)

NS_IMETHODIMP CDialixDeleteSms::GetDeleteFlags(PRInt32* flags) {
  return DialixGetNumber<IDeleteSmsOperation, long>(Kind().p, &IDeleteSmsOperation::get_DeleteFlags, flags);
}

NS_IMETHODIMP CDialixDeleteSms::SetDeleteFlags(PRInt32 flags) {
  CComPtr<IDeleteSmsOperation> kind = Kind();
  return kind ? kind->put_DeleteFlags(flags) : NS_ERROR_NOT_INITIALIZED;
}

namespace {

typedef nsresult (*OperationFactory)(IOperation* operation, const nsIID& iid, void** result);

struct OperationKind {
  const nsIID& scriptKind;
  const IID& serviceKind;
  OperationFactory create;
};

const OperationKind* FindOperationKind(const nsIID& kind) {
  static const OperationKind kinds[] = {
      {NS_GET_IID(IOrvexDialixGetDevicesOperation), IID_IGetDevicesOperation, &CDialixGetDevices::Create},
      {NS_GET_IID(IOrvexDialixGetContactsOperation), IID_IGetContactsOperation, &CDialixGetContacts::Create},
      {NS_GET_IID(IOrvexDialixUpdateContactOperation), IID_IUpdateContactOperation, &CDialixUpdateContact::Create},
      {NS_GET_IID(IOrvexDialixDeleteContactOperation), IID_IDeleteContactOperation, &CDialixDeleteContact::Create},
      {NS_GET_IID(IOrvexDialixSendMessageOperation), IID_ISendMessageOperation, &CDialixSendMessage::Create},
      {NS_GET_IID(IOrvexDialixGetSmsOperation), IID_IGetSmsOperation, &CDialixGetSms::Create},
      {NS_GET_IID(IOrvexDialixUpdateSmsOperation), IID_IUpdateSmsOperation, &CDialixUpdateSms::Create},
      {NS_GET_IID(IOrvexDialixDeleteSmsOperation), IID_IDeleteSmsOperation, &CDialixDeleteSms::Create},
      {NS_GET_IID(IOrvexDialixCreateCallOperation), IID_ICreateCallOperation, &CDialixCreateCall::Create},
      {NS_GET_IID(IOrvexDialixGetEventsOperation), IID_IGetEventsOperation, &CDialixGetEvents::Create},
      {NS_GET_IID(IOrvexDialixComposeMessageOperation), IID_IComposeMessageOperation,
       &CDialixComposeMessage::Create}};
  for (const OperationKind& k : kinds)
    if (k.scriptKind.Equals(kind)) return &k;
  return nullptr;
}

}  // namespace

const IID* DialixServiceOperationKind(const nsIID& kind) {
  const OperationKind* found = FindOperationKind(kind);
  return found ? &found->serviceKind : nullptr;
}

nsresult DialixWrapOperation(const nsIID& kind, IOperation* operation, IOrvexDialixOperation** result) {
  const OperationKind* found = FindOperationKind(kind);
  if (!found) return E_NOTIMPL;
  return found->create(operation, NS_GET_IID(IOrvexDialixOperation), reinterpret_cast<void**>(result));
}

#include <windows.h>
#include <cstdio>
#include "CDialixData.h"
#include "ZCLText.h"

// An item of a list, in the wrapper of its kind; the index base is the service's.
#define DIALIX_LIST_MEMBERS(Class, ItemWrapper)                                                \
  NS_IMETHODIMP Class::Item(PRInt32 index, ItemWrapper::Face** item) {                         \
    return DialixGetWrapped<ItemWrapper>(                                                      \
        m_service != nullptr,                                                                  \
        [&](ItemWrapper::Service** object) { return m_service->get_Item(index, object); }, item); \
  }                                                                                            \
  NS_IMETHODIMP Class::GetCount(PRInt32* count) {                                              \
    return DialixGetNumber<Service, long>(m_service, &Service::get_Count, count);             \
  }

#define DIALIX_TEXT(Class, Name) \
  NS_IMETHODIMP Class::Get##Name(nsAString& text) { return DialixGetText(m_service.p, &Service::get_##Name, text); }

#define DIALIX_NUMBER(Class, Name, Value)                                         \
  NS_IMETHODIMP Class::Get##Name(PRInt32* value) {                                \
    return DialixGetNumber<Service, Value>(m_service.p, &Service::get_##Name, value); \
  }

// --- CDialixAddress, CDialixAddressList
DIALIX_NUMBER(CDialixAddress, Type, long)
DIALIX_TEXT(CDialixAddress, Address)
DIALIX_LIST_MEMBERS(CDialixAddressList, CDialixAddress)

// --- CDialixContact
const nsIID& CDialixContact::SelfIid() {
  static const nsIID id = {0x3E5C7A10, 0x2B94, 0x4F6D, {0x9A, 0x1C, 0x44, 0x0B, 0x7E, 0x2F, 0x61, 0xD3}};
  return id;
}
DIALIX_TEXT(CDialixContact, DbId)
DIALIX_TEXT(CDialixContact, PhoneId)
DIALIX_TEXT(CDialixContact, VCard)
DIALIX_TEXT(CDialixContact, PhotoPath)
DIALIX_TEXT(CDialixContact, FormattedName)

NS_IMETHODIMP CDialixContact::SetVCard(const nsAString& card) {
  return DialixSetText(m_service.p, &IContact::put_VCard, card);
}

NS_IMETHODIMP CDialixContact::GetTopContact(PRBool* top) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!m_service) return NS_ERROR_NOT_INITIALIZED;
    VARIANT_BOOL value = VARIANT_FALSE;
    HRESULT hr = m_service->get_TopContact(&value);
    if (FAILED(hr)) return hr;
    if (!top) return NS_ERROR_INVALID_ARG;
    *top = value == VARIANT_TRUE ? PR_TRUE : PR_FALSE;
    return hr;
  });
}

NS_IMETHODIMP CDialixContact::SetTopContact(PRBool top) {
  if (!m_service) return NS_ERROR_NOT_INITIALIZED;
  return m_service->put_TopContact(top ? VARIANT_TRUE : VARIANT_FALSE);
}

// --- CDialixContactList
DIALIX_LIST_MEMBERS(CDialixContactList, CDialixContact)

NS_IMETHODIMP CDialixContactList::CreateContact(IOrvexDialixContact** contact) {
  return DialixGetWrapped<CDialixContact>(
      m_service != nullptr, [&](IContact** object) { return m_service->CreateContact(object); }, contact);
}

NS_IMETHODIMP CDialixContactList::AddContact(IOrvexDialixContact* contact, PRInt32* index) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!m_service) return NS_ERROR_NOT_INITIALIZED;
    CDialixContact* ours = DialixOwnObject<CDialixContact>(contact);
    if (!ours) return NS_ERROR_FAILURE;
    long added = -1;
    HRESULT hr = m_service->AddContact(ours->Wrapped(), &added);
    if (SUCCEEDED(hr) && index) *index = added;
    return hr;
  });
}

NS_IMETHODIMP CDialixContactList::RemoveContact(PRInt32 index) {
  if (!m_service) return NS_ERROR_NOT_INITIALIZED;
  return m_service->RemoveContact(index);
}

// --- CDialixDevice, CDialixDeviceList
DIALIX_TEXT(CDialixDevice, SerialNumber)
DIALIX_TEXT(CDialixDevice, ModelName)
DIALIX_TEXT(CDialixDevice, FriendlyName)
DIALIX_TEXT(CDialixDevice, Manufacturer)
DIALIX_TEXT(CDialixDevice, BluetoothName)
DIALIX_NUMBER(CDialixDevice, State, EDeviceState)
DIALIX_LIST_MEMBERS(CDialixDeviceList, CDialixDevice)

// --- CDialixErrorInfo
NS_IMETHODIMP CDialixErrorInfo::GetGUID(nsAString& text) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!m_service) return NS_ERROR_NOT_INITIALIZED;
    GUID id = GUID();
    HRESULT hr = m_service->GetGUID(&id);
    if (FAILED(hr)) return hr;
    char narrow[40];
    std::snprintf(narrow, sizeof(narrow), "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                  id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    nsresult rv = NS_StringSetData(text, ZCLAnsiToWide(narrow).c_str(), PR_UINT32_MAX);
    return NS_FAILED(rv) ? rv : hr;
  });
}
NS_IMETHODIMP CDialixErrorInfo::GetSource(nsAString& text) {
  return DialixGetText(m_service.p, &IErrorInfo::GetSource, text);
}
NS_IMETHODIMP CDialixErrorInfo::GetDescription(nsAString& text) {
  return DialixGetText(m_service.p, &IErrorInfo::GetDescription, text);
}
NS_IMETHODIMP CDialixErrorInfo::GetHelpFile(nsAString& text) {
  return DialixGetText(m_service.p, &IErrorInfo::GetHelpFile, text);
}
NS_IMETHODIMP CDialixErrorInfo::GetHelpContext(PRInt32* context) {
  return DialixGetNumber<IErrorInfo, DWORD>(m_service.p, &IErrorInfo::GetHelpContext, context);
}

// --- CDialixEvent, CDialixEventList
DIALIX_TEXT(CDialixEvent, Id)
DIALIX_NUMBER(CDialixEvent, Type, long)
DIALIX_NUMBER(CDialixEvent, Direction, long)
DIALIX_TEXT(CDialixEvent, Number)
DIALIX_TEXT(CDialixEvent, Name)
DIALIX_TEXT(CDialixEvent, TimeStamp)

template <class Get>
nsresult CDialixEvent::GetFromVariant(Get get, PRInt64* value) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!m_service) return NS_ERROR_NOT_INITIALIZED;
    CComVariant variant;
    HRESULT hr = (m_service->*get)(&variant);
    if (FAILED(hr)) return hr;
    if (!value) return NS_ERROR_INVALID_ARG;
    *value = static_cast<PRInt64>(variant.ullVal);
    return hr;
  });
}

NS_IMETHODIMP CDialixEvent::GetDuration(PRInt32* duration) {
  PRInt64 value = 0;
  nsresult rv = GetFromVariant(&IEvent::get_Duration, duration ? &value : nullptr);
  if (NS_SUCCEEDED(rv)) *duration = static_cast<PRInt32>(static_cast<PRUint32>(value));
  return rv;
}
NS_IMETHODIMP CDialixEvent::GetBytesSent(PRInt64* bytes) { return GetFromVariant(&IEvent::get_BytesSent, bytes); }
NS_IMETHODIMP CDialixEvent::GetBytesReceived(PRInt64* bytes) {
  return GetFromVariant(&IEvent::get_BytesReceived, bytes);
}
DIALIX_LIST_MEMBERS(CDialixEventList, CDialixEvent)

// --- CDialixSms, CDialixSmsList
const nsIID& CDialixSms::SelfIid() {
  static const nsIID id = {0x7B0F5D24, 0x9C31, 0x4A8E, {0xB6, 0x57, 0x0D, 0x93, 0x2A, 0xE1, 0x4C, 0x68}};
  return id;
}
DIALIX_TEXT(CDialixSms, DbId)
DIALIX_TEXT(CDialixSms, PhoneId)
DIALIX_TEXT(CDialixSms, Message)
DIALIX_TEXT(CDialixSms, TimeStamp)
DIALIX_NUMBER(CDialixSms, Status, long)
DIALIX_NUMBER(CDialixSms, Folder, long)

NS_IMETHODIMP CDialixSms::SetStatus(PRInt32 status) {
  if (!m_service) return NS_ERROR_NOT_INITIALIZED;
  return m_service->put_Status(status);
}

NS_IMETHODIMP CDialixSms::GetAddresses(IOrvexDialixAddressList** addresses) {
  return DialixGetWrapped<CDialixAddressList>(
      m_service != nullptr, [&](IAddressList** object) { return m_service->get_Addresses(object); }, addresses);
}
DIALIX_LIST_MEMBERS(CDialixSmsList, CDialixSms)

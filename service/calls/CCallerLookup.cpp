#include <windows.h>
#include "CCallerLookup.h"
#include <vector>
#include "CContact.h"
#include "ZCLException.h"

std::wstring WithoutBlanks(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text)
    if (c != L' ') out += c;
  return out;
}

HRESULT LookUpCaller(CZembraDeviceList& devices, const std::wstring& serial, const std::wstring& number,
                     IContact** ppContact) {
  if (number.empty() || !ppContact) return E_INVALIDARG;
  CZembraDevicePtr device = devices.Find(serial.c_str());
  if (!device) return E_INVALIDARG;
  // Too short to tell one contact from another: no query at all.
  if (WithoutBlanks(number).size() <= 5) return S_FALSE;
  std::vector<CZembraContact> contacts = device->FindContactsByNumber(number.c_str());
  if (contacts.empty()) return S_FALSE;
  CZembraContact contact = contacts.front();
  Trelk::CUid uid = contact.GetPhoneId();
  if (!uid.IsEmpty()) {
    std::wstring path = device->GetDataFolder();
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += uid.ToString();
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) contact.SetPhotoPath(path.c_str());
  }
  CComObject<CContact>* raw = nullptr;
  ZCLComThrowOnFail(CComObject<CContact>::CreateInstance(&raw), ZCL_POS + " Failed to create contact.");
  CComPtr<IUnknown> object(raw->GetUnknown());
  raw->Init(&contact, serial.c_str());
  return object->QueryInterface(IID_IContact, reinterpret_cast<void**>(ppContact));
}

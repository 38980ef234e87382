#include <windows.h>
#include "PhoneDataServer.h"
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "ZCLException.h"

using namespace PhoneSim;

namespace {

// A failure injected into the world for the named operation (phonectl fault).
void ThrowInjected(CPhoneWorld& world, const char* operation) {
  DWORD code = 0;
  if (world.TakeFault(operation, &code)) ZCLComThrowOnFail(static_cast<HRESULT>(code), std::string("Injected failure of ") + operation);
}

// A one-dimensional array of the texts, handed to the caller.
HRESULT MakeTextArray(const std::vector<std::wstring>& texts, SAFEARRAY** out) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
  if (!array) return E_OUTOFMEMORY;
  for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
    CComBSTR text(texts[i].c_str());
    HRESULT hr = SafeArrayPutElement(array, &i, text.m_str);  // copies the text
    if (FAILED(hr)) {
      SafeArrayDestroy(array);
      return hr;
    }
  }
  *out = array;
  return S_OK;
}

const wchar_t kKeySeparator[] = L";IMEI:";

}  // namespace

STDMETHODIMP CPhoneDataServer::GetList(BSTR key, SAFEARRAY** list) {
  return ZCLComMethod("CPhoneDataServer::GetList", ZCL_SITE, [&]() -> HRESULT {
    if (!list) return E_POINTER;
    *list = nullptr;
    if (!key || !*key) return E_INVALIDARG;
    CPhoneWorld world;
    ThrowInjected(world, "IPhoneDataStore::GetList");
    std::wstring word = key;
    size_t separator = word.find(kKeySeparator);
    if (separator != std::wstring::npos) word.resize(separator);
    return MakeTextArray(world.ReadCategory(word), list);
  });
}

STDMETHODIMP CPhoneDataServer::RefreshDevice(BSTR deviceId, LONG) {
  return ZCLComMethod("CPhoneDataServer::RefreshDevice", ZCL_SITE, [&]() -> HRESULT {
    if (!deviceId || !*deviceId) return E_INVALIDARG;
    CPhoneWorld world;
    ThrowInjected(world, "IPhoneDataDevices::RefreshDevice");
    CPhone phone;
    if (!world.ReadPhone(deviceId, &phone)) return E_INVALIDARG;
    world.RefreshPhoneData(deviceId);
    return S_OK;
  });
}

STDMETHODIMP CPhoneDataServer::GetNamedValue(BSTR deviceId, BSTR component, LONG, LONG, LONG, LONG, BSTR valueName,
                                             SAFEARRAY** values) {
  return ZCLComMethod("CPhoneDataServer::GetNamedValue", ZCL_SITE, [&]() -> HRESULT {
    if (!values) return E_POINTER;
    *values = nullptr;
    if (!deviceId || !*deviceId || !component || !valueName || std::wstring(valueName) != L"Version")
      return E_INVALIDARG;
    CPhoneWorld world;
    ThrowInjected(world, "IPhoneDataDevices::GetNamedValue");
    std::vector<std::wstring> texts;
    std::wstring version;
    if (world.ReadComponentVersion(deviceId, component, &version)) texts.push_back(version);
    return MakeTextArray(texts, values);
  });
}

STDMETHODIMP CPhoneDataServer::RegisterApplication(BSTR applicationName) {
  return ZCLComMethod("CPhoneDataServer::RegisterApplication", ZCL_SITE, [&]() -> HRESULT {
    CPhoneWorld world;
    ThrowInjected(world, "IPhoneDataDevices::RegisterApplication");
    world.RecordPhoneDataApplication(applicationName ? applicationName : L"");
    return S_OK;
  });
}

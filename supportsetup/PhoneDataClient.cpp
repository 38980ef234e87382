#include <windows.h>
#include "PhoneDataClient.h"
#include <cstring>
#include <string>
#include <vector>
#include "QorsalPhoneDataIds.h"
#include "ZCLFrame.h"

namespace {

const size_t kBufferChars = CPhoneDataClient::kBufferBytes / sizeof(wchar_t);
const DWORD kServerContexts = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Destroys the server's array when the question is done.
class CSafeArrayHolder {
public:
  ~CSafeArrayHolder() {
    if (m_array) SafeArrayDestroy(m_array);
  }
  SAFEARRAY** Put() { return &m_array; }
  SAFEARRAY* Get() const { return m_array; }

private:
  SAFEARRAY* m_array = nullptr;
};

}  // namespace

bool PhoneDataTexts(SAFEARRAY* array, std::vector<std::wstring>* texts) {
  texts->clear();
  VARTYPE type = VT_EMPTY;
  if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &type)) || type != VT_BSTR)
    return false;
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) return false;
  for (LONG i = lower; i <= upper; ++i) {
    CComBSTR element;
    if (FAILED(SafeArrayGetElement(array, &i, &element))) return false;  // a copy of the text
    texts->push_back(element ? std::wstring(element, element.Length()) : std::wstring());
  }
  return true;
}

CPhoneDataClient::CPhoneDataClient(const wchar_t* applicationName) {
  ZCLGuarded(3, ZCL_SITE, [&] {
    m_buffer.reset(new wchar_t[kBufferChars]());
    Create(applicationName);
  });
}

void CPhoneDataClient::Create(const wchar_t* applicationName) {
  HRESULT hr = CoCreateInstance(CLSID_PhoneDataServer, nullptr, kServerContexts, __uuidof(IPhoneDataStore),
                                reinterpret_cast<void**>(&m_store));
  if (hr == CO_E_NOTINITIALIZED) {
    if (SUCCEEDED(CoInitialize(nullptr))) m_comInitialized = 1;
    hr = CoCreateInstance(CLSID_PhoneDataServer, nullptr, kServerContexts, __uuidof(IPhoneDataStore),
                          reinterpret_cast<void**>(&m_store));
  }
  if (FAILED(hr) || !m_store) return;
  if (FAILED(m_store->QueryInterface(__uuidof(IPhoneDataDevices), reinterpret_cast<void**>(&m_devices)))) {
    m_store.Release();
    return;
  }
  m_ready = 1;
  if (applicationName && *applicationName) {
    CComBSTR name(applicationName);
    if (FAILED(m_devices->RegisterApplication(name))) {
      m_devices.Release();
      m_store.Release();
      m_ready = 0;
    }
  }
}

CPhoneDataClient::~CPhoneDataClient() {
  // The second interface, then the first, then the thread's COM.
  m_devices.Release();
  m_store.Release();
  if (m_comInitialized) CoUninitialize();
  m_buffer.reset();
}

std::wstring CPhoneDataClient::PhoneKey(const wchar_t* firstPart, const wchar_t* secondPart) {
  std::wstring key = firstPart ? firstPart : L"";
  if (secondPart && *secondPart) key += std::wstring(L";IMEI:") + secondPart;
  return key;
}

HRESULT CPhoneDataClient::RefreshDevice(const wchar_t* deviceId) {
  if (m_buffer) m_buffer[0] = 0;
  if (!IsReady()) return E_FAIL;
  HRESULT hr = E_FAIL;
  ZCLGuarded(3, ZCL_SITE, [&] {
    CComBSTR device(deviceId ? deviceId : L"");
    hr = m_devices->RefreshDevice(device, 0);
  });
  return hr;
}

bool CPhoneDataClient::ListContains(const wchar_t* secondPart, const wchar_t* name, const wchar_t* firstPart) {
  if (!IsReady() || !name || !*name || !firstPart) return false;
  bool found = false;
  ZCLGuarded(3, ZCL_SITE, [&] {
    CComBSTR keyText(PhoneKey(firstPart, secondPart).c_str());
    CSafeArrayHolder list;
    std::vector<std::wstring> texts;
    if (FAILED(m_store->GetList(keyText, list.Put())) || !PhoneDataTexts(list.Get(), &texts)) return;
    for (const std::wstring& text : texts) {
      if (!text.empty() && text == name) {
        found = true;
        return;
      }
    }
  });
  return found;
}

const wchar_t* CPhoneDataClient::GetNamedValue(const wchar_t* deviceId, const wchar_t* component) {
  if (!m_buffer) return nullptr;
  m_buffer[0] = 0;
  if (!IsReady()) return nullptr;
  bool answered = false;
  ZCLGuarded(3, ZCL_SITE, [&] {
    CComBSTR device(deviceId ? deviceId : L""), name(component ? component : L""), value(L"Version");
    CSafeArrayHolder values;
    std::vector<std::wstring> texts;
    if (FAILED(m_devices->GetNamedValue(device, name, 0, 0, 0, 0, value, values.Put())) ||
        !PhoneDataTexts(values.Get(), &texts))
      return;
    std::memset(m_buffer.get(), 0, kBufferChars * sizeof(wchar_t));
    // Every text with its terminator, and one empty text after the last:
    // whatever does not fit before that is cut.
    size_t at = 0;
    for (const std::wstring& text : texts) {
      if (at + 2 > kBufferChars) break;
      size_t room = kBufferChars - at - 2;
      size_t count = text.size() < room ? text.size() : room;
      text.copy(m_buffer.get() + at, count);
      at += count + 1;
    }
    answered = true;
  });
  return answered ? m_buffer.get() : nullptr;
}

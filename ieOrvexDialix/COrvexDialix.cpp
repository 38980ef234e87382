#include <windows.h>
#include <mshtml.h>
#include <algorithm>
#include <string>
#include <vector>
#include "COrvexDialix.h"
#include "COrvexDialixCallBack.h"
#include "ComBSTR.h"
#include "OperationTable.h"
#include "PageLock.h"
#include "SutrelRegistry.h"
#include "ZCLHandle.h"

namespace {

// Hands text to an out place as a new string.
HRESULT GiveText(const std::wstring& text, BSTR* out) {
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The platform's text for a Win32 error, in the user's default language;
// network errors come from the network message library.
std::wstring SystemMessage(DWORD error) {
  LPWSTR buffer = nullptr;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  CModuleHandle netmsg;
  if (error >= 2100 && error <= 2999) {
    netmsg.Reset(::LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (netmsg) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  }
  DWORD length = ::FormatMessageW(flags, netmsg.Get(), error, LANG_USER_DEFAULT,
                                  reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  return text;
}

struct NotificationName {
  const wchar_t* name;
  const IID* iid;
};
const NotificationName kNotifications[] = {
    {L"IOrvexDialixCallNotification", &IID_ICallNotification},
    {L"IOrvexDialixMessageReceivedNotification", &IID_IMessageReceivedNotification},
    {L"IOrvexDialixEventsUpdatedNotification", &IID_IEventsUpdatedNotification},
};

}  // namespace

COrvexDialix::COrvexDialix() {}

COrvexDialix::~COrvexDialix() {}

HRESULT COrvexDialix::FinalConstruct() {
  // A control without a service is still made: its methods then say so.
  CLSID clsid;
  m_serviceCreation = ::CLSIDFromProgID(L"SZembra.Zembra", &clsid);
  if (SUCCEEDED(m_serviceCreation))
    m_serviceCreation = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                                           reinterpret_cast<void**>(&m_service));
  return S_OK;
}

// The callbacks live on while the service holds them, without the script.
void COrvexDialix::FinalRelease() {
  for (auto& callback : m_callbacks) callback->Leave(m_service);
  m_callbacks.clear();
  m_service.Release();
}

HRESULT COrvexDialix::ReportError(LPCOLESTR text, HRESULT hr) {
  return Error(text, GUID_NULL, hr ? hr : DISP_E_EXCEPTION);
}

void COrvexDialix::OnDraw(HDC dc, const RECT& bounds) {
  ::Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  UINT align = ::SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  static const wchar_t kText[] = L"ATL 8.0 : OrvexDialix";
  ::TextOutW(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, kText,
             static_cast<int>(wcslen(kText)));
  ::SetTextAlign(dc, align);
}

// Any page may script the control, and the control reads files, writes the
// machine's registry, starts a program and drives the phone. Once it sits in
// a container (a client site) or a container asked for safe options, only a
// page inside the installation folder may call it. A host that asks for
// neither (a script host) is trusted.
HRESULT COrvexDialix::CheckPage() {
  IOleClientSite* site = ClientSite();
  if (!site && !SafetyRequested()) return S_OK;
  std::wstring url;
  if (site) {
    CComPtr<IOleContainer> container;
    CComPtr<IHTMLDocument2> document;
    CComBSTR location;
    if (SUCCEEDED(site->GetContainer(&container)) && container &&
        SUCCEEDED(container->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document))) &&
        SUCCEEDED(document->get_URL(&location)))
      url = BstrText(location);
  }
  std::wstring folder;
  if (url.empty() || ReadSutrelValue(kApplicationPathValue, &folder) != ERROR_SUCCESS ||
      !IsUrlInsideFolder(url, folder))
    return ReportError(L"Access denied", E_ACCESSDENIED);
  return S_OK;
}

template <class Body>
HRESULT COrvexDialix::Guarded(const char* name, Body body) {
  return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
    HRESULT hr = CheckPage();
    return FAILED(hr) ? hr : body();
  });
}

HRESULT COrvexDialix::NeedService() {
  if (m_service) return S_OK;
  return ReportError(L"Orvex Dialix service is not available.",
                     FAILED(m_serviceCreation) ? m_serviceCreation : E_UNEXPECTED);
}

STDMETHODIMP COrvexDialix::Connect(IDispatch* script) {
  return Guarded("COrvexDialix::Connect", [&]() -> HRESULT {
    if (!script) return ReportError(L"Argument pDispCallback is NULL", E_POINTER);
    HRESULT hr = NeedService();
    if (FAILED(hr)) return hr;
    m_callbacks.erase(std::remove_if(m_callbacks.begin(), m_callbacks.end(),
                                     [](const CComPtr<COrvexDialixCallBack>& c) { return c->Ended(); }),
                      m_callbacks.end());
    CComPtr<COrvexDialixCallBack> callback;
    callback.Attach(new COrvexDialixCallBack(script));
    m_callbacks.push_back(callback);
    return m_service->Connect(callback);
  });
}

STDMETHODIMP COrvexDialix::Disconnect(BSTR clientId) {
  return Guarded("COrvexDialix::Disconnect", [&]() -> HRESULT {
    HRESULT hr = NeedService();
    if (SUCCEEDED(hr)) hr = m_service->Disconnect(clientId);
    if (SUCCEEDED(hr))
      for (auto& callback : m_callbacks) callback->DisconnectSent(clientId);
    return hr;
  });
}

STDMETHODIMP COrvexDialix::CreateOperation(BSTR clientId, BSTR name, IDispatch** operation) {
  return Guarded("COrvexDialix::CreateOperation", [&]() -> HRESULT {
    if (!operation) return ReportError(L"Invalid argument", E_INVALIDARG);
    *operation = nullptr;
    COperationTable table = MakeOperationTable();
    auto entry = table.find(BstrText(name));
    if (entry == table.end())
      return ReportError((L"Unknown operation: " + BstrText(name)).c_str(), E_INVALIDARG);
    HRESULT hr = NeedService();
    if (FAILED(hr)) return hr;
    CComPtr<IOperation> created;
    hr = m_service->CreateOperation(clientId, entry->second->GetServiceIID(), &created);
    if (FAILED(hr)) return hr;
    return entry->second->CreateWrapper(this, operation, created);
  });
}

namespace {

// The service operation inside a script operation wrapper. The generic
// wrapper answers only its own interface, each specific wrapper only its own
// (walked in the table's order); generic says whether the generic one counts.
// S_FALSE when the object is no operation wrapper at all.
HRESULT ServiceOperationOf(IDispatch* wrapper, bool generic, IOperation** operation) {
  *operation = nullptr;
  if (!wrapper) return S_FALSE;
  CComPtr<IOrvexDialixOperation> script;
  if (generic)
    wrapper->QueryInterface(IID_IOrvexDialixOperation, reinterpret_cast<void**>(&script));
  if (!script) {
    COperationTable table = MakeOperationTable();
    for (auto& entry : table)
      if (SUCCEEDED(wrapper->QueryInterface(entry.second->GetScriptIID(),
                                            reinterpret_cast<void**>(&script))))
        break;
  }
  if (!script) return S_FALSE;
  return script->_GetComInstance(operation);
}

}  // namespace

STDMETHODIMP COrvexDialix::BeginOperation(IDispatch* wrapper) {
  return Guarded("COrvexDialix::BeginOperation", [&]() -> HRESULT {
    CComPtr<IOperation> operation;
    HRESULT hr = ServiceOperationOf(wrapper, false, &operation);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return ReportError(L"Unable to obtain given interface", E_INVALIDARG);
    hr = NeedService();
    return FAILED(hr) ? hr : m_service->BeginOperation(operation);
  });
}

// Takes the generic wrapper, and also the specific ones script creates.
STDMETHODIMP COrvexDialix::CancelOperation(IDispatch* wrapper) {
  return Guarded("COrvexDialix::CancelOperation", [&]() -> HRESULT {
    CComPtr<IOperation> operation;
    HRESULT hr = ServiceOperationOf(wrapper, true, &operation);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return ReportError(L"Unable to obtain given interface", E_INVALIDARG);
    if (!operation) return ReportError(L"Bad object pointer", E_POINTER);
    hr = NeedService();
    return FAILED(hr) ? hr : m_service->CancelOperation(operation);
  });
}

HRESULT COrvexDialix::Subscription(BSTR clientId, BSTR name, bool subscribe) {
  std::wstring text = BstrText(name);
  for (const NotificationName& known : kNotifications) {
    if (::CompareStringW(LOCALE_USER_DEFAULT, 0, text.c_str(), static_cast<int>(text.size()),
                         known.name, -1) != CSTR_EQUAL)
      continue;
    HRESULT hr = NeedService();
    if (FAILED(hr)) return hr;
    return subscribe ? m_service->SubscribeNotification(clientId, *known.iid)
                     : m_service->UnsubscribeNotification(clientId, *known.iid);
  }
  return ReportError(((subscribe ? L"Failed to subscribe to: " : L"Failed to unsubscribe: ") + text).c_str(),
                     E_INVALIDARG);
}

STDMETHODIMP COrvexDialix::SubscribeNotification(BSTR clientId, BSTR name) {
  return Guarded("COrvexDialix::SubscribeNotification",
                 [&] { return Subscription(clientId, name, true); });
}

STDMETHODIMP COrvexDialix::UnsubscribeNotification(BSTR clientId, BSTR name) {
  return Guarded("COrvexDialix::UnsubscribeNotification",
                 [&] { return Subscription(clientId, name, false); });
}

namespace {

// The whole file as text of the thread's ANSI code page, up to a zero byte.
HRESULT ReadTextFile(const std::wstring& name, std::wstring* text) {
  CHandle file(::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return AtlHresultFromLastError();
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return AtlHresultFromLastError();
  if (size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFE) return E_FAIL;
  DWORD length = static_cast<DWORD>(size.QuadPart);
  std::vector<char> bytes(length + 1, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.Get(), bytes.data(), length, &read, nullptr)) return AtlHresultFromLastError();
  if (read < length) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
  int chars = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), -1, nullptr, 0);
  if (chars <= 0) return AtlHresultFromLastError();
  std::vector<wchar_t> wide(chars);
  if (!::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), -1, wide.data(), chars))
    return AtlHresultFromLastError();
  text->assign(wide.data());
  return S_OK;
}

}  // namespace

STDMETHODIMP COrvexDialix::ReadFile(BSTR fileName, BSTR* contents) {
  return Guarded("COrvexDialix::ReadFile", [&]() -> HRESULT {
    if (!contents) return E_POINTER;
    *contents = nullptr;
    std::wstring text;
    HRESULT hr = ReadTextFile(BstrText(fileName), &text);
    if (SUCCEEDED(hr)) hr = GiveText(text, contents);
    if (FAILED(hr)) return ReportError((L"ReadFile failed:" + BstrText(fileName)).c_str(), hr);
    return hr;
  });
}

STDMETHODIMP COrvexDialix::GetTrayExeDir(BSTR* folder) {
  return Guarded("COrvexDialix::GetTrayExeDir", [&]() -> HRESULT {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    std::wstring text;
    LONG rc = ReadSutrelValue(kApplicationPathValue, &text);
    if (rc != ERROR_SUCCESS)
      return ReportError(L"Failed to read installation directory.", HRESULT_FROM_WIN32(rc));
    return GiveText(text, folder);
  });
}

// Branch and key are not looked at: the page keeps one value.
STDMETHODIMP COrvexDialix::RegGetCharPref(BSTR, BSTR, BSTR* value) {
  return Guarded("COrvexDialix::RegGetCharPref", [&]() -> HRESULT {
    if (!value) return E_POINTER;
    *value = nullptr;
    std::wstring text;
    bool keyMissing = false;
    LONG rc = ReadSutrelValue(kSerialNumberValue, &text, &keyMissing);
    // The page's first run: no phone chosen yet.
    if (rc == ERROR_FILE_NOT_FOUND && !keyMissing) {
      HRESULT hr = GiveText(std::wstring(), value);
      return FAILED(hr) ? hr : S_FALSE;
    }
    if (rc != ERROR_SUCCESS) return ReportError(L"Failed to read registry key.", HRESULT_FROM_WIN32(rc));
    return GiveText(text, value);
  });
}

STDMETHODIMP COrvexDialix::RegSetCharPref(BSTR, BSTR, BSTR value) {
  return Guarded("COrvexDialix::RegSetCharPref", [&]() -> HRESULT {
    if (!value) return ReportError(L"Failed to set registry key.", E_FAIL);
    LONG rc = WriteSutrelValue(kSerialNumberValue, BstrText(value).c_str());
    if (rc != ERROR_SUCCESS) return ReportError(L"Failed to set registry key.", HRESULT_FROM_WIN32(rc));
    return S_OK;
  });
}

STDMETHODIMP COrvexDialix::LaunchPWZ() {
  return Guarded("COrvexDialix::LaunchPWZ", [&]() -> HRESULT {
    std::wstring folder;
    LONG rc = ReadSutrelValue(kApplicationPathValue, &folder);
    if (rc != ERROR_SUCCESS)
      return ReportError(L"Failed to read installation directory.", HRESULT_FROM_WIN32(rc));
    // The path is the application name and the command line is quoted: an
    // unquoted path with a blank would start whatever program its first word
    // names.
    std::wstring path = folder + L"\\Pairwell.exe";
    std::wstring commandLine = L"\"" + path + L"\"";
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(path.c_str(), writable.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                          nullptr, nullptr, &startup, &started)) {
      DWORD error = ::GetLastError();
      return ReportError((L"Failed to run Pairwell.exe :" + SystemMessage(error)).c_str(), 0);
    }
    CHandle process(started.hProcess), thread(started.hThread);
    return S_OK;
  });
}

STDMETHODIMP COrvexDialix::Trace(BSTR) { return S_OK; }

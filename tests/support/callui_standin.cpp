// The stand-in for the call windows' CallUI object in the tests and the demo:
// same class id, apartment model, ICallUI and ICallHandlerNotify. It shows
// nothing; it appends one line per call it receives to a file the tests read
// (DIALIX_CALLUI_LOG, else "callui.log" beside this library):
//   <method>\t<argument>\t...
// Call dials at once through the handler's ICallHandler::Call. OnIncoming looks
// the caller up through FindContactByNumber, then does what the first line of
// "<log>.action" says: "answer" (Activate), "reject" (Reject) or nothing.
// An apartment-model object is called on the thread that made it: a call
// that arrives on any other thread is marked "\twrong apartment".
#include <windows.h>
#include <olectl.h>
#include <cstdio>
#include <string>
#include "ComTL.h"
#include "SZembra.h"
#include "SZembraGUI.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = L"";
  ::GetModuleFileNameW(g_module, path, MAX_PATH);
  return path;
}

std::wstring LogPath() {
  wchar_t path[MAX_PATH] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_CALLUI_LOG", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return path;
  std::wstring module = ModulePath();
  return module.substr(0, module.find_last_of(L'\\') + 1) + L"callui.log";
}

std::wstring Field(const wchar_t* text) {
  std::wstring out;
  for (const wchar_t* p = ZCLNullToEmpty(text); *p; ++p) out += (*p == L'\t' || *p == L'\n') ? L' ' : *p;
  return out;
}

void Record(const std::wstring& line) {
  // Every process and thread appends whole lines.
  CHandle file(::CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr));
  if (!file) return;
  std::string text = ZCLWideToUtf8(line) + "\n";
  DWORD written = 0;
  ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Action() {
  std::wstring path = LogPath() + L".action";
  CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "";
  char buffer[64] = {0};
  DWORD read = 0;
  ::ReadFile(file.Get(), buffer, sizeof(buffer) - 1, &read, nullptr);
  std::string action(buffer, read);
  size_t end = action.find_first_of("\r\n ");
  return end == std::string::npos ? action : action.substr(0, end);
}

std::wstring Hex(HRESULT hr) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

class CStandInCallUI : public ICallUI, public ICallHandlerNotify {
public:
  CStandInCallUI() : m_thread(::GetCurrentThreadId()) { ::InterlockedIncrement(&g_objects); }
  virtual ~CStandInCallUI() { ::InterlockedDecrement(&g_objects); }

  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICallUI)
      *ppv = static_cast<ICallUI*>(this);
    else if (iid == IID_ICallHandlerNotify)
      *ppv = static_cast<ICallHandlerNotify*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ::InterlockedIncrement(&m_refs); }
  STDMETHOD_(ULONG, Release)() override {
    ULONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return refs;
  }

  // ICallUI
  STDMETHOD(Call)(BSTR serial, BSTR number, IUnknown* handlerUnknown) override {
    Record(L"Call\t" + Field(serial) + L"\t" + Field(number));
    CComQIPtr<ICallHandler> handler(handlerUnknown);
    if (!handler) return S_OK;
    long callId = -1;
    HRESULT hr = handler->Call(serial, number, &callId);
    Record(L"Dialled\t" + Field(serial) + L"\t" + std::to_wstring(callId) + L"\t" + Hex(hr));
    return S_OK;
  }
  STDMETHOD(ComposeMessage)(BSTR serial, BSTR number, BSTR name, BSTR message, IUnknown*) override {
    Record(L"ComposeMessage\t" + Field(serial) + L"\t" + Field(number) + L"\t" + Field(name) + L"\t" + Field(message));
    return E_NOTIMPL;
  }
  STDMETHOD(NewMessageReceived)(IUnknown* notification, IUnknown*) override {
    Record(std::wstring(L"NewMessageReceived\t") + (notification ? L"notification" : L"null"));
    return E_NOTIMPL;
  }

  // ICallHandlerNotify
  STDMETHOD(OnActivated)(BSTR serial, long callId) override {
    Record(L"OnActivated\t" + Field(serial) + L"\t" + std::to_wstring(callId));
    return S_OK;
  }
  STDMETHOD(OnTerminated)(BSTR serial, long callId, long cause) override {
    Record(L"OnTerminated\t" + Field(serial) + L"\t" + std::to_wstring(callId) + L"\t" + std::to_wstring(cause));
    return S_OK;
  }
  STDMETHOD(OnCreated)(BSTR serial, BSTR number, BSTR name, long callId) override {
    Record(L"OnCreated\t" + Field(serial) + L"\t" + Field(number) + L"\t" + Field(name) + L"\t" +
           std::to_wstring(callId));
    return S_OK;
  }
  STDMETHOD(OnIncoming)(BSTR serial, BSTR number, BSTR name, long callId, ICallHandler* handler) override {
    Record(L"OnIncoming\t" + Field(serial) + L"\t" + Field(number) + L"\t" + Field(name) + L"\t" +
           std::to_wstring(callId));
    if (!handler) return S_OK;
    CComPtr<IContact> contact;
    HRESULT found = handler->FindContactByNumber(serial, number, &contact);
    CComBSTR formatted;
    if (contact) contact->get_FormattedName(&formatted);
    Record(L"Contact\t" + Field(serial) + L"\t" + Hex(found) + L"\t" + Field(formatted));
    std::string action = Action();
    if (action == "answer") Record(L"Answered\t" + Field(serial) + L"\t" + Hex(handler->Activate(serial, callId)));
    if (action == "reject") Record(L"Rejected\t" + Field(serial) + L"\t" + Hex(handler->Reject(serial, callId)));
    return S_OK;
  }
  STDMETHOD(OnWaiting)(BSTR serial, long callId) override {
    Record(L"OnWaiting\t" + Field(serial) + L"\t" + std::to_wstring(callId));
    return S_OK;
  }
  STDMETHOD(OnConnectionLost)(BSTR serial) override {
    Record(L"OnConnectionLost\t" + Field(serial));
    return S_OK;
  }

private:
  void Record(const std::wstring& line) {
    ::Record(::GetCurrentThreadId() == m_thread ? line : line + L"\twrong apartment");
  }
  LONG m_refs = 0;
  DWORD m_thread;
};

class CFactory : public IClassFactory {
public:
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = (iid == IID_IUnknown || iid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CComPtr<ICallUI> ui(new (std::nothrow) CStandInCallUI());
    if (!ui) return E_OUTOFMEMORY;
    HRESULT hr = ui->QueryInterface(iid, ppv);
    if (SUCCEEDED(hr)) Record(L"Created");
    return hr;
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    if (lock)
      ::InterlockedIncrement(&g_locks);
    else
      ::InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

CFactory g_factory;

const wchar_t kClassKey[] = L"CLSID\\{33A9186A-E6D7-4E6D-B2D7-A418A0F4D9A2}";
const wchar_t kInterfaceKey[] = L"Interface\\{97181E17-E020-4C79-BD4F-0CEF49877CA5}";
const wchar_t kTypeLib[] = L"{3BE78D29-32B3-4122-814E-03FCBBC80E26}";

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY raw = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
      ERROR_SUCCESS)
    return false;
  CRegistryKey hkey(raw);
  LONG rc = ::RegSetValueExW(hkey.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_CallUI) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return (g_objects == 0 && g_locks == 0) ? S_OK : S_FALSE; }

// Under HKCR: Wine 8 ignores classes registered per user.
extern "C" HRESULT __stdcall DllRegisterServer() {
  std::wstring path = ModulePath();
  CComPtr<ITypeLib> library;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library);
  if (FAILED(hr)) return hr;
  std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
  std::wstring itf = kInterfaceKey;
  bool ok = SetValue(kClassKey, nullptr, L"CallUI Class") && SetValue(server, nullptr, path) &&
            SetValue(server, L"ThreadingModel", L"Apartment") && SetValue(itf, nullptr, L"ICallUI") &&
            SetValue(itf + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}") &&
            SetValue(itf + L"\\TypeLib", nullptr, kTypeLib) && SetValue(itf + L"\\TypeLib", L"Version", L"1.0");
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kInterfaceKey);
  GUID libid;
  if (SUCCEEDED(::CLSIDFromString(kTypeLib, &libid))) ::UnRegisterTypeLib(libid, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  return S_OK;
}

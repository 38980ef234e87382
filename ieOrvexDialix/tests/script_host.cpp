// A small script host over the platform's JScript engine, for driving the
// scriptable control the way a page does. Wine's own script host has no
// Sleep, and a script busy in a loop never lets the service's callbacks in;
// here the script waits inside the host, which dispatches the apartment's
// messages (and with them the incoming COM calls) for a bounded time.
//   ie_script_host <script.js> [arguments...]
// The script sees one object, "host":
//   host.Create(progid)         a new object of the class by its ProgID
//   host.Echo(text)             a line on standard output
//   host.ArgCount, host.Arg(i)  the arguments after the script's name
//   host.WaitFor(f, ms)         true once f() is true, false after ms
//   host.Run(command, ms)       runs a program, serving calls meanwhile;
//                               its exit code, or -1 (ended) after ms
//   host.Quit(code)             the host's exit code once the script ends
// A script error is printed and makes the exit code at least 1.
#include <windows.h>
#include <activscp.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "ComTL.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"
#include "ZCLText.h"
#include "ZCLWait.h"

namespace {

const CLSID kJScript = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};
// mingw's uuid library lacks the parser's ids (one per pointer size).
#ifdef _WIN64
const IID kActiveScriptParse = {0xc7ef7658, 0xe1ee, 0x480e, {0x97, 0xea, 0xd5, 0x2c, 0xb4, 0xd7, 0x6d, 0x17}};
#else
const IID kActiveScriptParse = {0xbb1a2ae2, 0xa4f9, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
#endif

enum HostMember : DISPID { kCreate = 1, kEcho, kArgCount, kArg, kWaitFor, kRun, kQuit };
const struct {
  const wchar_t* name;
  DISPID id;
} kMembers[] = {{L"Create", kCreate},     {L"Echo", kEcho},       {L"ArgCount", kArgCount}, {L"Arg", kArg},
                {L"WaitFor", kWaitFor}, {L"Run", kRun},           {L"Quit", kQuit}};

// The variant as text or as a number; throws the conversion's failure.
std::wstring TextOf(const VARIANT& value) {
  CComVariant text;
  ZCLComThrowOnFail(::VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR), "not text");
  return ZCLNullToEmpty(text.bstrVal);
}
LONG NumberOf(const VARIANT& value) {
  CComVariant number;
  ZCLComThrowOnFail(::VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_I4), "not a number");
  return number.lVal;
}

// Calls a script function without arguments; its value as a truth.
bool Holds(IDispatch* condition) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  CComVariant result;
  ZCLComThrowOnFail(condition->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                      &result, nullptr, nullptr),
                    "the condition failed");
  // As script reads it: text holds when not empty, an object when there is one.
  if (result.vt == VT_BSTR) return ::SysStringLen(result.bstrVal) > 0;
  if (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) return result.punkVal != nullptr;
  return SUCCEEDED(result.ChangeType(VT_BOOL)) && result.boolVal != VARIANT_FALSE;
}

// Runs a command line; serves the apartment's calls while it runs and ends
// it when it outlasts the bound.
LONG RunProgram(const std::wstring& command, DWORD milliseconds) {
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    ZCLComThrowOnFail(AtlHresultFromLastError(), "the program did not start");
  CHandle process(started.hProcess), thread(started.hThread);
  if (!ZCLWaitUntil([&] { return ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0; }, milliseconds)) {
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 5000);
    return -1;
  }
  DWORD code = 1;
  ::GetExitCodeProcess(process.Get(), &code);
  return static_cast<LONG>(code);
}

// The script's "host" object. Lives on the host's apartment thread only.
class CHostObject : public CComObjectRootEx<CComSingleThreadModel>, public IDispatch {
public:
  BEGIN_COM_MAP(CHostObject)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  std::vector<std::wstring> m_args;
  int m_exitCode = 0;

  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (const auto& member : kMembers)
        if (i == 0 && _wcsicmp(names[0], member.name) == 0) ids[0] = member.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                    UINT*) override {
    return ZCLComMethod("CHostObject::Invoke", ZCL_SITE, [&]() -> HRESULT {
      // Arguments come last first.
      std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
      std::reverse(args.begin(), args.end());
      auto need = [&](size_t n) { ZCLComThrowOnFalse(args.size() >= n, DISP_E_BADPARAMCOUNT, "arguments"); };
      CComVariant value;
      switch (id) {
        case kCreate: {
          need(1);
          CLSID clsid;
          ZCLComThrowOnFail(::CLSIDFromProgID(TextOf(args[0]).c_str(), &clsid), "unknown ProgID");
          CComPtr<IDispatch> made;
          ZCLComThrowOnFail(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                               IID_IDispatch, reinterpret_cast<void**>(&made)),
                            "creation failed");
          value = made.p;
          break;
        }
        case kEcho:
          need(1);
          wprintf(L"%ls\n", TextOf(args[0]).c_str());
          fflush(stdout);
          break;
        case kArgCount:
          value = static_cast<LONG>(m_args.size());
          break;
        case kArg: {
          need(1);
          LONG i = NumberOf(args[0]);
          ZCLComThrowOnFalse(i >= 0 && i < static_cast<LONG>(m_args.size()), DISP_E_BADINDEX, "argument index");
          value = m_args[i].c_str();
          break;
        }
        case kWaitFor: {
          need(2);
          ZCLComThrowOnFalse(args[0].vt == VT_DISPATCH && args[0].pdispVal, E_INVALIDARG, "no condition");
          IDispatch* condition = args[0].pdispVal;
          value = ZCLWaitUntil([&] { return Holds(condition); }, static_cast<DWORD>(NumberOf(args[1])));
          break;
        }
        case kRun:
          need(2);
          value = RunProgram(TextOf(args[0]), static_cast<DWORD>(NumberOf(args[1])));
          break;
        case kQuit:
          need(1);
          m_exitCode = NumberOf(args[0]);
          break;
        default:
          return DISP_E_MEMBERNOTFOUND;
      }
      if (result) return value.Detach(result);
      return S_OK;
    });
  }
};

// The engine's site: names the host object and prints script errors.
// Lives on the host's apartment thread only.
class CScriptSite : public CComObjectRootEx<CComSingleThreadModel>, public IActiveScriptSite {
public:
  BEGIN_COM_MAP(CScriptSite)
  COM_INTERFACE_ENTRY(IActiveScriptSite)
  END_COM_MAP()

  CComPtr<IDispatch> m_host;
  int m_errors = 0;

  STDMETHOD(GetLCID)(LCID* lcid) override {
    *lcid = ::GetUserDefaultLCID();
    return S_OK;
  }
  STDMETHOD(GetItemInfo)(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
    if (item) *item = nullptr;
    if (info) *info = nullptr;
    if (_wcsicmp(name, L"host") != 0) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item) return m_host->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(item));
    return (mask & SCRIPTINFO_ITYPEINFO) ? E_NOTIMPL : S_OK;
  }
  STDMETHOD(GetDocVersionString)(BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(OnScriptTerminate)(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHOD(OnStateChange)(SCRIPTSTATE) override { return S_OK; }
  STDMETHOD(OnScriptError)(IActiveScriptError* error) override {
    ++m_errors;
    EXCEPINFO info = {};
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    error->GetExceptionInfo(&info);
    error->GetSourcePosition(&context, &line, &column);
    HRESULT code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
    wprintf(L"script error: line %lu: %ls (0x%08lX)\n", line + 1, ZCLNullToEmpty(info.bstrDescription),
            static_cast<unsigned long>(code));
    fflush(stdout);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    return S_OK;
  }
  STDMETHOD(OnEnterScript)() override { return S_OK; }
  STDMETHOD(OnLeaveScript)() override { return S_OK; }
};

std::wstring ReadScript(const wchar_t* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return file ? ZCLUtf8ToWide(bytes.str()) : std::wstring();
}

int RunScript(const wchar_t* path, std::vector<std::wstring> args) {
  std::wstring text = ReadScript(path);
  if (text.empty()) {
    wprintf(L"ie_script_host: cannot read %ls\n", path);
    return 2;
  }
  CComObject<CHostObject>* host = nullptr;
  CComObject<CScriptSite>* site = nullptr;
  ZCLComThrowOnFail(CComObject<CHostObject>::CreateInstance(&host), "host object");
  CComPtr<IDispatch> hostRef(host);
  ZCLComThrowOnFail(CComObject<CScriptSite>::CreateInstance(&site), "script site");
  CComPtr<IActiveScriptSite> siteRef(site);
  host->m_args = std::move(args);
  site->m_host = hostRef;

  CComPtr<IActiveScript> engine;
  CComPtr<IActiveScriptParse> parser;
  ZCLComThrowOnFail(::CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                       reinterpret_cast<void**>(&engine)),
                    "no JScript engine");
  ZCLComThrowOnFail(engine->QueryInterface(kActiveScriptParse, reinterpret_cast<void**>(&parser)),
                    "the engine parses nothing");
  ZCLComThrowOnFail(engine->SetScriptSite(siteRef), "SetScriptSite");
  ZCLComThrowOnFail(parser->InitNew(), "InitNew");
  ZCLComThrowOnFail(engine->AddNamedItem(L"host", SCRIPTITEM_ISVISIBLE), "AddNamedItem");
  ZCLComThrowOnFail(engine->SetScriptState(SCRIPTSTATE_STARTED), "SetScriptState");
  EXCEPINFO failure = {};
  HRESULT ran = parser->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE,
                                        nullptr, &failure);
  ::SysFreeString(failure.bstrSource);
  ::SysFreeString(failure.bstrDescription);
  ::SysFreeString(failure.bstrHelpFile);
  // Whatever the script still holds (the control, its callback) goes with the engine.
  engine->Close();
  int code = host->m_exitCode;
  if ((FAILED(ran) || site->m_errors) && code == 0) code = 1;
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    wprintf(L"usage: ie_script_host <script.js> [arguments...]\n");
    return 2;
  }
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  int code = 2;
  if (!ZCLGuarded(1, ZCL_SITE, [&] { code = RunScript(argv[1], std::vector<std::wstring>(argv + 2, argv + argc)); }))
    wprintf(L"ie_script_host: the script engine could not be set up\n");
  // The script's objects are gone with the engine. COM is not left: Wine's
  // CoUninitialize can wait for ever on a call into this process that has in
  // fact ended, and the process ends here anyway.
  fflush(stdout);
  return code;
}

#pragma once
#include <windows.h>
#include "ComTL.h"
#include "SZembraGUI.h"
#include "ZCLHandle.h"

// The recording stand-in call window (CallUIStandIn.dll, found beside the
// program) served as CallUI in place of the call-window library the prefix
// registers; the registry is left as it is. Wine hands a class object
// registered with CoRegisterClassObject to the registering apartment only, so
// it is registered on the thread where call control creates CallUI.
// Owned by that thread.
class CCallUIRecorder {
public:
  CCallUIRecorder() = default;
  CCallUIRecorder(const CCallUIRecorder&) = delete;
  CCallUIRecorder& operator=(const CCallUIRecorder&) = delete;
  // The library stays loaded: its window-queue thread may still be ending,
  // and unloading under it hangs the process at exit.
  ~CCallUIRecorder() {
    Revoke();
    m_library.Detach();
  }

  HRESULT Register() {
    Revoke();
    if (!m_library) m_library.Reset(::LoadLibraryW(L"CallUIStandIn.dll"));
    if (!m_library) return HRESULT_FROM_WIN32(::GetLastError());
    using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "DllGetClassObject")));
    if (!get) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    CComPtr<IClassFactory> factory;
    HRESULT hr = get(CLSID_CallUI, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    return ::CoRegisterClassObject(CLSID_CallUI, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
  }

  void Revoke() {
    if (m_cookie) ::CoRevokeClassObject(m_cookie);
    m_cookie = 0;
  }

private:
  CModuleHandle m_library;
  DWORD m_cookie = 0;
};

#include <windows.h>
#include "GitCookie.h"
#include <utility>
#include "ComModule.h"
#include "ZCLException.h"
#include "ZCLLogger.h"

CComPtr<IGlobalInterfaceTable> ZCLGlobalInterfaceTable() {
  CComPtr<IGlobalInterfaceTable> git;
  HRESULT hr;
  if (_pAtlModule)
    hr = _pAtlModule->GetGITPtr(&git);
  else
    hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git));
  ZCLComCoCreateThrowOnFail(hr, CLSID_StdGlobalInterfaceTable, ZCL_POS);
  return git;
}

CGitCookie::CGitCookie(IUnknown* object, REFIID iid, const char* what) : m_iid(iid) {
  DWORD cookie = 0;
  ZCLComThrowOnFail(ZCLGlobalInterfaceTable()->RegisterInterfaceInGlobal(object, iid, &cookie),
                    ZCL_POS + " Failed to register " + what + " in GIT.");
  m_cookie = cookie;
}

CGitCookie::CGitCookie(CGitCookie&& other) noexcept : m_cookie(other.m_cookie.exchange(0)), m_iid(other.m_iid) {}

CGitCookie& CGitCookie::operator=(CGitCookie&& other) noexcept {
  if (this != &other) {
    Revoke();
    m_iid = other.m_iid;
    m_cookie = other.m_cookie.exchange(0);
  }
  return *this;
}

// A destructor cannot report: a failed revocation is logged.
CGitCookie::~CGitCookie() {
  HRESULT hr = Revoke();
  if (FAILED(hr))
    ZCLLogMessage(3, nullptr, "Revoking a GIT registration failed (0x%08lX)", static_cast<unsigned long>(hr));
}

HRESULT CGitCookie::Revoke() {
  const DWORD cookie = m_cookie.exchange(0);
  if (!cookie) return S_OK;
  try {
    return ZCLGlobalInterfaceTable()->RevokeInterfaceFromGlobal(cookie);
  } catch (const ZCLComException& e) {
    return e.GetHResult();
  }
}

HRESULT CGitCookie::CopyTo(void** out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  const DWORD cookie = m_cookie.load();
  if (!cookie) return E_UNEXPECTED;
  try {
    return ZCLGlobalInterfaceTable()->GetInterfaceFromGlobal(cookie, m_iid, out);
  } catch (const ZCLComException& e) {
    return e.GetHResult();
  }
}

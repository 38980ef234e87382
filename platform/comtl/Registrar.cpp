#include <windows.h>
#include "Registrar.h"
#include "ComModule.h"

const CLSID CLSID_Registrar = {0x44ec053a, 0x400f, 0x11d0,
                               {0x9d, 0xcd, 0x00, 0xa0, 0xc9, 0x03, 0x91, 0xd3}};

HRESULT CRegistrar::Create() {
  m_registrar.Release();
  return ::CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IRegistrar),
                            reinterpret_cast<void**>(&m_registrar));
}

HRESULT CRegistrar::AddReplacement(LPCOLESTR key, LPCOLESTR item) {
  if (!m_registrar) return E_UNEXPECTED;
  return m_registrar->AddReplacement(key, item);
}

std::wstring CRegistrar::QuoteForScript(const std::wstring& text) {
  std::wstring quoted;
  for (wchar_t c : text) {
    quoted += c;
    if (c == L'\'') quoted += c;  // a quote inside a quoted text is doubled
  }
  return quoted;
}

HRESULT CRegistrar::AddModuleReplacement(HINSTANCE module) {
  std::wstring path = AtlGetModulePath(module);
  if (path.empty()) return AtlHresultFromLastError();
  return AddReplacement(L"MODULE", (L"\"" + QuoteForScript(path) + L"\"").c_str());
}

HRESULT CRegistrar::RunResource(HINSTANCE module, UINT resourceId, bool registering) {
  if (!m_registrar) return E_UNEXPECTED;
  std::wstring path = AtlGetModulePath(module);
  if (path.empty()) return AtlHresultFromLastError();
  return registering ? m_registrar->ResourceRegister(path.c_str(), resourceId, L"REGISTRY")
                     : m_registrar->ResourceUnregister(path.c_str(), resourceId, L"REGISTRY");
}

HRESULT CRegistrar::RunScript(LPCOLESTR script, bool registering) {
  if (!m_registrar) return E_UNEXPECTED;
  return registering ? m_registrar->StringRegister(script) : m_registrar->StringUnregister(script);
}

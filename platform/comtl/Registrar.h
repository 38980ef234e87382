#pragma once
#include <windows.h>
#include <objbase.h>
#include <string>
#include "ComPtr.h"

// The platform's registrar runs registration scripts (.rgs, resource type
// "REGISTRY"): keys and values under the root keys, with ForceRemove, NoRemove
// and %NAME% replacements. mingw's headers do not declare it.
struct IRegistrarBase : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
};
__CRT_UUID_DECL(IRegistrarBase, 0xe21f8a85, 0xb05d, 0x4243, 0x81, 0x83, 0xc7, 0xcb, 0x40, 0x55,
                0x88, 0xf7)

struct IRegistrar : public IRegistrarBase {
  virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                       LPCOLESTR szType) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                         LPCOLESTR szType) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR resFileName, UINT nID,
                                                     LPCOLESTR szType) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR resFileName, UINT nID,
                                                       LPCOLESTR szType) = 0;
};
__CRT_UUID_DECL(IRegistrar, 0x44ec053b, 0x400f, 0x11d0, 0x9d, 0xcd, 0x00, 0xa0, 0xc9, 0x03, 0x91,
                0xd3)

extern const CLSID CLSID_Registrar;  // {44EC053A-400F-11D0-9DCD-00A0C90391D3}

// One registrar session: replacements first, then scripts.
class CRegistrar {
public:
  HRESULT Create();
  IRegistrar* Get() const { return m_registrar; }

  HRESULT AddReplacement(LPCOLESTR key, LPCOLESTR item);
  // %MODULE%: the module's full path in double quotes, so that a path with
  // blanks stays one command in LocalServer32.
  HRESULT AddModuleReplacement(HINSTANCE module);

  HRESULT RunResource(HINSTANCE module, UINT resourceId, bool registering);
  HRESULT RunScript(LPCOLESTR script, bool registering);

  // A text as it must stand between single quotes in a script.
  static std::wstring QuoteForScript(const std::wstring& text);

private:
  CComPtr<IRegistrar> m_registrar;
};

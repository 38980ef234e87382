#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "QorsalConnectionManager.h"

// A connection manager served by the test process itself (registered as the
// local server's class), with elements the test describes and a count of
// the calls it received. Used on the test's thread.
struct FakeElement {
  GUID id;
  BYTE medium;
  std::wstring name;
  bool enabled;
};

class CFakeConnectionManager : public IQorsalConnectionManager, public IClassFactory {
public:
  std::vector<FakeElement> elements;
  std::vector<GUID> enabledIds;
  int calls = 0;

  bool Register();
  void Revoke();

  // IUnknown, shared by both faces; the object lives on the test's stack.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  // IQorsalConnectionManager
  STDMETHODIMP GetConnections(SAFEARRAY** array) override;
  STDMETHODIMP EnableConnection(GUID id) override;
  STDMETHODIMP DisableConnection(GUID) override {
    ++calls;
    return S_OK;
  }
  STDMETHODIMP GetConnectionSettings(GUID, IUnknown** settings) override {
    ++calls;
    *settings = nullptr;
    return E_NOTIMPL;
  }
  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
  DWORD m_cookie = 0;
};

#include <windows.h>
#include "FakeConnectionManager.h"

namespace {

// One element of the list, owned by the array it is handed out in.
class CFakeElement final : public IQorsalConnection {
public:
  explicit CFakeElement(const FakeElement& e) : m_e(e) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IQorsalConnection) {
      *out = static_cast<IQorsalConnection*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHODIMP GetId(GUID* id) override {
    *id = m_e.id;
    return S_OK;
  }
  STDMETHODIMP GetMedium(BYTE* medium) override {
    *medium = m_e.medium;
    return S_OK;
  }
  STDMETHODIMP GetName(BSTR* name) override {
    *name = SysAllocString(m_e.name.c_str());
    return S_OK;
  }
  STDMETHODIMP GetEnabled(VARIANT_BOOL* enabled) override {
    *enabled = m_e.enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

private:
  FakeElement m_e;
  LONG m_refs = 1;
};

}  // namespace

bool CFakeConnectionManager::Register() {
  return SUCCEEDED(CoRegisterClassObject(CLSID_QorsalConnectionManager, static_cast<IClassFactory*>(this),
                                         CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie));
}

void CFakeConnectionManager::Revoke() {
  if (m_cookie) CoRevokeClassObject(m_cookie);
  m_cookie = 0;
}

STDMETHODIMP CFakeConnectionManager::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IQorsalConnectionManager) {
    *out = static_cast<IQorsalConnectionManager*>(this);
    return S_OK;
  }
  if (iid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CFakeConnectionManager::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return QueryInterface(iid, out);
}

STDMETHODIMP CFakeConnectionManager::GetConnections(SAFEARRAY** array) {
  ++calls;
  *array = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(elements.size()));
  if (!*array) return E_OUTOFMEMORY;
  for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
    IUnknown* element = new CFakeElement(elements[i]);
    SafeArrayPutElement(*array, &i, element);  // the array takes its own reference
    element->Release();
  }
  return S_OK;
}

STDMETHODIMP CFakeConnectionManager::EnableConnection(GUID id) {
  ++calls;
  enabledIds.push_back(id);
  return S_OK;
}

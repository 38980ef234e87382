#pragma once
#include <windows.h>
#include <mshtml.h>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include "ComBSTR.h"
#include "ComPtr.h"
#include "ComVariant.h"
#include "ServiceFakes.h"

// A page script object: answers the names it is given and records each call
// with its arguments as they arrive (last argument first).
class CFakeScript : public CFakeUnknown<IDispatch> {
public:
  explicit CFakeScript(std::vector<std::wstring> names) : CFakeUnknown({}), m_names(std::move(names)) {}
  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    for (size_t i = 0; i < m_names.size(); ++i)
      if (m_names[i] == names[0]) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                    UINT*) override {
    Call call;
    call.method = m_names[id - 1];
    for (UINT i = 0; i < params->cArgs; ++i) call.args.emplace_back(params->rgvarg[i]);
    m_calls.push_back(call);
    return S_OK;
  }

  struct Call {
    std::wstring method;
    std::vector<CComVariant> args;  // as received: last argument first
  };
  std::vector<Call> m_calls;

private:
  std::vector<std::wstring> m_names;
};

// A container with a client site whose document answers get_URL and nothing
// else: there is no page engine here. The document is a vtable of stubs with
// get_URL in its slot.
class CFakeContainer : public IOleClientSite, public IOleContainer {
public:
  explicit CFakeContainer(const wchar_t* url) : m_url(url) {
    static void* stubs[200];
    for (void*& slot : stubs) slot = reinterpret_cast<void*>(&NotImplemented);
    stubs[0] = reinterpret_cast<void*>(&DocQueryInterface);
    stubs[1] = reinterpret_cast<void*>(&DocAddRef);
    stubs[2] = reinterpret_cast<void*>(&DocRelease);
    // g++ keeps 1 + the vtable offset in a pointer to a virtual member.
    auto member = &IHTMLDocument2::get_URL;
    ptrdiff_t offset;
    std::memcpy(&offset, &member, sizeof(offset));
    stubs[(offset - 1) / sizeof(void*)] = reinterpret_cast<void*>(&DocGetUrl);
    m_document.vtable = stubs;
    m_document.owner = this;
  }
  virtual ~CFakeContainer() {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    *ppv = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleClientSite))
      *ppv = static_cast<IOleClientSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleContainer) || ::IsEqualIID(iid, IID_IParseDisplayName))
      *ppv = static_cast<IOleContainer*>(this);
    else if (::IsEqualIID(iid, IID_IHTMLDocument2))
      *ppv = &m_document;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = --m_refs;
    if (!count) delete this;
    return count;
  }
  STDMETHOD(SaveObject)() override { return E_NOTIMPL; }
  STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHOD(GetContainer)(IOleContainer** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHOD(ShowObject)() override { return S_OK; }
  STDMETHOD(OnShowWindow)(BOOL) override { return S_OK; }
  STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }
  STDMETHOD(ParseDisplayName)(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
  STDMETHOD(EnumObjects)(DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(LockContainer)(BOOL) override { return S_OK; }

private:
  struct Document {
    void** vtable;
    CFakeContainer* owner;
  };
  static HRESULT STDMETHODCALLTYPE NotImplemented(void*) { return E_NOTIMPL; }
  static HRESULT STDMETHODCALLTYPE DocQueryInterface(Document* self, REFIID iid, void** ppv) {
    if (::IsEqualIID(iid, IID_IHTMLDocument2) || ::IsEqualIID(iid, IID_IUnknown)) {
      *ppv = self;
      self->owner->AddRef();
      return S_OK;
    }
    return self->owner->QueryInterface(iid, ppv);
  }
  static ULONG STDMETHODCALLTYPE DocAddRef(Document* self) { return self->owner->AddRef(); }
  static ULONG STDMETHODCALLTYPE DocRelease(Document* self) { return self->owner->Release(); }
  static HRESULT STDMETHODCALLTYPE DocGetUrl(Document* self, BSTR* url) {
    return self->owner->m_url.CopyTo(url);
  }

  ULONG m_refs = 1;
  CComBSTR m_url;
  Document m_document;
};

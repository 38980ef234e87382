#pragma once
#include <windows.h>
#include "ComAggregation.h"
#include "ComDispatch.h"
#include "ComError.h"
#include "ComFactory.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ieOrvexDialix.h"

// The one service object a script wrapper forwards to. Lives on the page's
// apartment thread with its wrapper; nothing else touches it.
template <class T, class ServiceItf>
class CActiveXAdaptation {
public:
  // Raised by GetComInstance while the wrapper holds nothing (made by ProgID).
  class NullOperationException {};

  virtual ~CActiveXAdaptation() {}

  // The same pointer again changes nothing; a null one is refused.
  virtual HRESULT SetComInstance(ServiceItf* instance) {
    ZCLComThrowOnFalse(instance != nullptr, E_POINTER, "SetComInstance: no service object");
    m_instance = instance;
    return S_OK;
  }

  // A counted reference the caller releases.
  CComPtr<ServiceItf> GetComInstance() const {
    if (!m_instance) throw NullOperationException();
    return m_instance;
  }

private:
  CComPtr<ServiceItf> m_instance;
};

// What every wrapper class shares: apartment object, class id and ProgID
// (the source of its error reports), dispatch through the plug-in's type
// library, aggregation, registration script, and the held service object.
// Lives on the page's apartment thread only.
template <class T, class ScriptItf, class ServiceItf, const CLSID* pclsid, UINT resid>
class CScriptWrapper : public CComObjectRootEx<CComSingleThreadModel>,
                       public CComCoClass<T, pclsid>,
                       public IDispatchImpl<ScriptItf, &__uuidof(ScriptItf), &LIBID_ieOrvexDialixLib>,
                       public CActiveXAdaptation<T, ServiceItf> {
public:
  typedef ScriptItf _ScriptItf;
  typedef ServiceItf _ServiceItf;
  typedef CActiveXAdaptation<T, ServiceItf> _Adaptation;

  DECLARE_REGISTRY_RESOURCEID(resid)
  DECLARE_AGGREGATABLE(T)

  BEGIN_COM_MAP(T)
  COM_INTERFACE_ENTRY(ScriptItf)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  // A new wrapper over instance with one reference for the caller; failures
  // are thrown as result codes.
  static CComPtr<ScriptItf> MakeWrapper(ServiceItf* instance) {
    CComObject<T>* made = nullptr;
    ZCLComThrowOnFail(CComObject<T>::CreateInstance(&made), "MakeWrapper: creation failed");
    CComPtr<ScriptItf> wrapper;
    // The query gives the object its first reference, so that a refused
    // service object below cannot leave it behind.
    ZCLComThrowOnFail(made->GetUnknown()->QueryInterface(__uuidof(ScriptItf),
                                                         reinterpret_cast<void**>(&wrapper)),
                      "MakeWrapper: no script interface");
    made->SetComInstance(instance);
    return wrapper;
  }

  // Error information with the class's ProgID as source; 0 gives DISP_E_EXCEPTION.
  static HRESULT ReportError(LPCOLESTR text, HRESULT hr) {
    return T::Error(text, GUID_NULL, hr ? hr : DISP_E_EXCEPTION);
  }

protected:
  // The frame of every member: an empty wrapper answers E_UNEXPECTED with
  // error information instead of calling through nothing.
  template <class Body>
  HRESULT Guard(const char* name, Body body) {
    return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
      try {
        return body();
      } catch (const typename _Adaptation::NullOperationException&) {
        return ReportError(L"The object holds no service object.", E_UNEXPECTED);
      }
    });
  }
  // A member that forwards to the held service object.
  template <class Body>
  HRESULT Forward(const char* name, Body body) {
    return Guard(name, [&]() -> HRESULT {
      CComPtr<ServiceItf> held = this->GetComInstance();
      return body(held);
    });
  }
  // _GetComInstance: the held object with a reference for the caller.
  template <class Out>
  HRESULT HandOut(Out** out) {
    return Guard("_GetComInstance", [&]() -> HRESULT {
      if (!out) return E_POINTER;
      *out = this->GetComInstance().Detach();
      return S_OK;
    });
  }
  // The script-side QueryInterface: the name is not looked at.
  HRESULT QueryOwnInterface(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return this->GetUnknown()->QueryInterface(__uuidof(ScriptItf), reinterpret_cast<void**>(out));
  }
};

// Forwarding members: the same-named member of the held object, result and
// values unchanged.
#define IE_FORWARD_GET(Name, Type)                                                   \
  STDMETHOD(get_##Name)(Type * value) override {                                     \
    return this->Forward("get_" #Name, [&](auto& held) { return held->get_##Name(value); }); \
  }
#define IE_FORWARD_PUT(Name, Type)                                                   \
  STDMETHOD(put_##Name)(Type value) override {                                       \
    return this->Forward("put_" #Name, [&](auto& held) { return held->put_##Name(value); }); \
  }
#define IE_FORWARD_PROP(Name, Type) IE_FORWARD_GET(Name, Type) IE_FORWARD_PUT(Name, Type)

// Wraps a data object of wrapper class W's kind. Consumes the caller's
// reference to data; E_FAIL leaves *out untouched.
template <class W>
HRESULT TryWrapData(IUnknown* data, IDispatch** out) {
  CComPtr<IUnknown> owned;
  owned.Attach(data);
  if (!out) return E_POINTER;
  if (!owned) return E_FAIL;
  CComPtr<typename W::_ServiceItf> held;
  if (FAILED(owned->QueryInterface(__uuidof(typename W::_ServiceItf),
                                   reinterpret_cast<void**>(&held))))
    return E_FAIL;
  CComPtr<typename W::_ScriptItf> wrapper = W::MakeWrapper(held);
  *out = wrapper.Detach();
  return S_OK;
}

// The service object inside a script wrapper that script handed back. The
// given pointer may be any object: only a wrapper answering ScriptItf is
// asked for its service object (E_POINTER for none, E_INVALIDARG otherwise).
template <class ScriptItf, class ServiceItf>
HRESULT UnwrapScriptObject(IUnknown* given, ServiceItf** out) {
  *out = nullptr;
  if (!given) return E_POINTER;
  CComPtr<ScriptItf> wrapper;
  if (FAILED(given->QueryInterface(__uuidof(ScriptItf), reinterpret_cast<void**>(&wrapper))))
    return E_INVALIDARG;
  HRESULT hr = wrapper->_GetComInstance(out);
  if (SUCCEEDED(hr) && !*out) hr = E_POINTER;
  return hr;
}

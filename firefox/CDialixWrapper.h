#pragma once
#include <windows.h>
#include <new>
#include "ComTL.h"
#include "DialixText.h"
#include "SZembra.h"
#include "XpcomGlue.h"
#include "xpOrvexDialix.h"

// What the scriptable wrappers share: one service object each, every member
// read live from it. Wrappers have plain reference counts and are used on the
// thread that runs the script (the callback bridge hands them over there).

// Our own wrappers answer a private id with themselves, without a reference
// (the asker holds one already): a script's object cannot be told apart by
// run-time type information, which crashes on a foreign object under g++.
template <class T>
T* DialixOwnObject(nsISupports* object) {
  void* self = nullptr;
  if (!object || NS_FAILED(object->QueryInterface(T::SelfIid(), &self))) return nullptr;
  return static_cast<T*>(self);
}

// Makes an object of class T, runs init on it under a construction
// reference and asks it for iid; the object goes when a step fails.
template <class T, class Init>
nsresult DialixCreate(Init init, const nsIID& iid, void** result) {
  if (!result) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  T* made = new (std::nothrow) T();
  if (!made) return NS_ERROR_OUT_OF_MEMORY;
  nsCOMPtr<T> hold(made);
  nsresult rv = init(made);
  return NS_FAILED(rv) ? rv : made->QueryInterface(iid, result);
}

// A data or error wrapper: Face is its scriptable interface, Service the
// service interface it wraps.
template <class Derived, class FaceT, class ServiceT>
class CDialixData : public FaceT {
  NS_DECL_PLAIN_REFCOUNT
  typedef FaceT Face;
  typedef ServiceT Service;

  // The wrapper's factory: E_POINTER for no service object.
  static nsresult Create(Service* service, const nsIID& iid, void** result) {
    return DialixCreate<Derived>([service](Derived* made) -> nsresult {
      if (!service) return NS_ERROR_NULL_POINTER;
      made->m_service = service;
      return NS_OK;
    }, iid, result);
  }
  template <class Out>
  static nsresult Wrap(Service* service, Out** result) {
    return Create(service, NS_GET_IID(Face), reinterpret_cast<void**>(result));
  }
  static const nsIID& SelfIid() { return Face::GetIID(); }  // overridden where others ask

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    if (!Derived::SelfIid().Equals(Face::GetIID()) && iid.Equals(Derived::SelfIid())) {
      *result = static_cast<Derived*>(this);
      return NS_OK;
    }
    if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(Face::GetIID())) return NS_ERROR_NO_INTERFACE;
    *result = static_cast<Face*>(this);
    AddRef();
    return NS_OK;
  }

  Service* Wrapped() const { return m_service; }

protected:
  virtual ~CDialixData() {}
  CComPtr<Service> m_service;
};

// --- Member kinds. Each takes the wrapped object (null: the wrapper holds
// nothing) and the service member.

// S: the service's result, success codes included.
template <class S, class Get>
nsresult DialixGetText(S* service, Get get, nsAString& result) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!service) return NS_ERROR_NOT_INITIALIZED;
    CComBSTR text;
    HRESULT hr = (service->*get)(&text);
    if (FAILED(hr)) return hr;
    nsresult rv = DialixAssign(result, text);
    return NS_FAILED(rv) ? rv : hr;
  });
}

// S=: the service's result.
template <class S, class Put>
nsresult DialixSetText(S* service, Put put, const nsAString& value) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!service) return NS_ERROR_NOT_INITIALIZED;
    CComBSTR text = DialixToBstr(value);
    if (!text) return NS_ERROR_OUT_OF_MEMORY;
    return (service->*put)(text);
  });
}

// I: a missing place for the result answers NS_ERROR_INVALID_ARG once the
// service was asked; nothing is written through null.
template <class S, class Value, class Get>
nsresult DialixGetNumber(S* service, Get get, PRInt32* result) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!service) return NS_ERROR_NOT_INITIALIZED;
    Value value = Value();
    HRESULT hr = (service->*get)(&value);
    if (FAILED(hr)) return hr;
    if (!result) return NS_ERROR_INVALID_ARG;
    *result = static_cast<PRInt32>(value);
    return hr;
  });
}

// O: the service's object in the wrapper of class Wrapper. call(&object)
// asks the service.
template <class Wrapper, class Call, class Out>
nsresult DialixGetWrapped(bool held, Call call, Out** result) {
  return DialixGuard(ZCL_SITE, [&]() -> nsresult {
    if (!held) return NS_ERROR_NOT_INITIALIZED;
    CComPtr<typename Wrapper::Service> object;
    HRESULT hr = call(&object);
    if (FAILED(hr)) return hr;
    if (!result) return NS_ERROR_INVALID_ARG;
    nsresult rv = Wrapper::Wrap(object, result);
    return NS_FAILED(rv) ? rv : hr;
  });
}

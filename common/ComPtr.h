#pragma once
#include <windows.h>
#include <memory>
#include <objbase.h>

// Owning interface pointer: one reference for as long as it holds the pointer.
template <class T>
class CComPtr {
public:
  CComPtr() : p(nullptr) {}
  CComPtr(T* lp) : p(lp) {
    if (p) p->AddRef();
  }
  CComPtr(const CComPtr& other) : CComPtr(other.p) {}
  CComPtr(CComPtr&& other) noexcept : p(other.p) { other.p = nullptr; }
  ~CComPtr() {
    if (p) p->Release();
  }

  CComPtr& operator=(T* lp) {
    if (lp != p) {
      if (lp) lp->AddRef();
      T* old = p;
      p = lp;
      if (old) old->Release();
    }
    return *this;
  }
  CComPtr& operator=(const CComPtr& other) { return *this = other.p; }
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != std::addressof(other)) {
      Release();
      p = other.p;
      other.p = nullptr;
    }
    return *this;
  }

  operator T*() const { return p; }
  T* operator->() const { return p; }
  T& operator*() const { return *p; }
  // For out parameters: the pointer must be empty, or its reference would leak.
  T** operator&() { return &p; }
  bool operator!() const { return p == nullptr; }

  void Release() {
    T* old = p;
    if (old) {
      p = nullptr;
      old->Release();
    }
  }
  void Attach(T* lp) {
    if (p) p->Release();
    p = lp;
  }
  T* Detach() {
    T* old = p;
    p = nullptr;
    return old;
  }
  HRESULT CopyTo(T** pp) const {
    if (!pp) return E_POINTER;
    *pp = p;
    if (p) p->AddRef();
    return S_OK;
  }
  HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer = nullptr,
                           DWORD context = CLSCTX_ALL) {
    Release();
    return ::CoCreateInstance(clsid, outer, context, __uuidof(T),
                              reinterpret_cast<void**>(&p));
  }
  template <class Q>
  HRESULT QueryInterface(Q** pp) const {
    if (!p) return E_POINTER;
    return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
  }
  bool IsEqualObject(IUnknown* other) const;

  T* p;
};

// Interface pointer filled by QueryInterface from whatever it is given.
template <class T, const IID* piid = &__uuidof(T)>
class CComQIPtr : public CComPtr<T> {
public:
  CComQIPtr() {}
  CComQIPtr(T* lp) : CComPtr<T>(lp) {}
  CComQIPtr(const CComQIPtr& other) : CComPtr<T>(other.p) {}
  template <class Q>
  CComQIPtr(Q* unknown) {
    Query(unknown);
  }
  CComQIPtr& operator=(T* lp) {
    CComPtr<T>::operator=(lp);
    return *this;
  }
  CComQIPtr& operator=(const CComQIPtr& other) {
    CComPtr<T>::operator=(other.p);
    return *this;
  }
  template <class Q>
  CComQIPtr& operator=(Q* unknown) {
    CComPtr<T> keep(this->p);  // unknown may be reached through the old pointer
    this->Release();
    Query(unknown);
    return *this;
  }

private:
  template <class Q>
  void Query(Q* unknown) {
    if (unknown)
      unknown->QueryInterface(*piid, reinterpret_cast<void**>(&this->p));
  }
};

// Identity test of two interface pointers: the same object gives the same IUnknown.
inline bool AtlIsSameObject(IUnknown* a, IUnknown* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  CComPtr<IUnknown> ua, ub;
  a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
  b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
  return ua.p && ua.p == ub.p;
}

template <class T>
bool CComPtr<T>::IsEqualObject(IUnknown* other) const {
  return AtlIsSameObject(p, other);
}

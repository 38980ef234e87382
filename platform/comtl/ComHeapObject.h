#pragma once
#include <windows.h>
#include <objbase.h>
#include "ComModule.h"

// One lock of the module for the life of a heap object, where the module
// counts them (CAtlModule::CountsHeapObjects): a library's callback that a
// server or a document still holds runs its code after its owner is gone.
class CComHeapObjectLock {
public:
  CComHeapObjectLock() : m_locked(_pAtlModule && _pAtlModule->CountsHeapObjects()) {
    if (m_locked) _pAtlModule->Lock();
  }
  ~CComHeapObjectLock() {
    if (m_locked && _pAtlModule) _pAtlModule->Unlock();
  }

private:
  CComHeapObjectLock(const CComHeapObjectLock&) = delete;
  CComHeapObjectLock& operator=(const CComHeapObjectLock&) = delete;
  const bool m_locked;
};

// A small heap object that answers IUnknown and the one interface Itf: a
// callback or an event sink that needs neither an object map nor a class
// factory. Counted with interlocked operations, so the count may change on
// any thread; deleted at its last release.
template <class Itf>
class CComHeapObject : public Itf {
public:
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, __uuidof(Itf))) return E_NOINTERFACE;
    *ppv = static_cast<Itf*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
  STDMETHOD_(ULONG, Release)() override {
    LONG count = ::InterlockedDecrement(&m_refs);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

protected:
  // refs: 1 for an object whose maker keeps the first reference, 0 for one
  // handed straight to an owner that adds its own.
  explicit CComHeapObject(LONG refs) : m_refs(refs) {}
  virtual ~CComHeapObject() = default;

private:
  CComHeapObject(const CComHeapObject&) = delete;
  CComHeapObject& operator=(const CComHeapObject&) = delete;
  volatile LONG m_refs;
  // Held until what the derived object owns has been released.
  CComHeapObjectLock m_moduleLock;
};

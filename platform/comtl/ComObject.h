#pragma once
#include <windows.h>
#include <objbase.h>
#include <climits>
#include <memory>
#include <new>
#include "ComModule.h"
#include "ComPtr.h"
#include "ZCLFrame.h"

// --- Threading models: how a reference count changes and what a lock is.

class CComCriticalSection {
public:
  CComCriticalSection() { ::InitializeCriticalSection(&m_sec); }
  ~CComCriticalSection() { ::DeleteCriticalSection(&m_sec); }
  void Lock() { ::EnterCriticalSection(&m_sec); }
  void Unlock() { ::LeaveCriticalSection(&m_sec); }

private:
  CComCriticalSection(const CComCriticalSection&) = delete;
  CComCriticalSection& operator=(const CComCriticalSection&) = delete;
  CRITICAL_SECTION m_sec;
};

class CComFakeCriticalSection {
public:
  void Lock() {}
  void Unlock() {}
};

// Objects reached from several threads: interlocked counts, a real lock.
class CComMultiThreadModel {
public:
  static ULONG Increment(LONG* p) { return ::InterlockedIncrement(p); }
  static ULONG Decrement(LONG* p) { return ::InterlockedDecrement(p); }
  typedef CComCriticalSection AutoCriticalSection;
};

// Objects of one apartment thread: plain counts, no lock.
class CComSingleThreadModel {
public:
  static ULONG Increment(LONG* p) { return ++*p; }
  static ULONG Decrement(LONG* p) { return --*p; }
  typedef CComFakeCriticalSection AutoCriticalSection;
};

// --- Interface maps.

typedef HRESULT(WINAPI* _ATL_CREATORARGFUNC)(void* pv, REFIID riid, void** ppv, DWORD_PTR dw);

struct _ATL_INTMAP_ENTRY {
  const IID* piid;
  DWORD_PTR dw;               // offset of the interface, or of the aggregate's pointer
  _ATL_CREATORARGFUNC pFunc;  // _ATL_SIMPLEMAPENTRY for a plain offset
};

#define _ATL_SIMPLEMAPENTRY ((_ATL_CREATORARGFUNC)1)
#define _ATL_PACKING 8
#define offsetofclass(base, derived) \
  ((DWORD_PTR)(static_cast<base*>((derived*)_ATL_PACKING)) - _ATL_PACKING)

class CComObjectRootBase {
public:
  CComObjectRootBase() : m_dwRef(0) {}
  HRESULT FinalConstruct() { return S_OK; }
  void FinalRelease() {}
  void SetVoid(void*) {}

  static HRESULT WINAPI InternalQueryInterface(void* pThis, const _ATL_INTMAP_ENTRY* entries,
                                               REFIID iid, void** ppv);
  // Hands the query to an aggregated object (the free-threaded marshaler).
  static HRESULT WINAPI _Delegate(void* pThis, REFIID iid, void** ppv, DWORD_PTR dw);

  LONG m_dwRef;
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
public:
  typedef ThreadModel _ThreadModel;
  ULONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
  ULONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }
  void Lock() { m_critsec.Lock(); }
  void Unlock() { m_critsec.Unlock(); }

private:
  typename ThreadModel::AutoCriticalSection m_critsec;
};

// Holds an object's own lock for a scope.
template <class T>
class CComObjectLock {
public:
  explicit CComObjectLock(T* object) : m_object(object) { m_object->Lock(); }
  ~CComObjectLock() { m_object->Unlock(); }

private:
  CComObjectLock(const CComObjectLock&) = delete;
  CComObjectLock& operator=(const CComObjectLock&) = delete;
  T* m_object;
};

// The first entry of a map must be a plain interface: it is the object's IUnknown.
#define BEGIN_COM_MAP(x)                                                          \
public:                                                                           \
  typedef x _ComMapClass;                                                         \
  IUnknown* GetUnknown() {                                                        \
    return reinterpret_cast<IUnknown*>(reinterpret_cast<DWORD_PTR>(this) +        \
                                       _GetEntries()->dw);                        \
  }                                                                               \
  HRESULT _InternalQueryInterface(REFIID iid, void** ppv) {                       \
    return InternalQueryInterface(this, _GetEntries(), iid, ppv);                 \
  }                                                                               \
  static const _ATL_INTMAP_ENTRY* WINAPI _GetEntries() {                          \
    static const _ATL_INTMAP_ENTRY _entries[] = {
#define COM_INTERFACE_ENTRY(I) \
  {&__uuidof(I), offsetofclass(I, _ComMapClass), _ATL_SIMPLEMAPENTRY},
#define COM_INTERFACE_ENTRY_IID(iid, I) \
  {&iid, offsetofclass(I, _ComMapClass), _ATL_SIMPLEMAPENTRY},
// Interface I reached through its branch I2 (two bases share I).
#define COM_INTERFACE_ENTRY2(I, I2)                                             \
  {&__uuidof(I),                                                                \
   (DWORD_PTR)(static_cast<I*>(static_cast<I2*>((_ComMapClass*)_ATL_PACKING))) - \
       _ATL_PACKING,                                                            \
   _ATL_SIMPLEMAPENTRY},
// punk names a member holding the inner IUnknown of an aggregated object.
#define COM_INTERFACE_ENTRY_AGGREGATE(iid, punk)                                   \
  {&iid,                                                                           \
   (DWORD_PTR)(&reinterpret_cast<char&>(((_ComMapClass*)_ATL_PACKING)->punk)) -    \
       _ATL_PACKING,                                                               \
   _Delegate},
#define END_COM_MAP()                                              \
  {nullptr, 0, nullptr}};                                          \
  return _entries;                                                 \
  }                                                                \
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;                    \
  virtual ULONG STDMETHODCALLTYPE Release() = 0;                   \
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) = 0;

#define DECLARE_GET_CONTROLLING_UNKNOWN() \
public:                                   \
  virtual IUnknown* GetControllingUnknown() { return GetUnknown(); }

// Aggregates the free-threaded marshaler: declare a member
//   CComPtr<IUnknown> m_pUnkMarshaler;
// list COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_pUnkMarshaler.p) and call
// this from FinalConstruct. The object can then be handed to any apartment of
// the process directly (and registered in the GIT from a local-server client).
inline HRESULT AtlAggregateFreeThreadedMarshaler(IUnknown* controlling, CComPtr<IUnknown>& inner) {
  inner.Release();
  return ::CoCreateFreeThreadedMarshaler(controlling, &inner);
}

// --- Object wrappers: the most derived class of every COM object.

// Final construction runs between a temporary reference and its release, so
// an object that hands itself out during FinalConstruct is not destroyed by it.
// A constructor or FinalConstruct that throws fails the creation with the
// frame's HRESULT; a half-made object is deleted.
template <class Wrapper>
HRESULT AtlCreateWrapped(Wrapper** pp, void* pv = nullptr) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  std::unique_ptr<Wrapper> made;
  HRESULT hr = ZCLComMethod("AtlCreateWrapped", ZCL_SITE, [&]() -> HRESULT {
    made.reset(new Wrapper(pv));
    made->SetVoid(pv);
    made->InternalAddRef();
    HRESULT constructed = made->FinalConstruct();
    made->InternalRelease();
    return constructed;
  });
  if (FAILED(hr)) return hr;  // made deletes the object
  *pp = made.release();
  return hr;
}

// The most derived class of a COM object over Base; LockPolicy says how the
// object counts in the module's lock count.
template <class Base, class LockPolicy>
class CComObjectWrapper : public Base {
public:
  typedef Base _BaseClass;
  explicit CComObjectWrapper(void* = nullptr) { LockPolicy::Constructed(); }
  // Runs inside the last Release: nothing thrown by FinalRelease leaves it.
  virtual ~CComObjectWrapper() {
    this->m_dwRef = -(LONG_MAX / 2);  // references taken in FinalRelease do not re-delete
    ZCLGuarded(3, ZCL_SITE, [this] { this->FinalRelease(); });
    LockPolicy::Destroyed();
  }
  STDMETHOD_(ULONG, AddRef)() override {
    ULONG count = this->InternalAddRef();
    LockPolicy::AddedRef(count);
    return count;
  }
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = this->InternalRelease();
    if (count == 0)
      delete this;
    else
      LockPolicy::Released(count);
    return count;
  }
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    return this->_InternalQueryInterface(iid, ppv);
  }
  // The new object has no reference: the first QueryInterface gives it one.
  static HRESULT WINAPI CreateInstance(CComObjectWrapper** pp) { return AtlCreateWrapped(pp); }
};

// A client-visible object: one module lock for its life.
struct CComModuleLockForLife {
  static void Constructed() {
    if (_pAtlModule) _pAtlModule->Lock();
  }
  static void Destroyed() {
    if (_pAtlModule) _pAtlModule->Unlock();
  }
  static void AddedRef(ULONG) {}
  static void Released(ULONG) {}
};

// Never touches the module's lock count (class factories, and objects that
// the module itself keeps alive).
struct CComModuleLockNever {
  static void Constructed() {}
  static void Destroyed() {}
  static void AddedRef(ULONG) {}
  static void Released(ULONG) {}
};

// The singleton's object: its holder (the singleton factory) keeps reference
// one; the module is locked while anybody else holds a reference.
struct CComModuleLockBeyondHolder {
  static void Constructed() {}
  static void Destroyed() {}
  static void AddedRef(ULONG count) {
    if (count == 2 && _pAtlModule) _pAtlModule->Lock();
  }
  static void Released(ULONG count) {
    if (count == 1 && _pAtlModule) _pAtlModule->Unlock();
  }
};

template <class Base>
using CComObject = CComObjectWrapper<Base, CComModuleLockForLife>;
template <class Base>
using CComObjectWithoutLock = CComObjectWrapper<Base, CComModuleLockNever>;
template <class Base>
using CComObjectCached = CComObjectWrapper<Base, CComModuleLockBeyondHolder>;

// Creation by wrapper type, as class factories and object maps need it.
template <class Wrapper>
class CComCreator {
public:
  static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    Wrapper* p = nullptr;
    HRESULT hr = AtlCreateWrapped(&p, pv);
    if (FAILED(hr)) return hr;
    CComPtr<Wrapper> hold(p);  // a failed query below must not leave it at zero
    return p->QueryInterface(riid, ppv);
  }
};

// Creation that always fails: classes that clients cannot create.
class CComFailCreator {
public:
  static HRESULT WINAPI CreateInstance(void*, REFIID, void** ppv) {
    if (ppv) *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
};

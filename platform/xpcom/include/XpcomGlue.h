#pragma once
#include <windows.h>
#include "XpcomInterfaces.h"
#include "XpcomString.h"

// The static glue a component links: its generic module and factory, and an
// interface smart pointer.

typedef NS_CALLBACK(NSConstructorProcPtr)(nsISupports* outer, const nsIID& iid, void** result);
typedef NS_CALLBACK(NSRegisterSelfProcPtr)(nsIComponentManager* manager, nsIFile* path,
                                            const char* loaderStr, const char* type,
                                            const struct nsModuleComponentInfo* info);
typedef NS_CALLBACK(NSUnregisterSelfProcPtr)(nsIComponentManager* manager, nsIFile* path,
                                              const char* loaderStr,
                                              const struct nsModuleComponentInfo* info);
typedef NS_CALLBACK(NSFactoryDestructorProcPtr)();
typedef NS_CALLBACK(NSGetInterfacesProcPtr)(PRUint32* count, nsIID*** array);
typedef NS_CALLBACK(NSGetLanguageHelperProcPtr)(PRUint32 language, nsISupports** helper);
typedef nsresult(NS_STDCALL* nsModuleConstructorProc)(nsIModule* self);
typedef void(NS_STDCALL* nsModuleDestructorProc)(nsIModule* self);

struct nsModuleComponentInfo {
  const char* mDescription;
  nsCID mCID;
  const char* mContractID;
  NSConstructorProcPtr mConstructor;
  NSRegisterSelfProcPtr mRegisterSelfProc;
  NSUnregisterSelfProcPtr mUnregisterSelfProc;
  NSFactoryDestructorProcPtr mFactoryDestructor;
  NSGetInterfacesProcPtr mGetInterfacesProc;
  NSGetLanguageHelperProcPtr mGetLanguageHelperProc;
  nsIClassInfo** mClassInfoGlobal;  // filled with the factory while it lives
  PRUint32 mFlags;
};

struct nsModuleInfo {
  PRUint32 mVersion;
  const char* mModuleName;
  const nsModuleComponentInfo* mComponents;
  PRUint32 mCount;
  nsModuleConstructorProc mCtor;  // on first use
  nsModuleDestructorProc mDtor;   // on the module's final release, if the constructor ran
};

#define NS_MODULEINFO_VERSION 0x15000

// A module over the record, which must outlive it. Used on the browser thread only.
nsresult NS_NewGenericModule2(const nsModuleInfo* info, nsIModule** result);

// A plain reference count, for objects of one thread; the last Release
// deletes the object (its class is final or has a virtual destructor).
#define NS_DECL_PLAIN_REFCOUNT                                   \
public:                                                          \
  NS_IMETHOD_(nsrefcnt) AddRef() override { return ++mRefCnt; }  \
  NS_IMETHOD_(nsrefcnt) Release() override {                    \
    if (--mRefCnt != 0) return mRefCnt;                          \
    mRefCnt = 1;                                                 \
    delete this;                                                 \
    return 0;                                                    \
  }                                                              \
                                                                 \
private:                                                         \
  nsrefcnt mRefCnt = 0;                                          \
                                                                 \
public:

template <class T>
class nsCOMPtr {
public:
  nsCOMPtr() : mRawPtr(nullptr) {}
  nsCOMPtr(T* raw) : mRawPtr(raw) {
    if (mRawPtr) mRawPtr->AddRef();
  }
  nsCOMPtr(const nsCOMPtr& other) : nsCOMPtr(other.mRawPtr) {}
  ~nsCOMPtr() {
    if (mRawPtr) mRawPtr->Release();
  }
  nsCOMPtr& operator=(T* raw) {
    if (raw) raw->AddRef();
    T* old = mRawPtr;
    mRawPtr = raw;
    if (old) old->Release();
    return *this;
  }
  nsCOMPtr& operator=(const nsCOMPtr& other) { return *this = other.mRawPtr; }
  T* get() const { return mRawPtr; }
  operator T*() const { return mRawPtr; }
  T* operator->() const { return mRawPtr; }
  // Takes over a reference the caller already owns.
  void Attach(T* raw) {
    T* old = mRawPtr;
    mRawPtr = raw;
    if (old) old->Release();
  }
  T* forget() {
    T* raw = mRawPtr;
    mRawPtr = nullptr;
    return raw;
  }
  // For out places: empties the pointer first.
  T** StartAssignment() {
    Attach(nullptr);
    return &mRawPtr;
  }

private:
  T* mRawPtr;
};

template <class T>
T** getter_AddRefs(nsCOMPtr<T>& p) {
  return p.StartAssignment();
}

// Asks an object for T's interface; empty when it does not answer it.
template <class T, class S>
nsCOMPtr<T> do_QueryInterface(S* object) {
  nsCOMPtr<T> result;
  if (object) object->QueryInterface(NS_GET_IID(T), reinterpret_cast<void**>(result.StartAssignment()));
  return result;
}

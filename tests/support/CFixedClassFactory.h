#pragma once
#include <windows.h>
#include <unknwn.h>

// A class factory that hands out one object the test owns: a fake server
// registered in the test's own process with CoRegisterClassObject. Counts no
// references; outlives its registration. On the registering thread only.
class CFixedClassFactory : public IClassFactory {
public:
  explicit CFixedClassFactory(IUnknown* object) : m_object(object) {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** ppv) override { return m_object->QueryInterface(iid, ppv); }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
  IUnknown* m_object;
};

#pragma once
#include <windows.h>
#include "ComTL.h"
#include "QorsalPhoneData.h"

#include "QorsalPhoneDataIds.h"

#include "PhoneDataResource.h"

// The suite's phone-data server, answering from the simulated phones'
// world: component versions per phone, category lists per word. Any thread
// of any apartment (ThreadingModel "Both"); it keeps no state of its own.
class CPhoneDataServer : public CComObjectRootEx<CComMultiThreadModel>,
                         public CComCoClass<CPhoneDataServer, &CLSID_PhoneDataServer>,
                         public IPhoneDataStore,
                         public IPhoneDataDevices {
public:
  DECLARE_REGISTRY_RESOURCEID(IDR_PHONEDATASERVER)

  BEGIN_COM_MAP(CPhoneDataServer)
  COM_INTERFACE_ENTRY(IPhoneDataStore)
  COM_INTERFACE_ENTRY(IPhoneDataDevices)
  END_COM_MAP()

  // IPhoneDataStore
  STDMETHOD(Reserved3)() override { return E_NOTIMPL; }
  STDMETHOD(GetList)(BSTR key, SAFEARRAY** list) override;

  // IPhoneDataDevices
  STDMETHOD(RefreshDevice)(BSTR deviceId, LONG reserved) override;
  STDMETHOD(Reserved4)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved5)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved6)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved7)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved8)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved9)() override { return E_NOTIMPL; }
  STDMETHOD(Reserved10)() override { return E_NOTIMPL; }
  STDMETHOD(GetNamedValue)(BSTR deviceId, BSTR component, LONG reserved1, LONG reserved2, LONG reserved3,
                           LONG reserved4, BSTR valueName, SAFEARRAY** values) override;
  STDMETHOD(Reserved12)() override { return E_NOTIMPL; }
  STDMETHOD(RegisterApplication)(BSTR applicationName) override;
};

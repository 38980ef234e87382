#pragma once
#include <windows.h>
#include <string>
#include "ComTL.h"
#include "ConnectionManagerResource.h"
#include "PhoneWorldMedia.h"
#include "QorsalConnectionManager.h"

// The suite's connection manager, answering from the phone world's elements:
// every call reads the world afresh. Lives in the server's single-threaded
// apartment.
class CQorsalConnectionManager : public CComObjectRootEx<CComSingleThreadModel>,
                                 public CComCoClass<CQorsalConnectionManager, &CLSID_QorsalConnectionManager>,
                                 public IQorsalConnectionManager {
public:
  DECLARE_REGISTRY_RESOURCEID(IDR_CONNECTIONMANAGER)

  BEGIN_COM_MAP(CQorsalConnectionManager)
  COM_INTERFACE_ENTRY(IQorsalConnectionManager)
  END_COM_MAP()

  STDMETHOD(GetConnections)(LPSAFEARRAY* elements) override;
  STDMETHOD(EnableConnection)(GUID id) override;
  STDMETHOD(DisableConnection)(GUID id) override;
  STDMETHOD(GetConnectionSettings)(GUID id, IUnknown** settings) override;
};

// One element as the list hands it out: a copy of the world's entry.
class CQorsalConnection : public CComObjectRootEx<CComSingleThreadModel>, public IQorsalConnection {
public:
  BEGIN_COM_MAP(CQorsalConnection)
  COM_INTERFACE_ENTRY(IQorsalConnection)
  END_COM_MAP()

  void Set(const PhoneSim::CMediumElement& element) { m_element = element; }

  STDMETHOD(GetId)(GUID* id) override;
  STDMETHOD(GetMedium)(BYTE* medium) override;
  STDMETHOD(GetName)(BSTR* name) override;
  STDMETHOD(GetEnabled)(VARIANT_BOOL* enabled) override;

private:
  PhoneSim::CMediumElement m_element;
};

// The serial cable's settings: setting 0, its port, read from and written to
// the phone world on every call. Lives in the server's apartment.
class CQorsalCableSettings : public CComObjectRootEx<CComSingleThreadModel>, public IQorsalConnectionSettings {
public:
  BEGIN_COM_MAP(CQorsalCableSettings)
  COM_INTERFACE_ENTRY(IQorsalConnectionSettings)
  END_COM_MAP()

  STDMETHOD(GetCount)(ULONG* count) override;
  STDMETHOD(GetSetting)(ULONG index, VARIANT* value) override;
  STDMETHOD(SetSetting)(ULONG index, VARIANT value) override;
};

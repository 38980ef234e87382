#pragma once
#include <windows.h>
#include <memory>
#include "CLiveObjectRegistry.h"
#include "CZembraSMS.h"
#include "ComTL.h"
#include "SZembra.h"

// One address of a message. Made and filled on the service's worker
// threads before it is handed out; read-only afterwards.
class CAddress : public CComObjectRootEx<CComMultiThreadModel>,
                 public IDispatchImpl<IAddress, &IID_IAddress, &LIBID_SZembraLib, 1, 0>,
                 public ISupportErrorInfoImpl<&IID_IAddress> {
public:
  BEGIN_COM_MAP(CAddress)
  COM_INTERFACE_ENTRY(IAddress)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(get_Type)(long* pType) override;
  STDMETHOD(get_Address)(BSTR* pbstrAddress) override;

  void Init(const CZembraSMSAddress& address);

private:
  std::unique_ptr<CZembraSMSAddress> m_address;
  CLiveObjectRegistry<CAddress>::CRegistration m_live;
};

typedef CLiveObjectRegistry<CAddress> CAddressRegistry;

#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CLiveObjectRegistry.h"
#include "CZembraSMS.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLLogger.h"

// A text message as clients see it: its own copy of the record and the
// serial of its phone. The object's lock guards the record; the service's
// own code works on a copy (CopyRecord).
class CSms : public CComObjectRootEx<CComMultiThreadModel>,
             public IDispatchImpl<ISms, &IID_ISms, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CSms)
  COM_INTERFACE_ENTRY(ISms)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(get_DbId)(BSTR* pbstrId) override;
  STDMETHOD(get_PhoneId)(BSTR* pbstrId) override;
  STDMETHOD(get_Message)(BSTR* pbstrMessage) override;
  STDMETHOD(get_TimeStamp)(BSTR* pbstrTimeStamp) override;
  STDMETHOD(get_Status)(long* pStatus) override;
  STDMETHOD(put_Status)(long status) override;
  STDMETHOD(get_Folder)(long* pFolder) override;
  STDMETHOD(get_Addresses)(IAddressList** ppAddresses) override;
  STDMETHOD(_GetInternalPointer)(hyper* pPointer) override;

  void Init(const CZembraSMS* record, const wchar_t* serialNumber);
  CZembraSMS CopyRecord();
  std::wstring GetSerialNumber();

private:
  ZCLObjectTracer<CSms> m_tracer;
  std::unique_ptr<CZembraSMS> m_record;
  std::wstring m_serialNumber;
  CLiveObjectRegistry<CSms>::CRegistration m_live;
};

typedef CLiveObjectRegistry<CSms> CSmsRegistry;

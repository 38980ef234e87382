#pragma once
#include <windows.h>
#include "CDataItem.h"
#include "CZembraSMS.h"
#include "ZCLLogger.h"

// A text message as clients see it: its own copy of the record and the
// serial of its phone (threading as for every CDataItem).
class CSms : public CDataItem<CSms, CZembraSMS, ISms, &IID_ISms> {
public:
  BEGIN_COM_MAP(CSms)
  COM_INTERFACE_ENTRY(ISms)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  STDMETHOD(get_DbId)(BSTR* pbstrId) override;
  STDMETHOD(get_PhoneId)(BSTR* pbstrId) override;
  STDMETHOD(get_Message)(BSTR* pbstrMessage) override;
  STDMETHOD(get_TimeStamp)(BSTR* pbstrTimeStamp) override;
  STDMETHOD(get_Status)(long* pStatus) override;
  STDMETHOD(put_Status)(long status) override;
  STDMETHOD(get_Folder)(long* pFolder) override;
  STDMETHOD(get_Addresses)(IAddressList** ppAddresses) override;
  STDMETHOD(_GetInternalPointer)(hyper* pPointer) override;

private:
  ZCLObjectTracer<CSms> m_tracer;
};

typedef CLiveObjectRegistry<CSms> CSmsRegistry;

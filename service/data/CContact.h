#pragma once
#include <windows.h>
#include "CDataItem.h"
#include "CZembraContact.h"
#include "ZCLLogger.h"

// A contact as clients see it: its own copy of the record and the serial of
// its phone (threading as for every CDataItem).
class CContact : public CDataItem<CContact, CZembraContact, IContact, &IID_IContact> {
public:
  BEGIN_COM_MAP(CContact)
  COM_INTERFACE_ENTRY(IContact)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  STDMETHOD(get_DbId)(BSTR* pbstrId) override;
  STDMETHOD(get_PhoneId)(BSTR* pbstrId) override;
  STDMETHOD(get_VCard)(BSTR* pbstrVCard) override;
  STDMETHOD(put_VCard)(BSTR bstrVCard) override;
  STDMETHOD(get_TopContact)(VARIANT_BOOL* pTop) override;
  STDMETHOD(put_TopContact)(VARIANT_BOOL top) override;
  STDMETHOD(get_PhotoPath)(BSTR* pbstrPath) override;
  STDMETHOD(get_FormattedName)(BSTR* pbstrName) override;
  STDMETHOD(_GetInternalPointer)(hyper* pPointer) override;

private:
  ZCLObjectTracer<CContact> m_tracer;
};

typedef CLiveObjectRegistry<CContact> CContactRegistry;

#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CLiveObjectRegistry.h"
#include "CZembraContact.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLLogger.h"

// A contact as clients see it: its own copy of the record and the serial of
// its phone. Clients may read and write it from several threads at once:
// the object's lock guards the record, and the service's own code takes a
// copy of the record (CopyRecord) rather than working on it in place.
class CContact : public CComObjectRootEx<CComMultiThreadModel>,
                 public IDispatchImpl<IContact, &IID_IContact, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CContact)
  COM_INTERFACE_ENTRY(IContact)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(get_DbId)(BSTR* pbstrId) override;
  STDMETHOD(get_PhoneId)(BSTR* pbstrId) override;
  STDMETHOD(get_VCard)(BSTR* pbstrVCard) override;
  STDMETHOD(put_VCard)(BSTR bstrVCard) override;
  STDMETHOD(get_TopContact)(VARIANT_BOOL* pTop) override;
  STDMETHOD(put_TopContact)(VARIANT_BOOL top) override;
  STDMETHOD(get_PhotoPath)(BSTR* pbstrPath) override;
  STDMETHOD(get_FormattedName)(BSTR* pbstrName) override;
  STDMETHOD(_GetInternalPointer)(hyper* pPointer) override;

  // A copy of the record, or an empty record when there is none.
  void Init(const CZembraContact* record, const wchar_t* serialNumber);
  CZembraContact CopyRecord();
  std::wstring GetSerialNumber();

private:
  ZCLObjectTracer<CContact> m_tracer;
  std::unique_ptr<CZembraContact> m_record;
  std::wstring m_serialNumber;
  CLiveObjectRegistry<CContact>::CRegistration m_live;
};

typedef CLiveObjectRegistry<CContact> CContactRegistry;

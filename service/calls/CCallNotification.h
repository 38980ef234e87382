#pragma once
#include <windows.h>
#include <string>
#include "ComTL.h"
#include "SZembra.h"

// A change of a call's state, for subscribed clients. Immutable once
// initialised; read from any thread.
class CCallNotification : public CComObjectRootEx<CComMultiThreadModel>,
                          public IDispatchImpl<ICallNotification, &IID_ICallNotification, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CCallNotification)
  COM_INTERFACE_ENTRY(ICallNotification)
  COM_INTERFACE_ENTRY(ISNotification)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(get_SerialNumber)(BSTR* pbstrSerial) override;
  STDMETHOD(get_Number)(BSTR* pbstrNumber) override;
  STDMETHOD(get_State)(long* pState) override;

  void Init(const wchar_t* serialNumber, const wchar_t* number, int state);

private:
  std::wstring m_serialNumber;
  std::wstring m_number;
  int m_state = 0;
};

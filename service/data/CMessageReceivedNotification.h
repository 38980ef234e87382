#pragma once
#include <windows.h>
#include <string>
#include "ComTL.h"
#include "SZembra.h"

// A newly received text message, for the message window and subscribed
// clients. Immutable once initialised; read from any thread.
class CMessageReceivedNotification
    : public CComObjectRootEx<CComMultiThreadModel>,
      public IDispatchImpl<IMessageReceivedNotification, &IID_IMessageReceivedNotification, &LIBID_SZembraLib, 1,
                           0> {
public:
  BEGIN_COM_MAP(CMessageReceivedNotification)
  COM_INTERFACE_ENTRY(IMessageReceivedNotification)
  COM_INTERFACE_ENTRY(ISNotification)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  void FinalRelease() { m_message.Release(); }

  STDMETHOD(get_SerialNumber)(BSTR* pbstrSerial) override;
  STDMETHOD(get_Message)(ISms** ppSms) override;

  void Init(const wchar_t* serialNumber, ISms* message);

private:
  std::wstring m_serialNumber;
  CComPtr<ISms> m_message;
};

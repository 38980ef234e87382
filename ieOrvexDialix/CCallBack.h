#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "ComHeapObject.h"
#include "ieOrvexDialix.h"

// The helper object's service callback: remembers the client id and the
// serial number of the last phone seen connected. Made and used on the
// browser's thread (the service's calls arrive there through COM); only the
// count may change from elsewhere.
class CCallBack : public CComHeapObject<IZembraCallback> {
public:
  CCallBack() : CComHeapObject(1) {}

  STDMETHOD(ConnectCompleted)(BSTR clientId) override;
  STDMETHOD(DisconnectCompleted)(BSTR clientId) override;
  STDMETHOD(OperationCompleted)(BSTR clientId, BSTR operationId, IOperation* operation) override;
  STDMETHOD(OperationFailed)(BSTR clientId, BSTR operationId, HRESULT hr, IErrorInfo* errorInfo) override;
  STDMETHOD(OperationProgress)(BSTR clientId, BSTR operationId, IProgressInfo* progress) override;
  STDMETHOD(OperationData)(BSTR clientId, BSTR operationId, IOperation* data) override;
  STDMETHOD(NewDevice)(BSTR clientId, IDevice* device) override;
  STDMETHOD(DeviceStateChanged)(BSTR clientId, IDevice* device) override;
  STDMETHOD(Notification)(BSTR clientId, REFIID riid, ISNotification* notification) override;

  virtual ~CCallBack() = default;

  const std::wstring& ClientId() const { return m_clientId; }
  // Run by ConnectCompleted once the client id is kept. The owner clears it
  // before it goes: the service may hold this object longer.
  void WhenConnected(std::function<void()> hook) { m_connected = std::move(hook); }
  const std::wstring& SerialNumber() const { return m_serial; }

private:
  // Keeps the device's serial number when it reports the connected state.
  bool TakeIfConnected(IDevice* device);

  std::wstring m_clientId;
  std::wstring m_serial;
  std::function<void()> m_connected;
};

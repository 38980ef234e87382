#pragma once
#include <windows.h>
#include "ComTL.h"
#include "SZembra.h"
#include "XpcomGlue.h"
#include "xpOrvexDialix.h"

class CZembraClient;

// The holder of one connection: owns the script's callback and passes every
// call on to it. Owned by its sink (and by CDialix while it is the current
// one); its link to the sink is weak and cleared when the sink goes.
// Created, called and released on the script's thread only.
class CDialixCallback final : public IOrvexDialixCallback {
  NS_DECL_PLAIN_REFCOUNT
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override;

  NS_IMETHOD ConnectCompleted(const nsAString& clientId) override;
  NS_IMETHOD DisconnectCompleted(const nsAString& clientId) override;
  NS_IMETHOD OperationCompleted(const nsAString& clientId, const nsAString& operationId,
                                IOrvexDialixOperation* operation) override;
  NS_IMETHOD OperationFailed(const nsAString& clientId, const nsAString& operationId, PRInt32 result,
                             IOrvexDialixErrorInfo* error) override;
  NS_IMETHOD NewDevice(const nsAString& clientId, IOrvexDialixDevice* device) override;
  NS_IMETHOD DeviceStateChanged(const nsAString& clientId, IOrvexDialixDevice* device) override;
  NS_IMETHOD Notification(const nsAString& clientId, const nsIID* kind, nsISupports* notification) override;

  // Keeps the script's callback and, for a callback, makes this connection's
  // sink; sink receives it for the service, which then owns it (empty for no
  // callback). A failure to make the sink is returned.
  HRESULT SetScriptCallback(IOrvexDialixCallback* script, CComPtr<IZembraCallback>& sink);
  // The live sink, or null.
  CZembraClient* GetSink() const { return m_sink; }
  // Called by the sink as it goes.
  void SinkGone(CZembraClient* sink);

private:
  ~CDialixCallback() {}
  CZembraClient* m_sink = nullptr;
  nsCOMPtr<IOrvexDialixCallback> m_script;
};

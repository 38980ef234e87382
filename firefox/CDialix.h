#pragma once
#include <windows.h>
#include "CDialixCallback.h"
#include "ComTL.h"
#include "GitCookie.h"
#include "SZembra.h"
#include "XpcomGlue.h"
#include "xpOrvexDialix.h"

// The class-information slot the generic module fills.
extern nsIClassInfo* g_dialixClassInfo;

// The script's face of the service. Created, used and destroyed on the
// browser thread that runs the script; only its sinks are called by COM. The
// service pointer is fetched from the global interface table for each call,
// so it is valid in the calling thread's apartment.
class CDialix final : public IOrvexDialix {
  NS_DECL_PLAIN_REFCOUNT
  // The component constructor the generic factory calls.
  static nsresult NS_STDCALL Construct(nsISupports* outer, const nsIID& iid, void** result);

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override;

  NS_IMETHOD Connect(IOrvexDialixCallback* callback) override;
  NS_IMETHOD Disconnect(const nsAString& clientId) override;
  NS_IMETHOD CreateOperation(const nsAString& clientId, const nsIID& kind,
                             IOrvexDialixOperation** operation) override;
  NS_IMETHOD BeginOperation(IOrvexDialixOperation* operation) override;
  NS_IMETHOD SubscribeNotification(const nsAString& clientId, const nsIID& kind) override;
  NS_IMETHOD UnsubscribeNotification(const nsAString& clientId, const nsIID& kind) override;

  CDialix() {}

private:
  ~CDialix();
  nsresult Initialize();
  // One call on the service pointer fetched for this thread; a failed fetch
  // answers its own code and the service is not called.
  template <class Call>
  HRESULT WithService(Call call);
  // Subscribe or unsubscribe: unknown kinds E_NOTIMPL, success 0.
  nsresult Subscription(const char* name, const nsAString& clientId, const nsIID& kind, bool subscribe);

  nsCOMPtr<CDialixCallback> m_holder;  // the current connection's
  CComPtr<IZembra> m_service;          // kept for the registration only
  CGitCookie m_cookie;
};

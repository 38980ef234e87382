#pragma once
#include <windows.h>
#include "CDialixData.h"

// The base of the notification wrappers.
class CDialixNotification {
public:
  // The wrapped notification, without a new reference.
  virtual ISNotification* GetNotification() = 0;
};

// A notification wrapper over the service's notification of interface Service;
// empty when the service object does not answer it.
template <class Derived, class FaceT, class ServiceT>
class CDialixNotificationT : public FaceT, public CDialixNotification {
  NS_DECL_PLAIN_REFCOUNT
  typedef FaceT Face;
  typedef ServiceT Service;

  static nsresult Create(ISNotification* notification, const nsIID& iid, void** result) {
    return DialixCreate<Derived>([notification](Derived* made) { return made->Initialize(notification); }, iid,
                                 result);
  }

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (!result) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(IOrvexDialixNotification)) &&
        !iid.Equals(Face::GetIID()))
      return NS_ERROR_NO_INTERFACE;
    *result = static_cast<Face*>(this);
    AddRef();
    return NS_OK;
  }

  ISNotification* GetNotification() override { return m_service; }

  NS_IMETHOD GetSerialNumber(nsAString& serial) override {
    nsresult rv = DialixGetText(m_service.p, &Service::get_SerialNumber, serial);
    return NS_SUCCEEDED(rv) ? NS_OK : rv;
  }

  virtual nsresult Initialize(ISNotification* notification) {
    m_service.Release();
    if (notification)
      notification->QueryInterface(__uuidof(Service), reinterpret_cast<void**>(&m_service));
    return NS_OK;
  }

protected:
  virtual ~CDialixNotificationT() {}
  CComPtr<Service> m_service;
};

class CDialixCallNotification
    : public CDialixNotificationT<CDialixCallNotification, IOrvexDialixCallNotification, ICallNotification> {
public:
  NS_IMETHOD GetNumber(nsAString& number) override;
  NS_IMETHOD GetState(PRInt32* state) override;
};

class CDialixMessageReceived
    : public CDialixNotificationT<CDialixMessageReceived, IOrvexDialixMessageReceivedNotification,
                                  IMessageReceivedNotification> {
public:
  NS_IMETHOD GetMessage(IOrvexDialixSms** sms) override;
};

class CDialixEventsUpdated
    : public CDialixNotificationT<CDialixEventsUpdated, IOrvexDialixEventsUpdatedNotification,
                                  IEventsUpdatedNotification> {
public:
  NS_IMETHOD GetEvent(IOrvexDialixEvent** event) override;
};

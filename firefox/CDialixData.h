#pragma once
#include <windows.h>
#include "CDialixWrapper.h"

// The data and error wrappers: the service's devices, contacts, messages,
// addresses, call-log events, their lists, and error information.

class CDialixAddress : public CDialixData<CDialixAddress, IOrvexDialixAddress, IAddress> {
public:
  NS_IMETHOD GetType(PRInt32* type) override;
  NS_IMETHOD GetAddress(nsAString& address) override;
};

class CDialixAddressList : public CDialixData<CDialixAddressList, IOrvexDialixAddressList, IAddressList> {
public:
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixAddress** address) override;
  NS_IMETHOD GetCount(PRInt32* count) override;
};

class CDialixContact : public CDialixData<CDialixContact, IOrvexDialixContact, IContact> {
public:
  static const nsIID& SelfIid();
  NS_IMETHOD GetDbId(nsAString& id) override;
  NS_IMETHOD GetPhoneId(nsAString& id) override;
  NS_IMETHOD GetVCard(nsAString& card) override;
  NS_IMETHOD SetVCard(const nsAString& card) override;
  NS_IMETHOD GetTopContact(PRBool* top) override;
  NS_IMETHOD SetTopContact(PRBool top) override;
  NS_IMETHOD GetPhotoPath(nsAString& path) override;
  NS_IMETHOD GetFormattedName(nsAString& name) override;
};

class CDialixContactList : public CDialixData<CDialixContactList, IOrvexDialixContactList, IContactList> {
public:
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixContact** contact) override;
  NS_IMETHOD GetCount(PRInt32* count) override;
  NS_IMETHOD CreateContact(IOrvexDialixContact** contact) override;
  NS_IMETHOD AddContact(IOrvexDialixContact* contact, PRInt32* index) override;
  NS_IMETHOD RemoveContact(PRInt32 index) override;
};

class CDialixDevice : public CDialixData<CDialixDevice, IOrvexDialixDevice, IDevice> {
public:
  NS_IMETHOD GetSerialNumber(nsAString& serial) override;
  NS_IMETHOD GetModelName(nsAString& model) override;
  NS_IMETHOD GetFriendlyName(nsAString& name) override;
  NS_IMETHOD GetManufacturer(nsAString& manufacturer) override;
  NS_IMETHOD GetBluetoothName(nsAString& name) override;
  NS_IMETHOD GetState(PRInt32* state) override;
};

class CDialixDeviceList : public CDialixData<CDialixDeviceList, IOrvexDialixDeviceList, IDeviceList> {
public:
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixDevice** device) override;
  NS_IMETHOD GetCount(PRInt32* count) override;
};

class CDialixErrorInfo : public CDialixData<CDialixErrorInfo, IOrvexDialixErrorInfo, IErrorInfo> {
public:
  NS_IMETHOD GetGUID(nsAString& guid) override;
  NS_IMETHOD GetSource(nsAString& source) override;
  NS_IMETHOD GetDescription(nsAString& description) override;
  NS_IMETHOD GetHelpFile(nsAString& file) override;
  NS_IMETHOD GetHelpContext(PRInt32* context) override;
};

class CDialixEvent : public CDialixData<CDialixEvent, IOrvexDialixEvent, IEvent> {
public:
  NS_IMETHOD GetId(nsAString& id) override;
  NS_IMETHOD GetType(PRInt32* type) override;
  NS_IMETHOD GetDirection(PRInt32* direction) override;
  NS_IMETHOD GetDuration(PRInt32* duration) override;
  NS_IMETHOD GetBytesSent(PRInt64* bytes) override;
  NS_IMETHOD GetBytesReceived(PRInt64* bytes) override;
  NS_IMETHOD GetNumber(nsAString& number) override;
  NS_IMETHOD GetName(nsAString& name) override;
  NS_IMETHOD GetTimeStamp(nsAString& stamp) override;

private:
  // The variant's value field, whatever its tag says: the service sends
  // unsigned 32- and 64-bit values.
  template <class Get>
  nsresult GetFromVariant(Get get, PRInt64* value);
};

class CDialixEventList : public CDialixData<CDialixEventList, IOrvexDialixEventList, IEventList> {
public:
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixEvent** event) override;
  NS_IMETHOD GetCount(PRInt32* count) override;
};

class CDialixSms : public CDialixData<CDialixSms, IOrvexDialixSms, ISms> {
public:
  static const nsIID& SelfIid();
  NS_IMETHOD GetDbId(nsAString& id) override;
  NS_IMETHOD GetPhoneId(nsAString& id) override;
  NS_IMETHOD GetMessage(nsAString& text) override;
  NS_IMETHOD GetTimeStamp(nsAString& stamp) override;
  NS_IMETHOD GetStatus(PRInt32* status) override;
  NS_IMETHOD SetStatus(PRInt32 status) override;
  NS_IMETHOD GetFolder(PRInt32* folder) override;
  NS_IMETHOD GetAddresses(IOrvexDialixAddressList** addresses) override;
};

class CDialixSmsList : public CDialixData<CDialixSmsList, IOrvexDialixSmsList, ISmsList> {
public:
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixSms** sms) override;
  NS_IMETHOD GetCount(PRInt32* count) override;
};

#pragma once
// The Firefox component's scriptable interfaces. Written by hand: no
// interface compiler of the browser's is here, and no type library is made.
#include <windows.h>
#include "XpcomInterfaces.h"
#include "XpcomString.h"

#define DIALIX_INTERFACE(Name, Base, l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7) \
  struct Name : public Base {                                                   \
    NS_DEFINE_IID_ACCESSOR(l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7)

struct IOrvexDialixOperation;
struct IOrvexDialixErrorInfo;
struct IOrvexDialixDevice;
struct IOrvexDialixContact;
struct IOrvexDialixSms;
struct IOrvexDialixEvent;
struct IOrvexDialixAddressList;

// --- Data and error wrappers.

DIALIX_INTERFACE(IOrvexDialixAddress, nsISupports, 0x8BA98DA6, 0x8804, 0x4A0A, 0xA7, 0x46, 0x68, 0x05, 0x4B, 0xBA, 0x82, 0x1B)
  NS_IMETHOD GetType(PRInt32* type) = 0;
  NS_IMETHOD GetAddress(nsAString& address) = 0;
};

DIALIX_INTERFACE(IOrvexDialixAddressList, nsISupports, 0xFDD7CC2E, 0x6D2F, 0x47C1, 0x83, 0xEE, 0x33, 0x7B, 0x0C, 0xBB, 0x57, 0xA5)
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixAddress** address) = 0;
  NS_IMETHOD GetCount(PRInt32* count) = 0;
};

DIALIX_INTERFACE(IOrvexDialixContact, nsISupports, 0x9CEB43F7, 0x0DB8, 0x40F0, 0x84, 0xFB, 0x19, 0xA9, 0x54, 0xD7, 0x51, 0x56)
  NS_IMETHOD GetDbId(nsAString& id) = 0;
  NS_IMETHOD GetPhoneId(nsAString& id) = 0;
  NS_IMETHOD GetVCard(nsAString& card) = 0;
  NS_IMETHOD SetVCard(const nsAString& card) = 0;
  NS_IMETHOD GetTopContact(PRBool* top) = 0;
  NS_IMETHOD SetTopContact(PRBool top) = 0;
  NS_IMETHOD GetPhotoPath(nsAString& path) = 0;
  NS_IMETHOD GetFormattedName(nsAString& name) = 0;
};

DIALIX_INTERFACE(IOrvexDialixContactList, nsISupports, 0x8810ABDB, 0x271F, 0x49DE, 0xAC, 0x07, 0xEE, 0x2C, 0x48, 0xF6, 0x83, 0x24)
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixContact** contact) = 0;
  NS_IMETHOD GetCount(PRInt32* count) = 0;
  NS_IMETHOD CreateContact(IOrvexDialixContact** contact) = 0;
  NS_IMETHOD AddContact(IOrvexDialixContact* contact, PRInt32* index) = 0;
  NS_IMETHOD RemoveContact(PRInt32 index) = 0;
};

DIALIX_INTERFACE(IOrvexDialixDevice, nsISupports, 0x5DD36067, 0x7C17, 0x4832, 0x9A, 0x32, 0x7E, 0x07, 0x5F, 0x8E, 0x50, 0xEB)
  NS_IMETHOD GetSerialNumber(nsAString& serial) = 0;
  NS_IMETHOD GetModelName(nsAString& model) = 0;
  NS_IMETHOD GetFriendlyName(nsAString& name) = 0;
  NS_IMETHOD GetManufacturer(nsAString& manufacturer) = 0;
  NS_IMETHOD GetBluetoothName(nsAString& name) = 0;
  NS_IMETHOD GetState(PRInt32* state) = 0;
};

DIALIX_INTERFACE(IOrvexDialixDeviceList, nsISupports, 0xD48BAC89, 0x0AA4, 0x4BE9, 0x92, 0x7C, 0x31, 0x61, 0xE1, 0x0C, 0x3C, 0xF8)
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixDevice** device) = 0;
  NS_IMETHOD GetCount(PRInt32* count) = 0;
};

DIALIX_INTERFACE(IOrvexDialixErrorInfo, nsISupports, 0x70B82E09, 0xA107, 0x4813, 0x9D, 0x04, 0xA4, 0xF3, 0x07, 0x19, 0xCD, 0xAB)
  NS_IMETHOD GetGUID(nsAString& guid) = 0;
  NS_IMETHOD GetSource(nsAString& source) = 0;
  NS_IMETHOD GetDescription(nsAString& description) = 0;
  NS_IMETHOD GetHelpFile(nsAString& file) = 0;
  NS_IMETHOD GetHelpContext(PRInt32* context) = 0;
};

DIALIX_INTERFACE(IOrvexDialixEvent, nsISupports, 0x7F950049, 0xFF8C, 0x4AC7, 0xBA, 0xEF, 0x23, 0x07, 0x33, 0x0B, 0xFE, 0x45)
  NS_IMETHOD GetId(nsAString& id) = 0;
  NS_IMETHOD GetType(PRInt32* type) = 0;
  NS_IMETHOD GetDirection(PRInt32* direction) = 0;
  NS_IMETHOD GetDuration(PRInt32* duration) = 0;
  NS_IMETHOD GetBytesSent(PRInt64* bytes) = 0;
  NS_IMETHOD GetBytesReceived(PRInt64* bytes) = 0;
  NS_IMETHOD GetNumber(nsAString& number) = 0;
  NS_IMETHOD GetName(nsAString& name) = 0;
  NS_IMETHOD GetTimeStamp(nsAString& stamp) = 0;
};

DIALIX_INTERFACE(IOrvexDialixEventList, nsISupports, 0xA87A1B0B, 0xA6BC, 0x49C9, 0xBD, 0x59, 0xED, 0x4A, 0xA6, 0x7D, 0x68, 0xFC)
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixEvent** event) = 0;
  NS_IMETHOD GetCount(PRInt32* count) = 0;
};

DIALIX_INTERFACE(IOrvexDialixSms, nsISupports, 0xDEE91F99, 0xF6A1, 0x43F1, 0x88, 0xEB, 0xBD, 0x19, 0x27, 0x7F, 0x0B, 0x77)
  NS_IMETHOD GetDbId(nsAString& id) = 0;
  NS_IMETHOD GetPhoneId(nsAString& id) = 0;
  NS_IMETHOD GetMessage(nsAString& text) = 0;
  NS_IMETHOD GetTimeStamp(nsAString& stamp) = 0;
  NS_IMETHOD GetStatus(PRInt32* status) = 0;
  NS_IMETHOD SetStatus(PRInt32 status) = 0;
  NS_IMETHOD GetFolder(PRInt32* folder) = 0;
  NS_IMETHOD GetAddresses(IOrvexDialixAddressList** addresses) = 0;
};

DIALIX_INTERFACE(IOrvexDialixSmsList, nsISupports, 0x2C04C501, 0x511D, 0x4D05, 0x9A, 0x72, 0xBC, 0xCF, 0x5F, 0xD3, 0x28, 0x71)
  NS_IMETHOD Item(PRInt32 index, IOrvexDialixSms** sms) = 0;
  NS_IMETHOD GetCount(PRInt32* count) = 0;
};

// --- Notifications.

DIALIX_INTERFACE(IOrvexDialixNotification, nsISupports, 0x6AD97BF7, 0xB2FC, 0x4C33, 0x8C, 0x4F, 0xC1, 0xA0, 0xFB, 0x65, 0x23, 0xD5)
  NS_IMETHOD GetSerialNumber(nsAString& serial) = 0;
};

DIALIX_INTERFACE(IOrvexDialixCallNotification, IOrvexDialixNotification, 0xDA5E9379, 0x9E1E, 0x4BFA, 0xBF, 0xB4, 0xB2, 0xD2, 0x2C, 0x98, 0xAE, 0x28)
  NS_IMETHOD GetNumber(nsAString& number) = 0;
  NS_IMETHOD GetState(PRInt32* state) = 0;
};

DIALIX_INTERFACE(IOrvexDialixMessageReceivedNotification, IOrvexDialixNotification, 0xDB5A5D22, 0x7D4A, 0x4B4A, 0xB7, 0xD4, 0x4B, 0xE4, 0x4A, 0x1E, 0x16, 0x99)
  NS_IMETHOD GetMessage(IOrvexDialixSms** sms) = 0;
};

DIALIX_INTERFACE(IOrvexDialixEventsUpdatedNotification, IOrvexDialixNotification, 0x2C666711, 0xCAEF, 0x4474, 0x8A, 0x97, 0x84, 0xBB, 0x9A, 0x2B, 0xB5, 0x1B)
  NS_IMETHOD GetEvent(IOrvexDialixEvent** event) = 0;
};

// --- Operations.

DIALIX_INTERFACE(IOrvexDialixOperation, nsISupports, 0x3D548B83, 0xE905, 0x48AD, 0x84, 0x09, 0x7B, 0xE8, 0x30, 0x66, 0xA3, 0xF1)
  NS_IMETHOD GetClientId(nsAString& id) = 0;
  NS_IMETHOD GetOperationId(nsAString& id) = 0;
  NS_IMETHOD GetOperationState(PRInt32* state) = 0;
  NS_IMETHOD GetOperationData(nsISupports** data) = 0;
};

DIALIX_INTERFACE(IOrvexDialixGetDevicesOperation, nsISupports, 0x6C58EC60, 0xC804, 0x40DA, 0xAE, 0x39, 0x69, 0x38, 0xDF, 0x7D, 0x92, 0x5A)
};

#define DIALIX_SERIAL_MEMBERS                              \
  NS_IMETHOD GetSerialNumber(nsAString& serial) = 0;       \
  NS_IMETHOD SetSerialNumber(const nsAString& serial) = 0;

DIALIX_INTERFACE(IOrvexDialixGetContactsOperation, nsISupports, 0x56B7AA5F, 0x264C, 0x488F, 0x82, 0x5D, 0x5B, 0x96, 0x08, 0xE2, 0x69, 0x64)
  DIALIX_SERIAL_MEMBERS
};

DIALIX_INTERFACE(IOrvexDialixUpdateContactOperation, nsISupports, 0x9CFE602F, 0x00F4, 0x4717, 0xB9, 0xAE, 0x1C, 0xE5, 0x89, 0xB4, 0x8C, 0x64)
  NS_IMETHOD GetContact(IOrvexDialixContact** contact) = 0;
  NS_IMETHOD SetContact(IOrvexDialixContact* contact) = 0;
};

DIALIX_INTERFACE(IOrvexDialixDeleteContactOperation, nsISupports, 0x9056A3D5, 0x08B8, 0x476B, 0x87, 0x26, 0x35, 0x7A, 0xE0, 0x43, 0x3E, 0x34)
  NS_IMETHOD GetContact(IOrvexDialixContact** contact) = 0;
  NS_IMETHOD SetContact(IOrvexDialixContact* contact) = 0;
};

DIALIX_INTERFACE(IOrvexDialixSendMessageOperation, nsISupports, 0x4A08F6E3, 0xAD51, 0x4FB6, 0x97, 0xF1, 0x9B, 0x33, 0x27, 0xE5, 0x18, 0x9E)
  DIALIX_SERIAL_MEMBERS
  NS_IMETHOD GetMessage(nsAString& text) = 0;
  NS_IMETHOD SetMessage(const nsAString& text) = 0;
  NS_IMETHOD GetRecipient(nsAString& recipient) = 0;
  NS_IMETHOD SetRecipient(const nsAString& recipient) = 0;
};

DIALIX_INTERFACE(IOrvexDialixGetSmsOperation, nsISupports, 0xCFBA4BAE, 0xD248, 0x459A, 0x98, 0xA6, 0xFC, 0xE4, 0xDB, 0x4A, 0x03, 0xAD)
  DIALIX_SERIAL_MEMBERS
};

DIALIX_INTERFACE(IOrvexDialixUpdateSmsOperation, nsISupports, 0x88135062, 0xDCC6, 0x4680, 0x95, 0xCD, 0x61, 0x57, 0xB5, 0x14, 0x16, 0x50)
  NS_IMETHOD GetSms(IOrvexDialixSms** sms) = 0;
  NS_IMETHOD SetSms(IOrvexDialixSms* sms) = 0;
};

DIALIX_INTERFACE(IOrvexDialixDeleteSmsOperation, nsISupports, 0xE9A246ED, 0x897C, 0x4529, 0xA9, 0x31, 0xD9, 0x32, 0x06, 0x41, 0x43, 0x31)
  NS_IMETHOD GetSms(IOrvexDialixSms** sms) = 0;
  NS_IMETHOD SetSms(IOrvexDialixSms* sms) = 0;
  NS_IMETHOD GetDeleteFlags(PRInt32* flags) = 0;
  NS_IMETHOD SetDeleteFlags(PRInt32 flags) = 0;
};

DIALIX_INTERFACE(IOrvexDialixCreateCallOperation, nsISupports, 0x8379ABF2, 0x15E3, 0x4BCF, 0xA8, 0x76, 0x00, 0xE1, 0xDF, 0xEF, 0xD1, 0xB6)
  DIALIX_SERIAL_MEMBERS
  NS_IMETHOD GetNumber(nsAString& number) = 0;
  NS_IMETHOD SetNumber(const nsAString& number) = 0;
};

DIALIX_INTERFACE(IOrvexDialixGetEventsOperation, nsISupports, 0xB4949F70, 0xDB34, 0x498E, 0x92, 0x30, 0x6D, 0xB2, 0x4F, 0x5F, 0x1B, 0x3E)
  DIALIX_SERIAL_MEMBERS
};

DIALIX_INTERFACE(IOrvexDialixComposeMessageOperation, nsISupports, 0x87250403, 0xD7EB, 0x41B0, 0xA4, 0x62, 0xF8, 0x8B, 0x8A, 0x17, 0xDE, 0xDF)
  DIALIX_SERIAL_MEMBERS
  NS_IMETHOD GetNumber(nsAString& number) = 0;
  NS_IMETHOD SetNumber(const nsAString& number) = 0;
  NS_IMETHOD GetMessage(nsAString& text) = 0;
  NS_IMETHOD SetMessage(const nsAString& text) = 0;
};

// --- The script's callback and the component itself.

DIALIX_INTERFACE(IOrvexDialixCallback, nsISupports, 0x81106BBC, 0xB49A, 0x43F9, 0x85, 0xBE, 0x0F, 0x3D, 0x64, 0xDE, 0xE0, 0xAD)
  NS_IMETHOD ConnectCompleted(const nsAString& clientId) = 0;
  NS_IMETHOD DisconnectCompleted(const nsAString& clientId) = 0;
  NS_IMETHOD OperationCompleted(const nsAString& clientId, const nsAString& operationId,
                                IOrvexDialixOperation* operation) = 0;
  NS_IMETHOD OperationFailed(const nsAString& clientId, const nsAString& operationId, PRInt32 result,
                             IOrvexDialixErrorInfo* error) = 0;
  NS_IMETHOD NewDevice(const nsAString& clientId, IOrvexDialixDevice* device) = 0;
  NS_IMETHOD DeviceStateChanged(const nsAString& clientId, IOrvexDialixDevice* device) = 0;
  // kind: the id of the notification's interface, which notification is given as.
  NS_IMETHOD Notification(const nsAString& clientId, const nsIID* kind, nsISupports* notification) = 0;
};

DIALIX_INTERFACE(IOrvexDialix, nsISupports, 0x66147E72, 0x8133, 0x42C2, 0xA7, 0xE7, 0x60, 0x2A, 0xBB, 0xEA, 0x71, 0xC1)
  NS_IMETHOD Connect(IOrvexDialixCallback* callback) = 0;
  NS_IMETHOD Disconnect(const nsAString& clientId) = 0;
  NS_IMETHOD CreateOperation(const nsAString& clientId, const nsIID& kind,
                             IOrvexDialixOperation** operation) = 0;
  NS_IMETHOD BeginOperation(IOrvexDialixOperation* operation) = 0;
  NS_IMETHOD SubscribeNotification(const nsAString& clientId, const nsIID& kind) = 0;
  NS_IMETHOD UnsubscribeNotification(const nsAString& clientId, const nsIID& kind) = 0;
};

#undef DIALIX_SERIAL_MEMBERS
#undef DIALIX_INTERFACE

// The component's class and contract.
#define DIALIX_XPCOM_CID \
  {0x15C9934D, 0x019B, 0x479B, {0x93, 0xC4, 0x32, 0x3A, 0x9A, 0x0D, 0x86, 0x31}}
#define DIALIX_XPCOM_CONTRACTID "@dialix.example/OrvexDialix/xpOrvexDialix;1"

#include <windows.h>
#include "CSZembraModule.h"
#include "CZembra.h"
#include "ZCLText.h"

CSZembraModule::CSZembraModule() : CAtlExeModuleT<CSZembraModule>(ServiceObjectMap) {}

// The service's classes as the registry names them; the class ids keep the
// case their keys have always had.
namespace {

const wchar_t kTypeLib[] = L"{62EBDE85-A1D2-4C0E-9795-7FA5DADA066F}";

const CClassRegistration kDeviceListRegistration = {L"SZembra.DeviceList.1", L"SZembra.DeviceList",
    L"{D59ABA54-A9DA-4440-8122-E511E1C2E3EA}", L"DeviceList Class", kTypeLib};
const CClassRegistration kDeviceRegistration = {L"SZembra.Device.1", L"SZembra.Device",
    L"{6885FF79-4617-4B3F-8A50-89E496081281}", L"Device Class", kTypeLib};
const CClassRegistration kDeviceInfoRegistration = {L"SZembra.DeviceInfo.1", L"SZembra.DeviceInfo",
    L"{A17E27F5-F795-41FC-8C55-4E158867AA74}", L"DeviceInfo Class", kTypeLib};
const CClassRegistration kAddressListRegistration = {L"SZembra.AddressList.1", L"SZembra.AddressList",
    L"{4F9ADC2C-3906-4D6D-A760-60368ADD53A9}", L"AddressList Class", kTypeLib};
const CClassRegistration kAddressRegistration = {L"SZembra.Address.1", L"SZembra.Address",
    L"{BC5CEBAE-5D4D-4AE9-ACE3-FAE5D62855E9}", L"Address Class", kTypeLib};
const CClassRegistration kContactListRegistration = {L"SZembra.ContactList.1", L"SZembra.ContactList",
    L"{BA9ABD0D-82AB-4006-8740-607EFBF2B8C5}", L"ContactList Class", kTypeLib};
const CClassRegistration kContactRegistration = {L"SZembra.Contact.1", L"SZembra.Contact",
    L"{438916C3-26D0-4ddc-AFB3-41B4888A08BF}", L"Contact Class", kTypeLib};
const CClassRegistration kSmsListRegistration = {L"SZembra.SmsList.1", L"SZembra.SmsList",
    L"{FCE3B35B-54BF-4741-B8AA-96BE80BA3251}", L"SmsList Class", kTypeLib};
const CClassRegistration kSmsRegistration = {L"SZembra.Sms.1", L"SZembra.Sms",
    L"{A9D15EE3-C0B6-4a5a-9140-129BD4232FB7}", L"Sms Class", kTypeLib};
const CClassRegistration kEventRegistration = {L"SZembra.Event.1", L"SZembra.Event",
    L"{24C60573-7D09-4b4d-8E16-6E93EEDAB8C7}", L"Event Class", kTypeLib};
const CClassRegistration kEventListRegistration = {L"SZembra.EventList.1", L"SZembra.EventList",
    L"{F5EF4719-08C6-4a3f-A774-80296B32A7C1}", L"EventList Class", kTypeLib};
const CClassRegistration kZembraRegistration = {L"SZembra.Zembra.1", L"SZembra.Zembra",
    L"{D9077386-C5C7-4BEF-923F-8B41DA44FF5E}", L"Zembra Class", kTypeLib};

}  // namespace

HRESULT WINAPI CZembra::UpdateRegistry(BOOL bRegister) {
  return AtlUpdateLocalServerClassRegistry(kZembraRegistration, bRegister);
}

BEGIN_OBJECT_MAP(ServiceObjectMap)
OBJECT_ENTRY(CLSID_Zembra, CZembra)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_DeviceList, kDeviceListRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_Device, kDeviceRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_DeviceInfo, kDeviceInfoRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_AddressList, kAddressListRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_Address, kAddressRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_ContactList, kContactListRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_Contact, kContactRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_SmsList, kSmsListRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_Sms, kSmsRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_Event, kEventRegistration)
OBJECT_ENTRY_LOCAL_SERVER_CLASS(CLSID_EventList, kEventListRegistration)
OBJECT_ENTRY_NO_REGISTRY(CLSID_CallControl)
END_OBJECT_MAP()

bool ReadLogLevel(HKEY root, LPCWSTR subKey, DWORD* level) {
  return ZCLReadRegistryDword(root, subKey, L"LogLevel", level);
}

void ApplyLogLevelSetting() {
  DWORD level = 0;
  if (!ReadLogLevel(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvex Dialix", &level)) return;
  ZCLLogger::Instance().Enable(true);
  ZCLLogger::Instance().SetLevel(static_cast<int>(level));
}

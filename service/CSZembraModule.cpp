#include <windows.h>
#include "CSZembraModule.h"
#include "CZembra.h"
#include "ZCLText.h"

CSZembraModule::CSZembraModule() : CAtlExeModuleT<CSZembraModule>(ServiceObjectMap) {}

BEGIN_OBJECT_MAP(ServiceObjectMap)
OBJECT_ENTRY(CLSID_Zembra, CZembra)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_DeviceList, IDR_DEVICELIST)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_Device, IDR_DEVICE)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_DeviceInfo, IDR_DEVICEINFO)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_AddressList, IDR_ADDRESSLIST)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_Address, IDR_ADDRESS)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_ContactList, IDR_CONTACTLIST)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_Contact, IDR_CONTACT)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_SmsList, IDR_SMSLIST)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_Sms, IDR_SMS)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_Event, IDR_EVENT)
OBJECT_ENTRY_REGISTRY_ONLY(CLSID_EventList, IDR_EVENTLIST)
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

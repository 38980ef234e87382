#include <windows.h>
#include <olectl.h>
#include <string>
#include "COrvexDialix.h"
#include "COrvexDialixBHO.h"
#include "CieOrvexDialixModule.h"
#include "OperationWrappers.h"

BEGIN_OBJECT_MAP(ieObjectMap)
OBJECT_ENTRY(CLSID_OrvexDialix, COrvexDialix)
OBJECT_ENTRY(CLSID_OrvexDialixBHO, COrvexDialixBHO)
OBJECT_ENTRY(CLSID_OrvexDialixOperation, COrvexDialixOperation)
OBJECT_ENTRY(CLSID_OrvexDialixContactList, COrvexDialixContactList)
OBJECT_ENTRY(CLSID_OrvexDialixDeviceList, COrvexDialixDeviceList)
OBJECT_ENTRY(CLSID_OrvexDialixGetContactsOperation, COrvexDialixGetContactsOperation)
OBJECT_ENTRY(CLSID_OrvexDialixSendMessageOperation, COrvexDialixSendMessageOperation)
OBJECT_ENTRY(CLSID_OrvexDialixGetSmsOperation, COrvexDialixGetSmsOperation)
OBJECT_ENTRY(CLSID_OrvexDialixSmsList, COrvexDialixSmsList)
OBJECT_ENTRY(CLSID_OrvexDialixGetDevicesOperation, COrvexDialixGetDevicesOperation)
OBJECT_ENTRY(CLSID_OrvexDialixGetEventsOperation, COrvexDialixGetEventsOperation)
OBJECT_ENTRY(CLSID_OrvexDialixEventList, COrvexDialixEventList)
OBJECT_ENTRY(CLSID_OrvexDialixDeleteContactOperation, COrvexDialixDeleteContactOperation)
OBJECT_ENTRY(CLSID_OrvexDialixDeleteSmsOperation, COrvexDialixDeleteSmsOperation)
OBJECT_ENTRY(CLSID_OrvexDialixUpdateContactOperation, COrvexDialixUpdateContactOperation)
OBJECT_ENTRY(CLSID_OrvexDialixComposeMessageOperation, COrvexDialixComposeMessageOperation)
OBJECT_ENTRY(CLSID_OrvexDialixCreateCallOperation, COrvexDialixCreateCallOperation)
OBJECT_ENTRY(CLSID_OrvexDialixContact, COrvexDialixContact)
OBJECT_ENTRY(CLSID_OrvexDialixSms, COrvexDialixSms)
OBJECT_ENTRY(CLSID_OrvexDialixEventsUpdatedNotification, COrvexDialixEventsUpdatedNotification)
OBJECT_ENTRY(CLSID_OrvexDialixCallNotification, COrvexDialixCallNotification)
OBJECT_ENTRY(CLSID_OrvexDialixMessageReceivedNotification, COrvexDialixMessageReceivedNotification)
OBJECT_ENTRY(CLSID_OrvexDialixUpdateSmsOperation, COrvexDialixUpdateSmsOperation)
END_OBJECT_MAP()

CieOrvexDialixModule::CieOrvexDialixModule() : CAtlDllModuleT<CieOrvexDialixModule>(ieObjectMap) {}

// The control's misc status goes into its script in decimal: the registrar
// fails a script that names a replacement nobody supplies.
HRESULT CieOrvexDialixModule::AddCommonRGSReplacements(IRegistrarBase* registrar) {
  HRESULT hr = AtlAddReplacement(registrar, L"APPID", GetAppId());
  if (FAILED(hr)) return hr;
  return AtlAddReplacement(registrar, L"OLEMISC",
                           std::to_wstring(CComControlBase::kMiscStatus).c_str());
}

CieOrvexDialixModule _AtlModule;

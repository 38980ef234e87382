#include <windows.h>
#include "CGetSmsOperation.h"
#include "CSms.h"
#include "CSmsList.h"
#include "Selectors.h"
#include "ZCLException.h"

// A list that cannot be made fails the run: completing would hand the client
// no list, or the one of an earlier run, as this run's result.
void CGetSmsOperation::DoWork(CZembraDevice* device) {
  CComPtr<CComObject<CSmsList>> list = NewData<CSmsList>();
  ZCLComThrowOnFalse(list != nullptr, E_OUTOFMEMORY, ZCL_POS + "Failed to create SmsList object!");
  list->SetSerialNumber(m_serialNumber.c_str());
  CSmsSelector selector;
  device->SelectSms(&selector);
  for (const std::unique_ptr<CZembraSMS>& record : selector.Records()) {
    CComPtr<CComObject<CSms>> sms = NewData<CSms>();
    if (!sms) continue;
    sms->Init(record.get(), m_serialNumber.c_str());
    list->AddSMS(sms->GetUnknown(), nullptr);
  }
  SetData(list->GetUnknown());
}

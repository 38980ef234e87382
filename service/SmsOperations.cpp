#include <windows.h>
#include "SmsOperations.h"
#include "CSmsList.h"
#include "Selectors.h"
#include "ZCLException.h"

namespace {

// The deleted values the database and the synchronisation know; any other
// would hide the message for good without deleting it anywhere.
bool IsKnownDeleteState(long flags) { return flags >= 0 && flags <= 3; }

}  // namespace

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

// The runs work on a copy taken under the message's lock, never on the
// client's object in place. A read marking the phone did not take fails the
// run; the database keeps the new status and the next sync marks it again.
void CUpdateSmsOperation::DoWork(CZembraDevice* device) {
  CZembraSMS record = GetAssignedObject()->CopyRecord();
  device->UpdateSms(&record);
  if (device->GetState() == DeviceConnected && record.GetStatus() == CZembraSMS::StatusRead)
    device->MarkSmsAsRead(&record);
}

void CDeleteSmsOperation::DoWork(CZembraDevice* device) {
  long flags = m_deleteFlags;
  ZCLComThrowOnFalse(IsKnownDeleteState(flags), E_INVALIDARG,
                     ZCL_POS + "DeleteFlags must be 0, 1, 2 or 3.");
  CZembraSMS record = GetAssignedObject()->CopyRecord();
  device->DeleteSms(&record, static_cast<int>(flags));
  if (device->GetState() == DeviceConnected) device->SyncSmsToPhone();
}

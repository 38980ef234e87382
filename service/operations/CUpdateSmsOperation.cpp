#include <windows.h>
#include "CUpdateSmsOperation.h"

// The runs work on a copy taken under the message's lock, never on the
// client's object in place. A read marking the phone did not take fails the
// run; the database keeps the new status and the next sync marks it again.
void CUpdateSmsOperation::DoWork(CZembraDevice* device) {
  CZembraSMS record = GetAssignedObject()->CopyRecord();
  device->UpdateSms(&record);
  if (device->GetState() == DeviceConnected && record.GetStatus() == CZembraSMS::StatusRead)
    device->MarkSmsAsRead(&record);
}

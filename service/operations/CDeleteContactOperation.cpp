#include <windows.h>
#include "CDeleteContactOperation.h"

void CDeleteContactOperation::DoWork(CZembraDevice* device) {
  CZembraContact record = GetAssignedObject()->CopyRecord();
  device->DeleteContact(&record);
  if (device->GetState() == DeviceConnected) device->SyncContactsToPhone();
}

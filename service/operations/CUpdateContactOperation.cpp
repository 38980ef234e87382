#include <windows.h>
#include "CUpdateContactOperation.h"

// The run works on a copy taken under the contact's lock, so a client
// changing the contact meanwhile neither tears the record nor sees it change
// under it; the database id a first store gives goes back into the object.
// The database holds the change before the phone is offered it: a write the
// phone refuses stays pending there for the next synchronisation.
void CUpdateContactOperation::DoWork(CZembraDevice* device) {
  CContact* object = GetAssignedObject();
  CZembraContact record = object->CopyRecord();
  bool inserted = record.GetDbId() == -1;
  device->UpdateContact(&record);
  if (inserted) {
    int dbId = record.GetDbId();
    object->EditRecord([dbId](CZembraContact& own) {
      if (own.GetDbId() == -1) own.SetDbId(dbId);
    });
  }
  if (device->GetState() == DeviceConnected) device->SyncContactsToPhone();
}

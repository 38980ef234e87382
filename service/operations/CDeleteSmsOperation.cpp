#include <windows.h>
#include "CDeleteSmsOperation.h"
#include "ZCLException.h"

namespace {

// The deleted values the database and the synchronisation know; any other
// would hide the message for good without deleting it anywhere.
bool IsKnownDeleteState(long flags) { return flags >= 0 && flags <= 3; }

}  // namespace

void CDeleteSmsOperation::DoWork(CZembraDevice* device) {
  long flags = m_deleteFlags;
  ZCLComThrowOnFalse(IsKnownDeleteState(flags), E_INVALIDARG,
                     ZCL_POS + "DeleteFlags must be 0, 1, 2 or 3.");
  CZembraSMS record = GetAssignedObject()->CopyRecord();
  device->DeleteSms(&record, static_cast<int>(flags));
  if (device->GetState() == DeviceConnected) device->SyncSmsToPhone();
}

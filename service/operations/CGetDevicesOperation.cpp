#include <windows.h>
#include "CGetDevicesOperation.h"
#include "CDevice.h"
#include "CDeviceList.h"
#include "ZCLException.h"

// The walk copies the devices under the device list's own lock only; the
// client is called after it is released, so a client that calls the service
// back from its callback meets no lock held. A device data object that
// cannot be made costs the client one OperationFailed, and the walk goes on.
void CGetDevicesOperation::Run() {
  ZCLScopeTracer trace("CGetDevicesOperation::Execute");
  SetState(OperationStarted);
  CClientManager::ClientPtr client = FindClient();
  if (!client) {
    SetState(OperationFailed);
    LogClientNotFound();
    return;
  }
  CComPtr<CComObject<CDeviceList>> list = NewData<CDeviceList>();
  if (!list) {
    Fail(*client, OperationFailed, E_FAIL, L"Failed to create DeviceList object, unexpected error!");
    return;
  }
  int failures = 0;
  bool cancelled = false;
  {
    CZembraDeviceList& devices = Links().devices;
    CLockGuard guard(&devices);
    for (int i = 0; i < devices.Count(); ++i) {
      if (IsCancelled()) {
        cancelled = true;
        break;
      }
      CComPtr<CComObject<CDevice>> data = NewData<CDevice>();
      if (!data) {
        ++failures;
        continue;
      }
      CZembraDevicePtr device = devices.GetAt(i);
      if (!device) continue;
      CZembraDeviceInfo info;
      data->SetDeviceInfo(device->DeviceInfo(info));
      list->AddDevice(data, nullptr);
    }
  }
  for (int i = 0; i < failures; ++i)
    Fail(*client, OperationFailed, E_FAIL, L"Failed to create Device object, unexpected error!");
  if (cancelled) {
    Fail(*client, OperationAborted, E_ABORT, L"Operation aborted by user!");
    return;
  }
  SetState(OperationCompleted);
  SetData(list->GetUnknown());
  Complete(*client);
}

#pragma once
#include <windows.h>
#include "CZembraCollection.h"

// The phones a get-devices operation found.
class CDeviceList : public CZembraCollection<CDeviceList, IDeviceList, IDevice, &IID_IDeviceList> {
public:
  void AddDevice(IDevice* device, long* count) { Append(device, count); }
};

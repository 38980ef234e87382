#pragma once
#include <windows.h>
#include "SimCore.h"

// The device-management family, for its entries kept in files of their own.
namespace PhoneSim {
CSimFamily& DeviceManagementFamily();
bool IsDeviceManagementHandle(DWORD handle);
}  // namespace PhoneSim

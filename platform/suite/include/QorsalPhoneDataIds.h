#pragma once
#include <windows.h>
#include "QorsalPhoneData.h"

// The phone-data server's class id ({9046A0F4-D1C9-438F-AC10-4C1B550368B3}).
extern const CLSID CLSID_PhoneDataServer;

#include <windows.h>
#include "CStandInDeviceImpl.h"
#include "ZCLException.h"

void CStandInDeviceImpl::NotImplemented() { ZCLThrowOnFalse(false, "Not implemented!"); }

#include <windows.h>
#include "CDeviceManager.h"

CDeviceManager::CDeviceManager(CZembra* zembra) : CGlobalQueue(L"DeviceManager"), m_zembra(zembra) {
  ZCLScopeTracer trace("CDeviceManager::CDeviceManager");
}

CDeviceManager::~CDeviceManager() {
  ZCLScopeTracer trace("CDeviceManager::~CDeviceManager");
  StopThread();
}

void CDeviceManager::SetDeviceManagement(Trelk::CDeviceManagement* deviceManagement) {
  ZCLScopeTracer trace("CDeviceManager::SetDeviceManagement");
  m_deviceManagement = deviceManagement;
}

#include <windows.h>
#include "DeviceTasks.h"
#include "CZembra.h"

void CDeviceOnlineTask::Execute() {
  ZCLScopeTracer trace("CDeviceOnlineTask::Execute");
  CDeviceManager& manager = m_zembra->GetDeviceManager();
  if (manager.GetDeviceList().Find(m_serialNumber.c_str()))
    manager.InitializeDevice(m_serialNumber.c_str());
  else
    manager.InitializeNewDevice(m_serialNumber.c_str());
}

void CDeviceOfflineTask::Execute() {
  ZCLScopeTracer trace("CDeviceOfflineTask::Execute");
  CDeviceManager& manager = m_zembra->GetDeviceManager();
  if (manager.GetDeviceList().Find(m_serialNumber.c_str()))
    manager.UninitializeDevice(m_serialNumber.c_str());
}

void CDeviceReloadedTask::Execute() {
  ZCLScopeTracer trace("CDeviceReloadedTask::Execute");
  m_zembra->GetDeviceManager().ReinitializeDevice(m_serialNumber.c_str());
}

void CDeviceUpdatedTask::Execute() {
  ZCLScopeTracer trace("CDeviceUpdatedTask::Execute");
  m_zembra->GetDeviceManager().AddDeviceToCallControl(m_serialNumber.c_str());
}

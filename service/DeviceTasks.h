#pragma once
#include <windows.h>
#include <string>
#include "CTaskBase.h"
#include "ZCLLogger.h"

class CZembra;

// The device events, queued by the library's notification threads and run
// on the device manager's thread. Each deletes itself after running.
class CDeviceTask : public CTaskBase {
public:
  CDeviceTask(CZembra* zembra, const wchar_t* serialNumber)
      : m_zembra(zembra), m_serialNumber(serialNumber ? serialNumber : L"") {}
  bool IsAutoDelete() override { return true; }
  const std::wstring& GetSerialNumber() const { return m_serialNumber; }

protected:
  CZembra* m_zembra;
  std::wstring m_serialNumber;
};

// A phone arrived: a listed phone is initialised, another is added first.
class CDeviceOnlineTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override;

private:
  ZCLObjectTracer<CDeviceOnlineTask> m_tracer;
};

// A phone left: a listed phone is uninitialised, another ignored.
class CDeviceOfflineTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override;

private:
  ZCLObjectTracer<CDeviceOfflineTask> m_tracer;
};

// A phone's libraries were reloaded: it comes up again on a new
// implementation.
class CDeviceReloadedTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override;

private:
  ZCLObjectTracer<CDeviceReloadedTask> m_tracer;
};

// A phone's connections changed: it is registered with call control again,
// on the device manager's thread so that it never races the phone's own
// initialisation, which registers it too.
class CDeviceUpdatedTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override;

private:
  ZCLObjectTracer<CDeviceUpdatedTask> m_tracer;
};

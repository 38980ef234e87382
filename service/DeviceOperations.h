#pragma once
#include <windows.h>
#include "COperation.h"

// The device-list and call-log operations.
class CGetDevicesOperation : public COperation<CGetDevicesOperation, IGetDevicesOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting devices!"; }

private:
  ZCLObjectTracer<CGetDevicesOperation> m_tracer;
};

class CGetEventsOperation
    : public CSerialNumberOperation<CGetEventsOperation, IGetEventsOperation> {
protected:
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting event log!"; }

private:
  ZCLObjectTracer<CGetEventsOperation> m_tracer;
};

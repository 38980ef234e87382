#pragma once
#include <windows.h>
#include "COperation.h"

// Lists the phones the service knows, with their states; may be cancelled.
class CGetDevicesOperation : public COperation<CGetDevicesOperation, IGetDevicesOperation> {
protected:
  void Run() override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting devices!"; }

private:
  ZCLObjectTracer<CGetDevicesOperation> m_tracer;
};

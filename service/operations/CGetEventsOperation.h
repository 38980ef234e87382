#pragma once
#include <windows.h>
#include "CSerialNumberOperation.h"

// A phone's call log as its local database holds it; the phone is not read.
class CGetEventsOperation
    : public CSerialNumberOperation<CGetEventsOperation, IGetEventsOperation> {
protected:
  void Run() override;
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting event log!"; }

private:
  ZCLObjectTracer<CGetEventsOperation> m_tracer;
};

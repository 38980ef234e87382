#pragma once
#include <windows.h>
#include "CSerialNumberOperation.h"

// A phone's messages as its local database holds them.
class CGetSmsOperation : public CSerialNumberOperation<CGetSmsOperation, IGetSmsOperation> {
protected:
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting sms!"; }

private:
  ZCLObjectTracer<CGetSmsOperation> m_tracer;
};

#pragma once
#include <windows.h>
#include "CSerialNumberOperation.h"

// A phone's contacts as its local database holds them, with their pictures.
class CGetContactsOperation
    : public CSerialNumberOperation<CGetContactsOperation, IGetContactsOperation> {
protected:
  void Run() override;
  void DoWork(CZembraDevice* device) override;
  const wchar_t* GetCatchAllText() override { return L"Unknown error while getting contacts!"; }

private:
  ZCLObjectTracer<CGetContactsOperation> m_tracer;
};

#include <windows.h>
#include "CGetEventsOperation.h"
#include "CEventList.h"
#include "Selectors.h"
#include "ZCLException.h"

void CGetEventsOperation::Run() {
  ZCLScopeTracer trace("CGetEventsOperation::Execute");
  COperationTask::Run();
}

// An event list that cannot be made fails the run: completing would hand
// the client no list, or the one of an earlier run, as this run's result.
void CGetEventsOperation::DoWork(CZembraDevice* device) {
  CComPtr<CComObject<CEventList>> list = NewData<CEventList>();
  ZCLComThrowOnFalse(list != nullptr, E_OUTOFMEMORY, "Failed to create EventList object!");
  list->SetSerialNumber(m_serialNumber.c_str());
  CEventSelector selector;
  device->SelectEvents(&selector);
  for (const std::unique_ptr<CZembraEventLog>& record : selector.Records()) {
    CComPtr<CComObject<CEvent>> event = NewData<CEvent>();
    if (!event) continue;
    event->Init(record.get(), m_serialNumber.c_str());
    list->AddEvent(event->GetUnknown(), nullptr);
  }
  SetData(list->GetUnknown());
}

#include <windows.h>
#include "ServiceLinks.h"

CComPtr<ICallControl> CServiceLinks::CallControl() const {
  CComPtr<ICallControl> control;
  if (FAILED(callControl.CopyTo(&control))) control.Release();  // the callers log and go on
  return control;
}

CComPtr<IMessageComposer> CServiceLinks::MessageComposer() const {
  CComPtr<IMessageComposer> composer;
  CComPtr<ICallControl> control = CallControl();
  if (control && FAILED(control->QueryInterface(IID_IMessageComposer, reinterpret_cast<void**>(&composer))))
    composer.Release();
  return composer;
}

void CInjectedFaults::FailDataObjects(LONG count, LONG after) {
  CLockGuard guard(&m_lock);
  m_dataFaults = count;
  m_dataFaultsAfter = after;
}

bool CInjectedFaults::TakeDataFault() {
  CLockGuard guard(&m_lock);
  if (m_dataFaults == 0) return false;
  if (m_dataFaultsAfter > 0) {
    --m_dataFaultsAfter;
    return false;
  }
  --m_dataFaults;
  return true;
}

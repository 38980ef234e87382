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

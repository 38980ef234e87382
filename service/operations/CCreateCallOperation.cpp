#include <windows.h>
#include "CCreateCallOperation.h"
#include "ZCLException.h"

void CCreateCallOperation::Act(CZembraDevice& device) {
  ZCLComThrowOnFalse(device.CallControlEnabled(), E_NOTIMPL, "Device doesn't support call control");
  // Without call control no window can place the call: that is a failure,
  // not a completion.
  CComPtr<ICallControl> callControl = Links().CallControl();
  ZCLComThrowOnFalse(callControl != nullptr, E_FAIL, "Call control is not available");
  CComBSTR serial(device.GetSerialNumber()), number(m_number.c_str());
  if (!serial || !number) throw std::bad_alloc();
  callControl->Call(serial, number);
}

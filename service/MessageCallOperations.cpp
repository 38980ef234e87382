#include <windows.h>
#include "MessageCallOperations.h"
#include "ZCLException.h"

void LogSendMessageFailure(const ZCLException* caught, const ZCLComException* caughtCom, const char* file, int line) {
  if (caughtCom)
    ZCLLogCaught(3, *caughtCom);
  else if (caught)
    ZCLLogCaught(3, *caught);
  else
    ZCLLogMessage(3, nullptr, "[Unknown exception\n%s]", ZCLSourcePosition(file, line).c_str());
}

// The phone's answer decides, an empty recipient included.
void CSendMessageOperation::Act(CZembraDevice& device) {
  device.SendMessage(m_recipient.c_str(), m_message.c_str());
}

// A missing composer does not fail the operation: there is only no window.
void CComposeMessageOperation::Act(CZembraDevice& device) {
  CComPtr<IMessageComposer> composer = Links().MessageComposer();
  if (!composer) {
    ZCLLogMessage(1, nullptr, "Failed to get IMessageComposer!, can't show UI!");
    return;
  }
  CComBSTR serial(device.GetSerialNumber()), number(m_number.c_str()), message(m_message.c_str());
  if (!serial || !number || !message) throw std::bad_alloc();
  composer->ComposeMessage(serial, number, nullptr, message);
}

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

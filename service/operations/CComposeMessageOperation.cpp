#include <windows.h>
#include "CComposeMessageOperation.h"
#include "ZCLException.h"

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

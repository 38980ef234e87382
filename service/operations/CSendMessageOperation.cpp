#include <windows.h>
#include "CSendMessageOperation.h"
#include "ZCLException.h"

// The phone's answer decides, an empty recipient included.
void CSendMessageOperation::Act(CZembraDevice& device) {
  device.SendMessage(m_recipient.c_str(), m_message.c_str());
}

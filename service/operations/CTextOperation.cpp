#include <windows.h>
#include "CTextOperation.h"
#include "ZCLException.h"

void LogSendMessageFailure(const ZCLException* caught, const ZCLComException* caughtCom, const char* file, int line) {
  if (caughtCom)
    ZCLLogCaught(3, *caughtCom);
  else if (caught)
    ZCLLogCaught(3, *caught);
  else
    ZCLLogMessage(3, nullptr, "[Unknown exception\n%s]", ZCLSourcePosition(file, line).c_str());
}

#pragma once
#include <windows.h>
#include <string>
#include "ZCLException.h"

// The text of a connectivity library result code: its row of the table, or
// "Undefined error code".
std::string LNYXError2String(DWORD dwResult);

// Returns on 0; any other code (the success codes with a reservation included)
// is logged at level 5 and thrown as Trelk::CTrelkException.
void TrelkThrowOnFail(DWORD dwResult);

namespace Trelk {

// A failed library call: the code is the library's result, the message its text.
class CTrelkException : public ZCLException {
public:
  explicit CTrelkException(DWORD dwResult)
      : ZCLException(static_cast<int>(dwResult), LNYXError2String(dwResult)) {}
  ~CTrelkException() override {}
};

// The catch-site log form: "[TrelkException\n0x%08X\n%s]".
void LogCaught(int level, const CTrelkException& e);

}  // namespace Trelk

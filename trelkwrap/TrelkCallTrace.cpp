#include <windows.h>
#include "TrelkCallTrace.h"
#include "CTrelkException.h"
#include "ZCLException.h"

namespace Trelk {

void LogNotificationFailure(const char* position) {
  try {
    throw;
  } catch (const CTrelkException& e) {
    LogCaught(3, e);
  } catch (const ZCLComException& e) {
    ZCLLogCaught(3, e);
  } catch (const ZCLException& e) {
    ZCLLogCaught(3, e);
  } catch (...) {
    ZCLLogUnknownException(3, position);
  }
}

}  // namespace Trelk

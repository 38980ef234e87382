#pragma once
#include <windows.h>
#include "ZCLLogger.h"

namespace Trelk {

// Brackets one library call with the level-5 lines "Trelk: Calling <text>..."
// and "Trelk: Called <text>..."; returns the call's result.
template <class Call>
DWORD LoggedCall(const char* text, Call call) {
  ZCLLogMessage(5, nullptr, "Trelk: Calling %s...", text);
  DWORD result = call();
  ZCLLogMessage(5, nullptr, "Trelk: Called %s...", text);
  return result;
}

// Logs what a notification method caught, in the catch sites' forms, so that
// nothing thrown reaches the library's thread.
void LogNotificationFailure(const char* position);

}  // namespace Trelk

// Ends a notification method's try block.
#define TRELK_NOTIFY_CATCH_ALL                          \
  catch (...) {                                         \
    Trelk::LogNotificationFailure(ZCL_POS.c_str());     \
  }

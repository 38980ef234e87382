#pragma once
#include <windows.h>
#include "CTrelkException.h"
#include "ZCLFrame.h"
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

// The frame of a notification method on the library's thread: nothing thrown
// reaches the library. A CTrelkException is logged at level 3 in its own
// catch-site form, anything else by the shared frame.
template <class Body>
void NotificationGuarded(const char* file, int line, Body body) {
  ZCLGuarded(3, file, line, [&] {
    try {
      body();
    } catch (const CTrelkException& e) {
      LogCaught(3, e);
    }
  });
}

}  // namespace Trelk

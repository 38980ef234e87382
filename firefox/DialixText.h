#pragma once
#include <windows.h>
#include "ComBSTR.h"
#include "XpcomString.h"
#include "ZCLFrame.h"

// Text between the service's COM strings and the script's strings. Both ways
// the text ends at its first zero character.

// A null COM string sets the empty text.
nsresult DialixAssign(nsAString& target, BSTR text);
// Empty text gives an empty, non-null COM string; null only when out of memory.
CComBSTR DialixToBstr(const nsAString& text);

// The frame of every scriptable member: nothing thrown leaves it, and what
// was caught is logged and answered as a result code.
template <class Body>
nsresult DialixGuard(const char* file, int line, Body body) {
  try {
    return body();
  } catch (...) {
    return ZCLComCaught(3, file, line);
  }
}

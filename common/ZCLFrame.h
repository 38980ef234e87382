#pragma once
#include <windows.h>
#include <new>
#include <string>
#include "ZCLException.h"
#include "ZCLLogger.h"

// The one frame around every COM method, thread procedure and library
// callback: trace, run, and turn whatever was thrown into a logged result.
// Nothing thrown ever crosses a COM boundary, a thread start or a callback
// from the maker's libraries.
//
//   STDMETHODIMP CZembra::Connect(IZembraCallback* cb) {
//     return ZCLComMethod("CZembra::Connect", ZCL_SITE, [&]() -> HRESULT { ... });
//   }
//
// A ZCLComException gives its HRESULT, another ZCLException E_FAIL, memory
// exhaustion E_OUTOFMEMORY and anything else E_UNEXPECTED; the caught
// failure is logged at level 3 in the catch-site forms and set as the
// thread's error information (description only), so a client is told why.
#define ZCL_SITE __FILE__, __LINE__

// Logs what the handler caught and sets the error information; returns the
// HRESULT the method answers. Must be called from inside a catch block.
HRESULT ZCLComCaught(int level, const char* file, int line);

// Sets error information carrying the description only; returns hr.
HRESULT ZCLSetErrorDescription(HRESULT hr, const std::wstring& description);

template <class Body>
HRESULT ZCLComMethod(const char* name, const char* file, int line, Body body) {
  try {
    ZCLScopeTracer trace(name);
    return body();
  } catch (...) {
    return ZCLComCaught(3, file, line);
  }
}

// For thread procedures, library callbacks and tear-down: runs the body and
// logs anything thrown at the given level. False when something was thrown.
bool ZCLLogCaughtHere(int level, const char* file, int line);
template <class Body>
bool ZCLGuarded(int level, const char* file, int line, Body body) {
  try {
    body();
    return true;
  } catch (...) {
    return ZCLLogCaughtHere(level, file, line);
  }
}

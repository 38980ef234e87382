#pragma once
#include <windows.h>
#include <memory>
#include "CFamilyConnection.h"
#include "TrelkApi.h"
#include "ZCLLogger.h"

namespace Trelk {

extern const CLibraryFamily kWEXELFamily;

// A phone's call-control handle with the call operations. The owner's thread
// opens and closes; the call operations may come from any thread (the
// library serialises calls on one handle).
class CCallConnection : public CFamilyConnection<kWEXELFamily> {
public:
  explicit CCallConnection(DWORD handle = 0, bool owner = true);
  CCallConnection(const CCallConnection& other);
  CCallConnection& operator=(const CCallConnection& other) = default;

  // Dials the number (blanks dropped) and returns the library's call id.
  BYTE Call(const wchar_t* number);
  // Releases (rejects or hangs up) the call.
  DWORD Reject(BYTE callId);
  // Answers a ringing call.
  DWORD Activate(BYTE callId);

private:
  // The handle for a call on it.
  DWORD CallHandle() const;

  ZCLObjectTracer<CCallConnection> m_tracer;
};

// The call-control library's lifetime and the opening of a phone's handle.
// Used by one thread at a time.
class CCallControl : public CFamilyLibrary<kWEXELFamily> {
public:
  // Opens the phone's handle into the connection, which then owns it (a
  // handle it owned before is closed first).
  void OpenCallControl(const wchar_t* serialNumber, CCallConnection& connection);

private:
  ZCLObjectTracer<CCallControl> m_tracer;
};

}  // namespace Trelk

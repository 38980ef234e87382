#pragma once
#include <windows.h>
#include <memory>
#include "CFamilyHandle.h"
#include "TrelkApi.h"
#include "ZCLLogger.h"

namespace Trelk {

// A phone's call-control handle with the call operations. An owning
// connection closes its handle when destroyed; a copy shares the handle
// without ever owning it, and sees it opened again after a reload of the
// library. The owner's thread opens and closes; the call operations may come
// from any thread (the library serialises calls on one handle).
class CCallConnection {
public:
  explicit CCallConnection(DWORD handle = 0);
  CCallConnection(DWORD handle, bool owner);
  CCallConnection(const CCallConnection& other);             // not owning
  CCallConnection& operator=(const CCallConnection& other);  // not owning
  virtual ~CCallConnection();

  // The handle as held; 0 when none.
  DWORD GetHandle() const;
  bool IsOwner() const { return m_owner; }
  CFamilyHandle& Family() const { return *m_handle; }

  void Close();
  // Dials the number (blanks dropped) and returns the library's call id.
  BYTE Call(const wchar_t* number);
  // Releases (rejects or hangs up) the call.
  DWORD Reject(BYTE callId);
  // Answers a ringing call.
  DWORD Activate(BYTE callId);

private:
  friend class CCallControl;
  ZCLObjectTracer<CCallConnection> m_tracer;
  std::shared_ptr<CFamilyHandle> m_handle;
  bool m_owner;
};

// The call-control library's lifetime and the opening of a phone's handle.
// Used by one thread at a time.
class CCallControl {
public:
  CCallControl();
  virtual ~CCallControl();

  void Initialize();
  // Ends this object's initialisation; nothing when it has none, so that the
  // destructor after an explicit Terminate does not end another user's.
  void Terminate();
  // Opens the phone's handle into the connection, which then owns it (a
  // handle it owned before is closed first).
  void OpenCallControl(const wchar_t* serialNumber, CCallConnection& connection);
  bool IsInitialized() const { return m_initialized; }

private:
  CCallControl(const CCallControl&) = delete;
  CCallControl& operator=(const CCallControl&) = delete;
  ZCLObjectTracer<CCallControl> m_tracer;
  bool m_initialized;
};

}  // namespace Trelk

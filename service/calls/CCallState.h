#pragma once
#include <windows.h>
#include <string>

// The states of a call, as call notifications carry them to clients.
enum ECallState {
  CallStateIdle = 0,
  CallStateCalling = 1,
  CallStateRejected = 2,
  CallStateWaiting = 3,
  CallStateActive = 4,
  CallStateTerminated = 5,
  CallStateIncoming = 6,
};

// One call's record in a phone's call state machine: its state, the cause of
// the event that last set it, its number and name and the library's call id.
class CCallState {
public:
  explicit CCallState(long state = CallStateIdle, DWORD cause = 0) : m_state(state), m_cause(cause) {}
  virtual ~CCallState() {}

  long GetState() const { return m_state; }
  DWORD GetCause() const { return m_cause; }
  const std::wstring& GetNumber() const { return m_number; }
  const std::wstring& GetName() const { return m_name; }
  long GetCallId() const { return m_callId; }

  void SetState(long state) { m_state = state; }
  void SetCause(DWORD cause) { m_cause = cause; }
  void SetNumber(const std::wstring& number) { m_number = number; }
  void SetName(const std::wstring& name) { m_name = name; }
  void SetCallId(long callId) { m_callId = callId; }

private:
  long m_state;
  DWORD m_cause;
  std::wstring m_number;
  std::wstring m_name;
  long m_callId = 0;
};

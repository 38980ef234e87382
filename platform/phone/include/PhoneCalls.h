#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "PhoneWorld.h"

// A phone's voice calls in the world: <world>\phones\<folder>\calls.txt.
// The PC (through the call-control library) and the far side (phonectl, tests)
// both change it; every process with the library loaded compares it with
// what it saw and tells its listeners from the core's thread.
namespace PhoneSim {

enum ECallDirection { kCallOutgoing = 1, kCallIncoming = 2 };

// What a call is doing now; an ended or rejected record stays until its id is
// used again.
enum EPhoneCallState {
  kCallDialling = 1,
  kCallRinging = 2,
  kCallActive = 3,
  kCallHeld = 4,   // put on hold by a second call
  kCallEnded = 5,
  kCallRejected = 6,
};

struct CPhoneCall {
  DWORD id = 0;         // 1 to 7, the library's call id
  DWORD sequence = 0;   // new for every call placed or rung on the id
  DWORD state = kCallEnded;
  DWORD direction = kCallOutgoing;
  DWORD cause = 0;      // of the end
  bool endedByPc = false;  // an end the PC asked for (told as a status change)
  std::wstring number;
  std::wstring name;
  bool IsAlive() const { return state != kCallEnded && state != kCallRejected; }
};

struct CPhoneCalls {
  std::vector<CPhoneCall> calls;  // by id
  DWORD nextSequence = 1;
  DWORD drops = 0;                // raised by each drop of the call connection
  DWORD handlesOpened = 0;        // call-control handles, across processes
  DWORD handlesClosed = 0;
  CPhoneCall* Find(DWORD id);
  // The lowest id no live call holds; 0 when all seven are busy.
  DWORD FreeId() const;
  // The first live call in one of the states (0 for any); null when none.
  CPhoneCall* FirstIn(DWORD state);
};

// The phone's calls; empty when it has none or is not known.
CPhoneCalls ReadPhoneCalls(CPhoneWorld& world, const std::wstring& serial);
// Reads, changes and writes them under the world's lock. The change answers
// whether to write; false for an unknown phone or an unwritten change.
bool ChangePhoneCalls(CPhoneWorld& world, const std::wstring& serial,
                      const std::function<bool(CPhoneCalls& calls)>& change);

// The far side of a call, as phonectl and the tests drive it. Each answers
// the call id it changed, 0 when there was no such call.
DWORD RingPhone(CPhoneWorld& world, const std::wstring& serial, const std::wstring& number, const std::wstring& name);
// Answers the PC's dialled call (id 0: the first dialling one).
DWORD AnswerFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id);
// Ends a live call from the far side (id 0: the first live one).
DWORD HangUpFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id, DWORD cause);
// The far side refuses the PC's dialled call.
DWORD RejectFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id, DWORD cause);
// The call connection breaks: every process's listeners on the phone are told,
// its calls end.
bool DropCallConnection(CPhoneWorld& world, const std::wstring& serial);

const wchar_t* CallStateName(DWORD state);

}  // namespace PhoneSim

#include <windows.h>
#include "PhoneCalls.h"
#include <functional>
#include <sstream>
#include "FileSystem.h"
#include "PhoneWorldStore.h"

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kCallsFile[] = L"calls.txt";

std::wstring CallsPath(const std::wstring& serial) {
  return Join(Join(kPhonesFolder, EscapeFileName(serial)), kCallsFile);
}

CPhoneCalls Parse(const std::string& text) {
  CPhoneCalls calls;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f = TabFields(line);
    if (f.size() == 2 && f[0] == "next") calls.nextSequence = ToNumber(f[1]);
    else if (f.size() == 2 && f[0] == "drops") calls.drops = ToNumber(f[1]);
    else if (f.size() == 3 && f[0] == "handles") {
      calls.handlesOpened = ToNumber(f[1]);
      calls.handlesClosed = ToNumber(f[2]);
    } else if (f.size() == 9 && f[0] == "call") {
      CPhoneCall c;
      c.id = ToNumber(f[1]);
      c.sequence = ToNumber(f[2]);
      c.state = ToNumber(f[3]);
      c.direction = ToNumber(f[4]);
      c.cause = ToNumber(f[5]);
      c.endedByPc = f[6] == "1";
      c.number = UnescapeValue(f[7]);
      c.name = UnescapeValue(f[8]);
      calls.calls.push_back(c);
    }
  }
  return calls;
}

std::string Format(const CPhoneCalls& calls) {
  std::ostringstream s;
  s << "next\t" << calls.nextSequence << "\n"
    << "drops\t" << calls.drops << "\n"
    << "handles\t" << calls.handlesOpened << "\t" << calls.handlesClosed << "\n";
  for (const CPhoneCall& c : calls.calls)
    s << "call\t" << c.id << "\t" << c.sequence << "\t" << c.state << "\t" << c.direction << "\t" << c.cause << "\t"
      << (c.endedByPc ? 1 : 0) << "\t" << EscapeValue(c.number) << "\t" << EscapeValue(c.name) << "\n";
  return s.str();
}

bool KnownPhone(CPhoneWorld& world, const std::wstring& serial) {
  CPhone phone;
  return CPhoneWorld::IsValidSerial(serial) && world.ReadPhone(serial, &phone);
}

// The far side acts on one live call: the given id, else the first in the state.
DWORD ActOn(CPhoneWorld& world, const std::wstring& serial, DWORD id, DWORD fromState,
            const std::function<void(CPhoneCall&)>& act) {
  DWORD changed = 0;
  ChangePhoneCalls(world, serial, [&](CPhoneCalls& calls) {
    CPhoneCall* call = id ? calls.Find(id) : calls.FirstIn(fromState);
    if (!call || !call->IsAlive() || (fromState && call->state != fromState)) return false;
    act(*call);
    changed = call->id;
    return true;
  });
  return changed;
}

}  // namespace

CPhoneCall* CPhoneCalls::Find(DWORD id) {
  for (CPhoneCall& c : calls)
    if (c.id == id) return &c;
  return nullptr;
}

DWORD CPhoneCalls::FreeId() const {
  for (DWORD id = 1; id <= 7; ++id) {
    bool busy = false;
    for (const CPhoneCall& c : calls) busy = busy || (c.id == id && c.IsAlive());
    if (!busy) return id;
  }
  return 0;
}

CPhoneCall* CPhoneCalls::FirstIn(DWORD state) {
  for (CPhoneCall& c : calls)
    if (c.IsAlive() && (state == 0 || c.state == state)) return &c;
  return nullptr;
}

CPhoneCalls ReadPhoneCalls(CPhoneWorld& world, const std::wstring& serial) {
  std::string text;
  if (!CPhoneWorld::IsValidSerial(serial) || !world.ReadFileText(CallsPath(serial), &text)) return CPhoneCalls();
  return Parse(text);
}

bool ChangePhoneCalls(CPhoneWorld& world, const std::wstring& serial,
                      const std::function<bool(CPhoneCalls& calls)>& change) {
  CPhoneWorld::CLock lock(world);
  if (!KnownPhone(world, serial)) return false;
  CPhoneCalls calls = ReadPhoneCalls(world, serial);
  if (!change(calls)) return false;
  world.WriteFileText(CallsPath(serial), Format(calls));
  return true;
}

DWORD RingPhone(CPhoneWorld& world, const std::wstring& serial, const std::wstring& number, const std::wstring& name) {
  DWORD id = 0;
  ChangePhoneCalls(world, serial, [&](CPhoneCalls& calls) {
    id = calls.FreeId();
    if (!id) return false;
    // A call in progress waits while the new one rings.
    if (CPhoneCall* active = calls.FirstIn(kCallActive)) active->state = kCallHeld;
    CPhoneCall call;
    call.id = id;
    call.sequence = calls.nextSequence++;
    call.state = kCallRinging;
    call.direction = kCallIncoming;
    call.number = number;
    call.name = name;
    if (CPhoneCall* old = calls.Find(id))
      *old = call;
    else
      calls.calls.push_back(call);
    return true;
  });
  return id;
}

DWORD AnswerFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id) {
  return ActOn(world, serial, id, kCallDialling, [](CPhoneCall& c) { c.state = kCallActive; });
}

DWORD HangUpFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id, DWORD cause) {
  return ActOn(world, serial, id, 0, [&](CPhoneCall& c) {
    c.state = kCallEnded;
    c.cause = cause;
    c.endedByPc = false;
  });
}

DWORD RejectFarSide(CPhoneWorld& world, const std::wstring& serial, DWORD id, DWORD cause) {
  return ActOn(world, serial, id, kCallDialling, [&](CPhoneCall& c) {
    c.state = kCallRejected;
    c.cause = cause;
  });
}

bool DropCallConnection(CPhoneWorld& world, const std::wstring& serial) {
  return ChangePhoneCalls(world, serial, [](CPhoneCalls& calls) {
    ++calls.drops;
    for (CPhoneCall& c : calls.calls)
      if (c.IsAlive()) c.state = kCallEnded;
    return true;
  });
}

const wchar_t* CallStateName(DWORD state) {
  switch (state) {
    case kCallDialling: return L"dialling";
    case kCallRinging: return L"ringing";
    case kCallActive: return L"active";
    case kCallHeld: return L"waiting";
    case kCallEnded: return L"ended";
    case kCallRejected: return L"rejected";
  }
  return L"unknown";
}

}  // namespace PhoneSim

#include <windows.h>
#include <map>
#include <set>
#include "CLockable.h"
#include "PhoneCalls.h"
#include "SimCore.h"

// The call-control family of the simulated library (Trelk_Fandor.dll): calls
// placed, answered and released by the PC and by the far side, all written to
// the phone's calls in the world; every process's core compares them with
// what it saw and tells its listeners from its own thread, never inside the
// caller's call.

using namespace PhoneSim;

namespace {

const DWORD kWEXELVersion = 10;

BYTE StatusOf(const CPhoneCall& call) {
  switch (call.state) {
    case kCallDialling: return WEXEL_STATUS_DIALLING;
    case kCallRinging: return WEXEL_STATUS_RINGING;
    case kCallActive: return WEXEL_STATUS_ACTIVE;
    case kCallHeld: return WEXEL_STATUS_HELD;
  }
  return WEXEL_STATUS_ENDED;
}

struct CCallHandle {
  std::wstring serial;
  bool lost = false;  // the connection broke under it
};

// What the observer saw of one phone last.
struct CCallsSeen {
  std::map<DWORD, CPhoneCall> calls;
  DWORD drops = 0;
  bool connected = true;
};

CCallsSeen SeenOf(bool connected, const CPhoneCalls& calls) {
  CCallsSeen seen;
  seen.connected = connected;
  seen.drops = calls.drops;
  for (const CPhoneCall& c : calls.calls) seen.calls[c.id] = c;
  return seen;
}

// One notification to hand out: the record's addresses live beside it.
struct CCallEvent {
  DWORD id = 0;
  DWORD cause = 0;
  CPhoneCall call;
  BYTE status = 0;
};

// Called from the callers' threads and, for notifications, the core's thread;
// m_lock guards what was seen last, the tables lock themselves.
class CCallFamily : public CSimFamily, public IWorldObserver {
public:
  DWORD Open(CPhoneWorld& world, const std::wstring& serial, DWORD* handle) {
    CCallsSeen seen = SeenOf(true, ReadPhoneCalls(world, serial));
    bool watched = false;
    for (const auto& h : m_handles.Items()) watched = watched || (h.second.serial == serial && !h.second.lost);
    {
      // What happened while nobody watched the phone is not told later.
      CLockGuard guard(&m_lock);
      if (!watched || !m_seen.count(serial)) m_seen[serial] = seen;
    }
    CCallHandle h;
    h.serial = serial;
    *handle = m_handles.Add(h);
    ChangePhoneCalls(world, serial, [](CPhoneCalls& calls) {
      ++calls.handlesOpened;
      return true;
    });
    return 0;
  }

  DWORD Close(CPhoneWorld& world, DWORD handle) {
    CCallHandle h;
    if (!m_handles.Find(handle, &h)) return ELNYX_INVALID_HANDLE;
    m_handles.Remove(handle);
    m_sinks.RemoveHandle(handle);
    ChangePhoneCalls(world, h.serial, [](CPhoneCalls& calls) {
      ++calls.handlesClosed;
      return true;
    });
    return 0;
  }

  // The phone of an open handle whose connection holds.
  DWORD Phone(CPhoneWorld& world, DWORD handle, std::wstring* serial) {
    CCallHandle h;
    if (!m_handles.Find(handle, &h)) return ELNYX_INVALID_HANDLE;
    *serial = h.serial;
    CPhone phone;
    if (h.lost || !world.ReadPhone(h.serial, &phone) || !phone.connected) return ELNYX_CONNECTION_LOST;
    return 0;
  }

  bool IsOpen(DWORD handle) { return m_handles.Contains(handle); }
  CSinkRegistry& Sinks() { return m_sinks; }

  void OnWorldChanged(CPhoneWorld& world) override {
    std::map<std::wstring, std::set<DWORD>> handles;
    for (const auto& h : m_handles.Items())
      if (!h.second.lost) handles[h.second.serial].insert(h.first);
    for (const auto& phone : handles) {
      CPhone identity;
      bool connected = world.ReadPhone(phone.first, &identity) && identity.connected;
      CCallsSeen now = SeenOf(connected, ReadPhoneCalls(world, phone.first));
      CCallsSeen before;
      {
        CLockGuard guard(&m_lock);
        before = m_seen[phone.first];
        m_seen[phone.first] = now;
      }
      const std::set<DWORD>& on = phone.second;
      auto accept = [&](DWORD h) { return on.count(h) != 0; };
      if ((before.connected && !now.connected) || now.drops != before.drops) {
        for (DWORD h : on) m_handles.Update(h, [](CCallHandle& record) { record.lost = true; });
        m_sinks.ForEach(accept, [](void* sink) { static_cast<IWEXELNotify*>(sink)->OnWEXELConnectionLostNtf(); });
        continue;
      }
      if (!now.connected) continue;
      for (const CCallEvent& e : Compare(before, now)) Tell(e, accept);
    }
  }

protected:
  void OnStarted() override { CSimCore::Instance().AddObserver(this); }

  void OnStopping() override {
    CSimCore::Instance().RemoveObserver(this);
    m_handles.Clear();
    {
      CLockGuard guard(&m_lock);
      m_seen.clear();
    }
    m_sinks.Clear();
  }

private:
  // The events that lead from what was seen to what is, per call in order.
  static std::vector<CCallEvent> Compare(const CCallsSeen& before, const CCallsSeen& now) {
    std::vector<CCallEvent> events;
    for (const auto& entry : now.calls) {
      const CPhoneCall& call = entry.second;
      auto old = before.calls.find(call.id);
      DWORD fromState = 0;
      if (old == before.calls.end() || old->second.sequence != call.sequence) {
        CCallEvent created;
        created.call = call;
        if (call.direction == kCallIncoming) {
          created.id = WEXEL_NTF_INCOMING;
          created.status = WEXEL_STATUS_RINGING;
          fromState = kCallRinging;
        } else {
          created.id = WEXEL_NTF_STATUS;
          created.status = WEXEL_STATUS_DIALLING;
          fromState = kCallDialling;
        }
        events.push_back(created);
      } else {
        fromState = old->second.state;
      }
      if (fromState == call.state) continue;
      CCallEvent changed;
      changed.call = call;
      changed.status = StatusOf(call);
      switch (call.state) {
        case kCallActive:
          changed.id = WEXEL_NTF_STATUS;
          break;
        case kCallHeld:
          changed.id = WEXEL_NTF_WAITING;
          break;
        case kCallRejected:
          changed.id = WEXEL_NTF_REJECTED;
          changed.cause = call.cause;
          break;
        case kCallEnded:
          changed.id = call.endedByPc ? WEXEL_NTF_STATUS : WEXEL_NTF_TERMINATED;
          changed.cause = call.cause;
          break;
        default:
          continue;
      }
      events.push_back(changed);
    }
    return events;
  }

  void Tell(const CCallEvent& e, const std::function<bool(DWORD)>& accept) {
    std::vector<WEXEL_ADDRESS> addresses;
    auto add = [&](BYTE type, const std::wstring& text) {
      if (text.empty()) return;
      WEXEL_ADDRESS a = {};
      a.dwSize = sizeof(a);
      a.bAddressType = type;
      a.pstrAddress = const_cast<WCHAR*>(text.c_str());
      addresses.push_back(a);
    };
    add(e.call.direction == kCallIncoming ? WEXEL_ADDRESS_CALLER : WEXEL_ADDRESS_DIALLED, e.call.number);
    add(WEXEL_ADDRESS_NAME, e.call.name);
    WEXEL_CALL_INFO record = {};
    record.dwSize = sizeof(record);
    record.bCallId = static_cast<BYTE>(e.call.id);
    record.bStatus = e.status;
    record.bNumOfAddresses = static_cast<BYTE>(addresses.size());
    record.pAddresses = addresses.empty() ? nullptr : addresses.data();
    DWORD id = e.id, cause = e.cause;
    // Each sink gets a record of its own: what one listener does to it is
    // not what the next one sees.
    m_sinks.ForEach(accept, [&](void* sink) {
      WEXEL_CALL_INFO copy = record;
      static_cast<IWEXELNotify*>(sink)->OnWEXELCallNtf(0, id, cause, &copy);
    });
  }

  CLockable m_lock;
  CHandleTable<CCallHandle> m_handles;
  std::map<std::wstring, CCallsSeen> m_seen;
  CSinkRegistry m_sinks;  // IWEXELNotify
};

CCallFamily& CallControl() {
  static CCallFamily* family = new CCallFamily();
  return *family;
}

#define CC_ENTRY(name)                                                 \
  SIM_ENTRY(CallControl(), name);                                      \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED

// Changes one live call of the handle's phone; an id the phone has no live
// call under, or one not in an accepted state, is an invalid parameter.
DWORD ChangeCall(CPhoneWorld& world, const std::wstring& serial, BYTE callId, const std::set<DWORD>& states,
                 const std::function<void(CPhoneCall&)>& change) {
  bool found = ChangePhoneCalls(world, serial, [&](CPhoneCalls& calls) {
    CPhoneCall* call = calls.Find(callId);
    if (!call || !states.count(call->state)) return false;
    change(*call);
    return true;
  });
  return found ? 0 : ELNYX_INVALID_PARAMETER;
}

}  // namespace

SIM_FAMILY_LIFETIME(CallControl(), WEXEL_Initialize, WEXEL_Terminate, kWEXELVersion)

DWORD WINAPI WEXEL_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = kWEXELVersion;
  return 0;
}

DWORD WINAPI WEXEL_OpenHandle(const WCHAR* pstrSerialNumber, DWORD*, DWORD, DWORD* phCall) {
  try {
    CC_ENTRY("WEXEL_OpenHandle");
    if (!phCall) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!pstrSerialNumber || !world->ReadPhone(pstrSerialNumber, &phone) || !phone.connected)
      return ELNYX_DEVICE_NOT_FOUND;
    return CallControl().Open(*world, pstrSerialNumber, phCall);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_CloseHandle(DWORD hCall) {
  try {
    CC_ENTRY("WEXEL_CloseHandle");
    return CallControl().Close(*world, hCall);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_CreateCall(DWORD hCall, DWORD, DWORD, WEXEL_ADDRESS* pNumber, BYTE* pbCallId, DWORD* pdwStatus) {
  try {
    CC_ENTRY("WEXEL_CreateCall");
    std::wstring serial;
    if (DWORD rc = CallControl().Phone(*world, hCall, &serial)) return rc;
    if (!pNumber || !pbCallId || !pdwStatus) return ELNYX_INVALID_POINTER;
    if (pNumber->dwSize != sizeof(WEXEL_ADDRESS) || !pNumber->pstrAddress || !*pNumber->pstrAddress)
      return ELNYX_INVALID_PARAMETER;
    DWORD id = 0;
    ChangePhoneCalls(*world, serial, [&](CPhoneCalls& calls) {
      id = calls.FreeId();
      if (!id) return false;
      CPhoneCall call;
      call.id = id;
      call.sequence = calls.nextSequence++;
      call.state = kCallDialling;
      call.direction = kCallOutgoing;
      call.number = pNumber->pstrAddress;
      if (CPhoneCall* old = calls.Find(id))
        *old = call;
      else
        calls.calls.push_back(call);
      return true;
    });
    if (!id) return ELNYX_CONNECTION_BUSY;
    SIM_AFTER_FAULT("WEXEL_CreateCall");
    *pbCallId = static_cast<BYTE>(id);
    *pdwStatus = 0;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_AnswerCall(DWORD hCall, DWORD, BYTE bCallId, DWORD* pdwStatus) {
  try {
    CC_ENTRY("WEXEL_AnswerCall");
    std::wstring serial;
    if (DWORD rc = CallControl().Phone(*world, hCall, &serial)) return rc;
    if (!pdwStatus) return ELNYX_INVALID_POINTER;
    *pdwStatus = 0;
    // A ringing call is answered, a held one taken back.
    if (DWORD rc = ChangeCall(*world, serial, bCallId, {kCallRinging, kCallHeld},
                              [](CPhoneCall& c) { c.state = kCallActive; }))
      return rc;
    SIM_AFTER_FAULT("WEXEL_AnswerCall");
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_ReleaseCall(DWORD hCall, DWORD, BYTE bCallId, DWORD* pdwStatus) {
  try {
    CC_ENTRY("WEXEL_ReleaseCall");
    std::wstring serial;
    if (DWORD rc = CallControl().Phone(*world, hCall, &serial)) return rc;
    if (!pdwStatus) return ELNYX_INVALID_POINTER;
    *pdwStatus = 0;
    if (DWORD rc = ChangeCall(*world, serial, bCallId, {kCallDialling, kCallRinging, kCallActive, kCallHeld},
                              [](CPhoneCall& c) {
                                c.state = kCallEnded;
                                c.cause = 0;
                                c.endedByPc = true;
                              }))
      return rc;
    SIM_AFTER_FAULT("WEXEL_ReleaseCall");
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_ControlCall(DWORD, DWORD, BYTE, DWORD, DWORD*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_ControlCall")

DWORD WINAPI WEXEL_GetCallStatus(DWORD hCall, DWORD, WEXEL_CALL_INFO* pCallInfo, DWORD*) {
  try {
    CC_ENTRY("WEXEL_GetCallStatus");
    std::wstring serial;
    if (DWORD rc = CallControl().Phone(*world, hCall, &serial)) return rc;
    if (!pCallInfo) return ELNYX_INVALID_POINTER;
    if (pCallInfo->dwSize != sizeof(WEXEL_CALL_INFO)) return ELNYX_INVALID_PARAMETER;
    CPhoneCalls calls = ReadPhoneCalls(*world, serial);
    CPhoneCall* call = calls.Find(pCallInfo->bCallId);
    if (!call) return ELNYX_INVALID_PARAMETER;
    pCallInfo->bStatus = StatusOf(*call);
    pCallInfo->bNumOfAddresses = 0;
    pCallInfo->pAddresses = nullptr;
    std::vector<std::pair<BYTE, std::wstring>> texts;
    if (!call->number.empty())
      texts.push_back({call->direction == kCallIncoming ? WEXEL_ADDRESS_CALLER : WEXEL_ADDRESS_DIALLED, call->number});
    if (!call->name.empty()) texts.push_back({WEXEL_ADDRESS_NAME, call->name});
    WEXEL_ADDRESS* addresses = HandOutArray<WEXEL_ADDRESS>(texts.size());
    try {
      for (size_t i = 0; i < texts.size(); ++i) {
        addresses[i].dwSize = sizeof(WEXEL_ADDRESS);
        addresses[i].bAddressType = texts[i].first;
        addresses[i].pstrAddress = HandOutString(texts[i].second);
      }
    } catch (...) {
      for (size_t i = 0; i < texts.size(); ++i) FreeHandedOut(addresses[i].pstrAddress);
      FreeHandedOut(addresses);
      throw;
    }
    pCallInfo->bNumOfAddresses = static_cast<BYTE>(texts.size());
    pCallInfo->pAddresses = addresses;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_FreeCallInfoStruct(WEXEL_CALL_INFO* pCallInfo) {
  try {
    SIM_FAULT("WEXEL_FreeCallInfoStruct");
    if (!pCallInfo) return ELNYX_INVALID_POINTER;
    // Only what the library handed out is freed: a caller's own record is left alone.
    if (pCallInfo->pAddresses && CHandedOut::Instance().Take(pCallInfo->pAddresses)) {
      for (BYTE i = 0; i < pCallInfo->bNumOfAddresses; ++i) FreeHandedOut(pCallInfo->pAddresses[i].pstrAddress);
      delete[] pCallInfo->pAddresses;
    }
    pCallInfo->pAddresses = nullptr;
    pCallInfo->bNumOfAddresses = 0;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI WEXEL_RegisterNotifyIF(DWORD hCall, DWORD dwOperation, IWEXELNotify* pSink) {
  try {
    CC_ENTRY("WEXEL_RegisterNotifyIF");
    return RegisterSink(CallControl().Sinks(), CallControl().IsOpen(hCall), hCall, dwOperation, pSink);
  }
  SIM_WORLD_CATCH_ALL
}

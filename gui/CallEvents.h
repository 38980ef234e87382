#pragma once
#include <windows.h>
#include <string>

// Private messages of the call windows, sent by CCallUI with SendMessage.
const UINT WM_CALLEVENT = 0x80D2;        // lParam: const CallEvent*, valid during the send
const UINT WM_CLOSECALLWINDOW = 0x80D3;  // the window destroys itself and ends its loop

// Event codes in a CallEvent; the same numbers are the call window's states.
enum : LONG {
  CallActivated = 32968,
  CallTerminated = 32969,
  CallIncoming = 32970,
  CallOutgoing = 32971,
  CallWaiting = 32972,
  CallCreated = 32974,
};
enum : LONG {
  StateActive = 32968,
  StateIncoming = 32970,
  StateOutgoing = 32971,
  StateWaiting = 32972,
  StateIdle = 32973,
  StateDialling = 32974,
};

// Termination reason of a call to a busy number.
const LONG CallReasonBusy = 1029;

// What a call window is told: lives on the sender's stack for one send.
struct CallEvent {
  std::wstring serial;
  std::wstring number;
  std::wstring name;
  LONG callId = -1;
  LONG reason = 0;
  LONG event = 0;
};

// One open call window in CCallUI's registry.
struct CallWindowEntry {
  std::wstring serial;
  LONG callId = -1;
  HWND window = nullptr;
  LONG state = StateIdle;
};

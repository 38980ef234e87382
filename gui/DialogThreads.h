#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CSyncEvent.h"
#include "CTaskBase.h"
#include "CallEvents.h"
#include "ComPtr.h"
#include "GitCookie.h"
#include "SZembra.h"
#include "SZembraGUI.h"

class CCallUI;

// A call handler on its way from the COM caller to a window's thread. An
// interface pointer is valid only in the apartment that received it (one that
// came through a proxy is a proxy of that apartment), so it travels through
// the process's global interface table: put there on the caller's thread,
// taken out once on the window's thread, which has joined an apartment of its
// own. Revoked by Take or, if the window never came, by the destructor.
class CHandlerPassage {
public:
  CHandlerPassage() = default;
  CHandlerPassage(const CHandlerPassage&) = delete;
  CHandlerPassage& operator=(const CHandlerPassage&) = delete;
  // A null handler stays null; one the table refuses is logged and dropped.
  void Put(ICallHandler* handler);
  CComPtr<ICallHandler> Take();

private:
  CGitCookie m_cookie;
};

// What a new call window is made from. Made by the COM caller, owned by the
// task and then by the window's thread, which deletes it when its loop ends.
struct CallDialogParams {
  std::wstring serial;
  std::wstring number;
  std::wstring name;
  LONG state = StateIdle;
  LONG callId = -1;
  CCallUI* owner = nullptr;          // kept alive by ui
  CHandlerPassage handler;           // may carry null
  CComPtr<ICallUI> ui;               // the owner, counted
  // Shared with the waiting caller, so that a Set after its wait gave up
  // touches a live event.
  std::shared_ptr<CEventHandle> ready;
  int placementIndex = 0;
  UINT templateId = 0;  // 0: the call window's own dialog
};

// What a new text-message window is made from; same ownership.
struct SmsDialogParams {
  std::wstring serial;
  std::wstring number;
  std::wstring name;
  std::wstring message;
  CHandlerPassage handler;        // may carry null
  CCallUI* owner = nullptr;       // kept alive by ui
  CComPtr<ICallUI> ui;            // the owner, counted: the window may outlive the service's use
  LONG incoming = 0;
  int placementIndex = 0;
  UINT templateId = 0;
};

// Runs on the window task queue's thread: starts the window's thread and lets
// it go. A task that never runs or cannot start its thread still signals the
// waiting caller.
class CCallDialogTask : public CTaskBase {
public:
  explicit CCallDialogTask(CallDialogParams* params) : m_params(params) {}
  ~CCallDialogTask() override;
  void Execute() override;
  bool IsAutoDelete() override { return true; }

private:
  CallDialogParams* m_params;  // given to the thread by Execute
};

class CSmsDialogTask : public CTaskBase {
public:
  explicit CSmsDialogTask(SmsDialogParams* params) : m_params(params) {}
  ~CSmsDialogTask() override;
  void Execute() override;
  bool IsAutoDelete() override { return true; }

private:
  SmsDialogParams* m_params;
};

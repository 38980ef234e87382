#pragma once
#include <windows.h>
#include <map>
#include <vector>
#include "CLockable.h"

// Something that sees a thread's messages before they are dispatched (dialog
// keys, accelerators). True: the message was handled and goes no further.
class CMessageFilter {
public:
  virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;

protected:
  ~CMessageFilter() = default;
};

// One thread's message loop. Used only by the thread that runs it.
class CMessageLoop {
public:
  virtual ~CMessageLoop() {}
  BOOL AddMessageFilter(CMessageFilter* filter);
  BOOL RemoveMessageFilter(CMessageFilter* filter);
  // Runs until WM_QUIT; the result is WM_QUIT's exit code (-1 when
  // GetMessage fails).
  int Run();
  // The filters, newest first, until one handles the message.
  virtual BOOL PreTranslateMessage(MSG* pMsg);

private:
  std::vector<CMessageFilter*> m_filters;
};

// The application module of the window layer: its resource instance and one
// message loop per thread. Init and Term run on the module's own thread
// (DllMain, WinMain); the loop map is reached from every window thread under
// the module's lock.
class CAppModule {
public:
  CAppModule();
  ~CAppModule();

  // Records the calling thread and the resource instance and makes the loop
  // map; false when that cannot be allocated.
  bool Init(HINSTANCE instance);
  void Term();

  HINSTANCE GetResourceInstance() const { return m_instance; }
  DWORD GetMainThreadId() const { return m_mainThreadId; }

  // The calling thread's loop.
  BOOL AddMessageLoop(CMessageLoop* loop);
  BOOL RemoveMessageLoop();
  CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
  CAppModule(const CAppModule&) = delete;
  CAppModule& operator=(const CAppModule&) = delete;
  CLockable m_lock;  // guards m_loops only; nothing is called under it
  std::map<DWORD, CMessageLoop*>* m_loops = nullptr;
  HINSTANCE m_instance = nullptr;
  DWORD m_mainThreadId = 0;
};

// The module of this image, made by whoever links the layer (a DLL's or a
// program's module object); null until then.
extern CAppModule* _pWtlModule;

// The image the layer is linked into: where dialogs and bitmaps are found
// when no module was initialised.
HINSTANCE WtlGetResourceInstance();

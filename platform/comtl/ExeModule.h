#pragma once
#include <windows.h>
#include <atomic>
#include "CSyncEvent.h"
#include "ComModule.h"
#include "ZCLHandle.h"

// The module of a local-server program. Built on the program's main thread,
// which becomes a single-threaded apartment and runs the message loop; Lock and
// Unlock come from any thread; the shutdown monitor runs on a thread of its own
// and only waits and posts.
class CAtlExeModule : public CAtlModule {
public:
  explicit CAtlExeModule(_ATL_OBJMAP_ENTRY* objectMap);
  ~CAtlExeModule() override;

  LONG Unlock() override;
  bool CountsHeapObjects() const override { return false; }

  // Handles the registration switches or serves; returns the exit code.
  int WinMain(int nShowCmd);
  // True when the server is to run; otherwise *pnRetCode is the switch's result.
  virtual bool ParseCommandLine(LPCWSTR commandLine, HRESULT* pnRetCode);
  virtual HRESULT RegisterServer(BOOL bRegTypeLib);
  virtual HRESULT UnregisterServer(BOOL bUnRegTypeLib);
  HRESULT Run(int nShowCmd = SW_HIDE);

  HRESULT RegisterClassObjects(DWORD context, DWORD flags);
  HRESULT RevokeClassObjects();

  // Ends the module, in this order: shutdown monitor, class objects, class
  // factories (and the objects they keep, such as a singleton), the GIT,
  // type information, COM. Runs once; the destructor calls it when nobody did.
  void Term();

  // The module's own application id and type library.
  virtual HRESULT UpdateRegistryAppId(BOOL bRegister) = 0;
  virtual const GUID& GetLibID() const = 0;

  // "-word" or "/word": the word in any case, then the end, a blank or a tab.
  static bool IsSwitch(LPCWSTR token, LPCWSTR word);
  static LPCWSTR FindOneOf(LPCWSTR text, LPCWSTR chars);

  static bool m_bInitFailed;

  DWORD m_dwMainThreadID;
  DWORD m_dwTimeOut = 5000;  // idle time before the process ends
  DWORD m_dwPause = 1000;    // after the class objects are revoked
  bool m_bDelayShutdown = true;
  std::atomic<bool> m_bActivity{false};
  bool m_bComInitialized = false;
  // Times a shutdown was called off because a client came in while the
  // class objects were being revoked.
  std::atomic<LONG> m_nShutdownsCancelled{0};
  // Idle countdowns the monitor ran to their end and then decided on.
  std::atomic<LONG> m_nCountdownsEnded{0};

protected:
  _ATL_OBJMAP_ENTRY* GetObjectMap() const { return m_pObjMap; }

private:
  HRESULT StartMonitor();
  void StopMonitor();
  void MonitorShutdown();
  static DWORD WINAPI MonitorProc(void* module);
  void StartCountdown();
  void RunMessageLoop();
  void PumpMessagesFor(DWORD milliseconds);

  _ATL_OBJMAP_ENTRY* m_pObjMap;
  // Made before the monitor starts and closed only at Term, after the
  // monitor has ended and the objects that unlock have gone: an unlock from
  // any thread may signal it meanwhile.
  CSyncEvent m_shutdownEvent;
  CHandle m_monitor;
  std::atomic<bool> m_bStopMonitor{false};
  bool m_bTermed = false;
};

// T adds what only the program knows, through these declarations:
//   DECLARE_LIBID(LIBID_x)
//   DECLARE_REGISTRY_APPID_RESOURCEID(resid, "{appid}")
template <class T>
class CAtlExeModuleT : public CAtlExeModule {
public:
  explicit CAtlExeModuleT(_ATL_OBJMAP_ENTRY* objectMap) : CAtlExeModule(objectMap) {}
  HRESULT UpdateRegistryAppId(BOOL bRegister) override { return T::UpdateRegistryAppIdRes(bRegister); }
  const GUID& GetLibID() const override { return T::GetLibIDRes(); }
};

#define DECLARE_LIBID(libid) \
  static const GUID& GetLibIDRes() { return libid; }

#define DECLARE_REGISTRY_APPID_RESOURCEID(resid, appid)                    \
  static LPCOLESTR GetAppId() { return L##appid; }                         \
  static HRESULT WINAPI UpdateRegistryAppIdRes(BOOL bRegister) {           \
    return AtlUpdateRegistryFromResource<resid>(bRegister);                \
  }                                                                        \
  HRESULT AddCommonRGSReplacements(IRegistrarBase* registrar) override {   \
    return AtlAddReplacement(registrar, L"APPID", GetAppId());             \
  }

HRESULT AtlAddReplacement(IRegistrarBase* registrar, LPCOLESTR key, LPCOLESTR item);

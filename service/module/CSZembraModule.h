#pragma once
#include <windows.h>
#include "ClassRegistration.h"
#include "SZembra.h"
#include "ZCLLogger.h"
#include "resource.h"

// The service program's module: one global object, built on the main thread
// before the entry runs.
class CSZembraModule : public CAtlExeModuleT<CSZembraModule> {
public:
  CSZembraModule();

  DECLARE_LIBID(LIBID_SZembraLib)
  DECLARE_REGISTRY_APPID("{B95E0051-DEC1-43BF-B853-D4C8CAF5FF17}", "SZembra", "SZembra.EXE")

private:
  ZCLObjectTracer<CSZembraModule> m_tracer;
};

// The thirteen classes of the service; only Zembra is creatable by clients.
extern _ATL_OBJMAP_ENTRY ServiceObjectMap[];

// Reads "LogLevel" (REG_DWORD) under root\subKey with read access only.
// False when the key, the value or the right type is missing.
bool ReadLogLevel(HKEY root, LPCWSTR subKey, DWORD* level);
// The program entry's first step: a DWORD "LogLevel" under HKLM
// "SOFTWARE\Orvex Dialix" opens the log file and sets the threshold.
void ApplyLogLevelSetting();

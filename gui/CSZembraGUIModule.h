#pragma once
#include <windows.h>
#include "AppModule.h"
#include "ClassRegistration.h"
#include "DllModule.h"
#include "SZembraGUI.h"
#include "resource.h"

// The library's module: the COM side (class objects, registration, lock
// count) and the window side (the per-thread message loops).
class CSZembraGUIModule : public CAtlDllModuleT<CSZembraGUIModule> {
public:
  CSZembraGUIModule();
  DECLARE_LIBID(LIBID_SZembraGUILib)
  DECLARE_REGISTRY_APPID("{2940CA7D-35B4-416D-9898-6BF57ADAB7C0}", "SZembraGUI", "SZembraGUI.DLL")

  CAppModule m_windows;
};

extern CSZembraGUIModule _AtlModule;
extern _ATL_OBJMAP_ENTRY GuiObjectMap[];

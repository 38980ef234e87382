#include <windows.h>
#include "CCallUI.h"
#include "CSZembraGUIModule.h"

BEGIN_OBJECT_MAP(GuiObjectMap)
OBJECT_ENTRY(CLSID_CallUI, CCallUI)
END_OBJECT_MAP()

CSZembraGUIModule::CSZembraGUIModule() : CAtlDllModuleT<CSZembraGUIModule>(GuiObjectMap) {}

CSZembraGUIModule _AtlModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH && !_AtlModule.m_windows.Init(instance)) return FALSE;
  if (reason == DLL_PROCESS_DETACH) _AtlModule.m_windows.Term();
  return _AtlModule.DllMain(reason, reserved);
}

DIALIX_DLL_EXPORTS(_AtlModule)

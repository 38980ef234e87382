#include <windows.h>
#include "ConnectionManager.h"
#include "ClassRegistration.h"

// The connection manager's local-server program: its one class.

namespace {

BEGIN_OBJECT_MAP(ConnectionManagerObjects)
OBJECT_ENTRY(CLSID_QorsalConnectionManager, CQorsalConnectionManager)
END_OBJECT_MAP()

class CConnectionManagerModule : public CAtlExeModuleT<CConnectionManagerModule> {
public:
  CConnectionManagerModule() : CAtlExeModuleT<CConnectionManagerModule>(ConnectionManagerObjects) {}
  DECLARE_LIBID(LIBID_QorsalConnectionManagerLib)
  DECLARE_REGISTRY_APPID("{7C1B9E52-4D0A-4B8E-9F3A-2E6D5C8B1A47}", "QorsalConnectionManager",
                         "QorsalConnectionManager.EXE")
};

CConnectionManagerModule g_module;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int show) {
  int result = g_module.WinMain(show);
  g_module.Term();
  return result;
}

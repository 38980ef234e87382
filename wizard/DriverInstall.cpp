#include <windows.h>
#include "DriverInstall.h"
#include "LanyxImports.h"

DWORD InstallFileOnPhone(DWORD fileSystem, const wchar_t* path) {
  const WCHAR* files[1] = {path};
  return SutrelLnyxInstallApplication(fileSystem, 1, files, LNYX_INSTALL_OPTIONS, 0, 0);
}

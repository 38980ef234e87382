#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "AppFx.h"
#include "SutrelSupportSetup.h"

// A small host of the support-setup library, standing in for the wizard
// until it links the library: "need <serial>" runs the check and prints
// the three flags, "install <serial> [flags]" runs the installation.
// The exit code is 0 when the call answered 0, 1 otherwise, 2 on bad usage.

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: sutrel_host need <serial> | install <serial> [flags]\n");
    return 2;
  }
  std::wstring command = argv[1];
  const wchar_t* serial = argv[2];
  // The library joined the host's resource chain when it was loaded.
  wchar_t maker[64] = {0};
  AppFxLoadString(7, maker, 64);
  if (command == L"need" && argc == 3) {
    int text = 0, multimedia = 0, provider = 0;
    HRESULT hr = needSupport(serial, &text, &multimedia, &provider);
    wprintf(L"needSupport 0x%08lX text %d multimedia %d provider %d (%ls)\n", static_cast<unsigned long>(hr), text,
            multimedia, provider, maker);
    return hr == S_OK ? 0 : 1;
  }
  if (command == L"install" && argc <= 4) {
    DWORD flags = argc == 4 ? static_cast<DWORD>(wcstoul(argv[3], nullptr, 0)) : 0;
    HRESULT hr = Install(serial, flags);
    wprintf(L"Install 0x%08lX (flags 0x%lX)\n", static_cast<unsigned long>(hr), flags);
    return hr == S_OK ? 0 : 1;
  }
  fwprintf(stderr, L"usage: sutrel_host need <serial> | install <serial> [flags]\n");
  return 2;
}

// The suite's launcher, as far as the wizard reaches it: every start leaves
// one line "started<TAB><command line>" in Kelvast.log beside the program,
// so that a test sees whether and how the wizard started it.
#include <windows.h>
#include <string>
#include "ZCLHandle.h"
#include "ZCLText.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH] = L"";
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::wstring log(path, length);
  log.erase(log.find_last_of(L'\\') + 1);
  log += L"Kelvast.log";
  // Appends only, so starts that overlap never overwrite each other's line.
  CHandle file(::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  std::string line = "started\t" + ZCLWideToUtf8(::GetCommandLineW()) + "\n";
  DWORD written = 0;
  if (!::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
      written != line.size())
    return 1;
  return 0;
}

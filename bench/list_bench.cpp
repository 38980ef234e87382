// A client in another process reads a 5,000-contact list: every contact's six
// properties through Item, then again through _NewEnum fetching 100 at a
// time, beside a bare cross-process call (Count) in the same run. The two
// processes are dialix_data_peer's serve and client roles.
#include <windows.h>
#include <cstdio>
#include <string>
#include "ZCLHandle.h"

int wmain() {
  wchar_t self[MAX_PATH], temp[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self);
  folder.erase(folder.find_last_of(L'\\') + 1);
  GetTempPathW(MAX_PATH, temp);
  std::wstring file = std::wstring(temp) + L"dialix-list-bench.bin";
  std::wstring command = L"\"" + folder + L"dialix_data_peer.exe\" serve 5000 \"" + file + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    wprintf(L"list_bench: dialix_data_peer.exe could not be started\n");
    return 1;
  }
  CHandle thread(process.hThread), child(process.hProcess);
  wprintf(L"contacts: 5000, properties per contact: 6, batch: 100; times in microseconds\n");
  fflush(stdout);
  if (WaitForSingleObject(child.Get(), 1800000) != WAIT_OBJECT_0) {
    TerminateProcess(child.Get(), 2);
    return 1;
  }
  DWORD code = 1;
  GetExitCodeProcess(child.Get(), &code);
  DeleteFileW(file.c_str());
  return static_cast<int>(code);
}

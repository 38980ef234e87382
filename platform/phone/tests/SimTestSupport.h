#pragma once
#include <windows.h>
#include <cstdio>
#include <string>
#include <utility>
#include "PhoneWorld.h"
#include "ZCLHandle.h"

// Test helpers for code that drives the simulated phone: a scratch world of
// the test's own and the programs beside the test (phonectl, simwatch).
namespace PhoneSim {
namespace Testing {

inline std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// A program of the bin folder, started with the test's environment (and, when
// `si` names them, the handles it passes on). Wine now and then refuses a
// start while many processes come and go in the prefix: that is tried again,
// a few times, before the test fails on it.
inline CHandle StartProgram(const std::wstring& program, const std::wstring& args, STARTUPINFOW* si = nullptr) {
  STARTUPINFOW plain = {sizeof(plain)};
  if (!si) si = &plain;
  BOOL inherit = (si->dwFlags & STARTF_USESTDHANDLES) ? TRUE : FALSE;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::wstring command = L"\"" + BinFolder() + L"\\" + program + L"\" " + args;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, si, &pi)) {
      CHandle thread(pi.hThread);
      return CHandle(pi.hProcess);
    }
    fwprintf(stderr, L"%ls could not be started (error %lu)\n", program.c_str(), GetLastError());
    Sleep(200);
  }
  return CHandle();
}

// Its exit code, waited for with a bound; ~0 when it did not end.
inline DWORD FinishProgram(CHandle process) {
  DWORD code = ~0u;
  if (process && WaitForSingleObject(process.Get(), 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.Get(), &code);
  return code;
}

inline DWORD RunPhonectl(const std::wstring& args) { return FinishProgram(StartProgram(L"phonectl.exe", args)); }

// phonectl's exit code, with what it wrote to its output and error output.
inline DWORD RunPhonectl(const std::wstring& args, std::string* output) {
  output->clear();
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  CHandle read, write;
  if (!CreatePipe(read.Put(), write.Put(), &inherit, 0)) return ~0u;
  SetHandleInformation(read.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si = {sizeof(si)};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = write.Get();
  si.hStdError = write.Get();
  CHandle process = StartProgram(L"phonectl.exe", args, &si);
  write.Reset();  // the pipe ends when phonectl does
  if (!process) return ~0u;
  char buffer[512];
  DWORD n = 0;
  while (ReadFile(read.Get(), buffer, sizeof(buffer), &n, nullptr) && n > 0) output->append(buffer, n);
  return FinishProgram(std::move(process));
}

// Holds a file of the world open so that it can be read but neither replaced
// nor deleted: a write of it fails as on a locked or read-only file.
class CFileLock {
public:
  // With share 0 the file cannot be read either.
  explicit CFileLock(const std::wstring& path, DWORD share = FILE_SHARE_READ)
      : m_file(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS, 0, nullptr)) {}
  bool IsHeld() const { return m_file.IsValid(); }
  void Release() { m_file.Reset(); }

private:
  CHandle m_file;
};

// An empty world in the temporary folder, made this process's world (and its
// children's) through "TRELKSIM_WORLD"; deleted at the end.
class CScratchWorld {
public:
  CScratchWorld() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"trelksim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter);
    DeleteFolderTree(m_folder);  // left by an earlier run under the same process id
    SetEnvironmentVariableW(L"TRELKSIM_WORLD", m_folder.c_str());
  }
  ~CScratchWorld() { DeleteFolderTree(m_folder); }
  const std::wstring& Folder() const { return m_folder; }

private:
  std::wstring m_folder;
};

}  // namespace Testing
}  // namespace PhoneSim

// A small client of the service for the cross-process tests and the demo.
// Runs its commands in order, one process, and prints one line per command:
//   create [clsid|progid]  creates the main object out of process (default: clsid)
//   create-retry <ms>      creates it by class id, retrying until it succeeds
//   release                releases it
//   connect-null           calls IZembra::Connect with no callback, prints the HRESULT
//   dispid <name>          asks the main object's IDispatch for the name's dispatch id
//   pid                    prints the process ids of the running service programs
//   wait-start <ms>        waits until a service program runs
//   wait-exit <ms>         waits until no service program runs
// Exit code 0 when every command did what it names, 1 otherwise, 2 on a time-out.
#include <windows.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include "ComBSTR.h"
#include "ComPtr.h"
#include "SZembra.h"

namespace {

const wchar_t kServiceProgram[] = L"OrvexDialixService.exe";

std::vector<DWORD> ServerProcesses() {
  std::vector<DWORD> ids;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, kServiceProgram) == 0) ids.push_back(entry.th32ProcessID);
  ::CloseHandle(snapshot);
  return ids;
}

std::string ProcessList() {
  std::string text;
  for (DWORD id : ServerProcesses()) {
    if (!text.empty()) text += ",";
    text += std::to_string(id);
  }
  return text.empty() ? "none" : text;
}

class CClient {
public:
  int Run(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
      std::wstring command = argv[i];
      const wchar_t* argument = (i + 1 < argc) ? argv[i + 1] : nullptr;
      int status;
      if (command == L"create") {
        bool byProgId = argument && wcscmp(argument, L"progid") == 0;
        if (argument && (byProgId || wcscmp(argument, L"clsid") == 0)) ++i;
        status = Create(byProgId);
      } else if (command == L"create-retry" && argument) {
        ++i;
        status = CreateRetry(_wtoi(argument));
      } else if (command == L"release") {
        m_zembra.Release();
        std::printf("release: done\n");
        status = 0;
      } else if (command == L"connect-null") {
        status = ConnectNull();
      } else if (command == L"dispid" && argument) {
        ++i;
        status = DispatchId(argument);
      } else if (command == L"pid") {
        std::printf("pid: %s\n", ProcessList().c_str());
        status = 0;
      } else if (command == L"wait-start" && argument) {
        ++i;
        status = WaitStart(_wtoi(argument));
      } else if (command == L"wait-exit" && argument) {
        ++i;
        status = WaitExit(_wtoi(argument));
      } else {
        std::printf("unknown command: %ls\n", command.c_str());
        status = 1;
      }
      std::fflush(stdout);
      if (status != 0) return status;
    }
    return 0;
  }

private:
  int Create(bool byProgId) {
    m_zembra.Release();
    CLSID clsid = CLSID_Zembra;
    HRESULT hr = S_OK;
    if (byProgId) hr = ::CLSIDFromProgID(L"SZembra.Zembra", &clsid);
    if (SUCCEEDED(hr))
      hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                              reinterpret_cast<void**>(&m_zembra));
    std::printf("create: hr=0x%08lX server=%s\n", static_cast<unsigned long>(hr),
                ProcessList().c_str());
    return SUCCEEDED(hr) ? 0 : 1;
  }

  // For a server started by hand: it can be reached once it has registered
  // its class object, which nothing announces.
  int CreateRetry(int milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    HRESULT hr;
    do {
      m_zembra.Release();
      hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                              reinterpret_cast<void**>(&m_zembra));
    } while (FAILED(hr) && ::GetTickCount64() < end && (::Sleep(50), true));
    std::printf("create: hr=0x%08lX server=%s\n", static_cast<unsigned long>(hr),
                ProcessList().c_str());
    return SUCCEEDED(hr) ? 0 : 1;
  }

  int ConnectNull() {
    if (!m_zembra) {
      std::printf("connect-null: no object\n");
      return 1;
    }
    HRESULT hr = m_zembra->Connect(nullptr);
    std::printf("connect-null: hr=0x%08lX\n", static_cast<unsigned long>(hr));
    return 0;
  }

  int DispatchId(const wchar_t* name) {
    if (!m_zembra) {
      std::printf("dispid: no object\n");
      return 1;
    }
    CComBSTR text(name);
    LPOLESTR names[] = {text.m_str};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = m_zembra->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    std::printf("dispid: %ls hr=0x%08lX id=%ld\n", name, static_cast<unsigned long>(hr),
                static_cast<long>(id));
    return SUCCEEDED(hr) ? 0 : 1;
  }

  // Polls: nothing signals a program's start to another process.
  int WaitStart(int milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (ServerProcesses().empty()) {
      if (::GetTickCount64() >= end) {
        std::printf("wait-start: timeout\n");
        return 2;
      }
      ::Sleep(50);
    }
    std::printf("wait-start: running %s\n", ProcessList().c_str());
    return 0;
  }

  int WaitExit(int milliseconds) {
    std::vector<HANDLE> processes;
    for (DWORD id : ServerProcesses()) {
      HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
      if (process) processes.push_back(process);
    }
    DWORD wait = WAIT_OBJECT_0;
    if (!processes.empty())
      wait = ::WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(),
                                      TRUE, milliseconds);
    for (HANDLE process : processes) ::CloseHandle(process);
    bool exited = wait != WAIT_TIMEOUT && wait != WAIT_FAILED;
    std::printf("wait-exit: %s\n", exited ? "exited" : "timeout");
    return exited ? 0 : 2;
  }

  CComPtr<IZembra> m_zembra;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status;
  {
    CClient client;
    status = client.Run(argc, argv);
  }
  ::CoUninitialize();
  return status;
}

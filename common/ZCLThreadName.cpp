#include <windows.h>
#include <string>
#include "ZCLThreadName.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

namespace {

const DWORD kThreadNameException = 0x406D1388;

// g++ has no __try/__except: while the exception is raised, this handler
// resumes it at once, so a program without a debugger runs on.
LONG CALLBACK SwallowThreadName(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kThreadNameException) return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

typedef HRESULT(WINAPI* SetThreadDescriptionFn)(HANDLE, PCWSTR);

// Newer systems keep the name with the thread itself; resolved at run time
// because Windows 7 lacks the call.
void SetDescription(DWORD threadId, const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDescription =
      kernel ? reinterpret_cast<SetThreadDescriptionFn>(
                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")))
             : nullptr;
  if (!setDescription) return;
  std::wstring wide = ZCLAnsiToWide(name);
  bool self = threadId == 0xFFFFFFFF || threadId == GetCurrentThreadId();
  if (self) {
    setDescription(GetCurrentThread(), wide.c_str());
    return;
  }
  CHandle thread(OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, threadId));
  if (thread) setDescription(thread.Get(), wide.c_str());
}

}  // namespace

void ZCLSetThreadName(DWORD threadId, const char* name) {
  if (!name) return;
  SetDescription(threadId, name);
  // The record a debugger reads: {0x1000, name, thread id, flags 0}. Four
  // pointer-sized words; on 64-bit the id and flags share the third.
  ULONG_PTR record[4] = {0x1000, reinterpret_cast<ULONG_PTR>(name), threadId, 0};
  PVOID handler = AddVectoredExceptionHandler(1, SwallowThreadName);
  if (!handler) return;  // nothing would catch it
  RaiseException(kThreadNameException, 0, 4, record);
  RemoveVectoredExceptionHandler(handler);
}

#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include "CSyncEvent.h"
#include "CThread.h"
#include "ZCLThreadName.h"

namespace {

typedef HRESULT(WINAPI* GetThreadDescriptionFn)(HANDLE, PWSTR*);

GetThreadDescriptionFn GetDescriptionCall() {
  return reinterpret_cast<GetThreadDescriptionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
}

// The name the system keeps for a thread; empty when the call is missing.
std::wstring ThreadDescription(HANDLE thread) {
  auto get = GetDescriptionCall();
  PWSTR text = nullptr;
  if (!get || FAILED(get(thread, &text)) || !text) return L"";
  std::wstring name = text;
  LocalFree(text);
  return name;
}

struct Flag {
  explicit Flag(bool* target) : m_target(target) {}
  ~Flag() { *m_target = true; }
  bool* m_target;
};

class Scripted : public CThreadImpl<Scripted> {
public:
  enum Fault { None, InStart, InRun };
  explicit Scripted(Fault fault) : m_fault(fault) {}
  ~Scripted() override { StopThread(); }

  void OnThreadStart() override {
    if (m_fault == InStart) throw 1;
  }
  unsigned Run() {
    Flag flag(&m_localDestroyed);
    m_ran = true;
    if (m_fault == InRun) throw std::string("run failed");
    return 7;
  }
  void OnThreadExit(DWORD code) override { m_exitSeen = code; }

  Fault m_fault;
  bool m_ran = false;
  bool m_localDestroyed = false;
  DWORD m_exitSeen = 0;
};

TEST(ThreadTest, RunThatReturnsGivesItsExitCodeAndUnwindsItsLocals) {
  Scripted thread(Scripted::None);
  ASSERT_TRUE(thread.StartThread());
  DWORD code = 0;
  ASSERT_TRUE(thread.GetThreadHandle().Wait(&code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(thread.m_exitSeen, 7u);
  EXPECT_TRUE(thread.m_localDestroyed);
  EXPECT_FALSE(thread.GetThreadHandle().IsRunning());
}

TEST(ThreadTest, RunThatThrowsEndsWithMinusOneAfterOnThreadExit) {
  Scripted thread(Scripted::InRun);
  ASSERT_TRUE(thread.StartThread());
  DWORD code = 0;
  ASSERT_TRUE(thread.GetThreadHandle().Wait(&code));
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(thread.m_exitSeen, 0xFFFFFFFFu);
  EXPECT_TRUE(thread.m_localDestroyed);
}

TEST(ThreadTest, StartThatThrowsSkipsRunAndExit) {
  Scripted thread(Scripted::InStart);
  ASSERT_TRUE(thread.StartThread());
  DWORD code = 0;
  ASSERT_TRUE(thread.GetThreadHandle().Wait(&code));
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_FALSE(thread.m_ran);
  EXPECT_EQ(thread.m_exitSeen, 0u);
}

TEST(ThreadTest, NeverStartedThreadHasNothingToWaitForOrClose) {
  Scripted thread(Scripted::None);
  EXPECT_EQ(thread.GetThreadHandle().GetHandle(), nullptr);
  EXPECT_FALSE(thread.GetThreadHandle().Wait());
  EXPECT_TRUE(thread.GetThreadHandle().Close());
  EXPECT_FALSE(thread.GetThreadHandle().IsRunning());
}

// Runs until told to stop, touching only the base once started, so that the
// base's destructor may be the one that asks and waits.
class Looper : public CThreadImpl<Looper> {
public:
  unsigned Run() {
    m_started.Set();
    while (!IsStopRequested()) Sleep(1);
    return 3;
  }
  CEventHandle m_started;
};

TEST(ThreadTest, DestructionStopsAndJoinsARunningThread) {
  HANDLE copy = nullptr;
  {
    Looper looper;
    ASSERT_TRUE(looper.StartThread());
    ASSERT_TRUE(looper.m_started.Wait(10000));
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), looper.GetThreadHandle().GetHandle(), GetCurrentProcess(),
                                &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
  }
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(copy, &code));
  EXPECT_EQ(code, 3u);
  CloseHandle(copy);
}

std::atomic<int> g_firstPriority{999};

unsigned __stdcall RecordPriority(void*) {
  g_firstPriority = GetThreadPriority(GetCurrentThread());
  return 0;
}

TEST(ThreadTest, PriorityIsSetBeforeTheThreadRuns) {
  for (int priority : {THREAD_PRIORITY_BELOW_NORMAL, 0}) {
    CThreadHandle handle;
    g_firstPriority = 999;
    ASSERT_TRUE(handle.Create(&RecordPriority, nullptr, priority));
    EXPECT_FALSE(handle.IsSuspended());
    ASSERT_TRUE(handle.Wait());
    EXPECT_EQ(g_firstPriority, priority == 0 ? THREAD_PRIORITY_NORMAL : priority);
    EXPECT_TRUE(handle.Close());
    EXPECT_EQ(handle.GetHandle(), nullptr);
  }
}

struct NamingResult {
  std::wstring seen;
  bool continued = false;
};

unsigned __stdcall NameMyself(void* parameter) {
  auto* result = static_cast<NamingResult*>(parameter);
  ZCLSetThreadName(0xFFFFFFFF, "WorkerSelf");
  result->continued = true;  // no debugger, and the raise came back
  result->seen = ThreadDescription(GetCurrentThread());
  return 0;
}

TEST(ThreadTest, ThreadsAreNamedWithNoDebuggerAttached) {
  ASSERT_FALSE(IsDebuggerPresent());
  NamingResult result;
  CThreadHandle handle;
  ASSERT_TRUE(handle.Create(&NameMyself, &result));
  ASSERT_TRUE(handle.Wait());
  EXPECT_TRUE(result.continued);
  // Systems without the call (Windows 7) keep names only in the debugger.
  if (GetDescriptionCall()) {
    EXPECT_EQ(result.seen, L"WorkerSelf");
  }

  // Another thread, by id.
  Looper other;
  ASSERT_TRUE(other.StartThread());
  ASSERT_TRUE(other.m_started.Wait(10000));
  ZCLSetThreadName(other.GetThreadHandle().GetThreadId(), "WorkerOther");
  std::wstring name = ThreadDescription(other.GetThreadHandle().GetHandle());
  if (GetDescriptionCall()) {
    EXPECT_EQ(name, L"WorkerOther");
  }
  other.StopThread();
}

TEST(SyncEventTest, ResetModesAndTimeouts) {
  CSyncEvent automatic, manual;
  EXPECT_FALSE(automatic.IsCreated());
  automatic.Create();
  manual.Create(true);
  EXPECT_FALSE(automatic.Wait(0));
  automatic.Set();
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));
  manual.Close();
  EXPECT_EQ(manual.Handle(), INVALID_HANDLE_VALUE);
}

TEST(SyncEventTest, FailuresThrowTheSystemErrorCode) {
  CSyncEvent never;
  try {
    never.Set();
    FAIL() << "no throw";
  } catch (DWORD error) {
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_THROW(never.Wait(0), DWORD);
}

TEST(SyncEventTest, NamedEventIsSharedAndManualReset) {
  std::wstring name = L"DialixTestEvent-" + std::to_wstring(GetCurrentProcessId());
  CSyncEvent first, second;
  first.CreateNamed(name.c_str());
  second.CreateNamed(name.c_str());
  first.Set();
  EXPECT_TRUE(second.Wait(0));
  EXPECT_TRUE(second.Wait(0));
}

TEST(SyncEventTest, EventHandleIsAutoReset) {
  CEventHandle event;
  EXPECT_FALSE(event.Wait(0));
  EXPECT_TRUE(event.Set());
  EXPECT_TRUE(event.Wait(INFINITE));
  EXPECT_FALSE(event.Wait(0));
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CSyncEvent.h"
#include "ZCLException.h"
#include "CThread.h"
#include "ZCLThreadName.h"

namespace {

typedef HRESULT(WINAPI* GetThreadDescriptionFn)(HANDLE, PWSTR*);

// The name the system keeps for a thread; null when the call is missing
// (Windows 7 keeps names only in the debugger).
const wchar_t* ThreadDescription(HANDLE thread, std::wstring& name) {
  auto get = reinterpret_cast<GetThreadDescriptionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  PWSTR text = nullptr;
  if (!get) return nullptr;
  if (SUCCEEDED(get(thread, &text)) && text) name = text;
  LocalFree(text);
  return name.c_str();
}

class Scripted : public CThreadImpl<Scripted> {
public:
  enum Fault { None, InStart, InRun };
  explicit Scripted(Fault fault) : m_fault(fault) {}
  ~Scripted() override { StopThread(); }
  void OnThreadStart() override {
    if (m_fault == InStart) throw 1;
  }
  unsigned Run() {
    struct Unwound {
      bool* flag;
      ~Unwound() { *flag = true; }
    } local{&m_unwound};
    m_ran = true;
    if (m_fault == InRun) throw std::string("run failed");
    return 7;
  }
  void OnThreadExit(DWORD code) override { m_exitSeen = code; }

  Fault m_fault;
  bool m_ran = false, m_unwound = false;
  DWORD m_exitSeen = 0;
};

TEST(ThreadTest, ExitCodesAndCallbacksForEachWayOfEnding) {
  struct Case {
    Scripted::Fault fault;
    DWORD code, exitSeen;
    bool ran;
  } cases[] = {{Scripted::None, 7, 7, true},
               {Scripted::InRun, 0xFFFFFFFF, 0xFFFFFFFF, true},
               {Scripted::InStart, 0xFFFFFFFF, 0, false}};
  for (const Case& c : cases) {
    Scripted thread(c.fault);
    ASSERT_TRUE(thread.StartThread());
    DWORD code = 0;
    ASSERT_TRUE(thread.GetThreadHandle().Wait(&code));
    EXPECT_EQ(code, c.code) << c.fault;
    EXPECT_EQ(thread.m_exitSeen, c.exitSeen) << c.fault;
    EXPECT_EQ(thread.m_ran, c.ran) << c.fault;
    // The procedure returns rather than ending the thread: locals unwind.
    EXPECT_EQ(thread.m_unwound, c.ran) << c.fault;
    EXPECT_FALSE(thread.GetThreadHandle().IsRunning());
  }
  Scripted never(Scripted::None);  // destroyed without waiting or closing
  EXPECT_EQ(never.GetThreadHandle().GetHandle(), nullptr);
  EXPECT_FALSE(never.GetThreadHandle().Wait());
}

// Touches only the base once started, so the base's destructor may be the
// one that asks it to stop and waits.
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

int g_firstPriority;

unsigned __stdcall RecordPriority(void*) {
  g_firstPriority = GetThreadPriority(GetCurrentThread());
  return 0;
}

TEST(ThreadTest, PriorityIsSetBeforeTheThreadRuns) {
  for (int priority : {THREAD_PRIORITY_BELOW_NORMAL, 0}) {
    CThreadHandle handle;
    ASSERT_TRUE(handle.Create(&RecordPriority, nullptr, priority));
    ASSERT_TRUE(handle.Wait());
    EXPECT_EQ(g_firstPriority, priority);  // 0 is THREAD_PRIORITY_NORMAL
    EXPECT_TRUE(handle.Close());
    EXPECT_EQ(handle.GetHandle(), nullptr);
  }
}

unsigned __stdcall NameMyself(void* seen) {
  ZCLSetThreadName(0xFFFFFFFF, "WorkerSelf");  // returns: nothing else catches it
  const wchar_t* name = ThreadDescription(GetCurrentThread(), *static_cast<std::wstring*>(seen));
  return name ? 1 : 2;
}

TEST(ThreadTest, ThreadsAreNamedWithNoDebuggerAttached) {
  ASSERT_FALSE(IsDebuggerPresent());
  std::wstring seen;
  CThreadHandle handle;
  ASSERT_TRUE(handle.Create(&NameMyself, &seen));
  DWORD code = 0;
  ASSERT_TRUE(handle.Wait(&code));
  if (code == 1) {
    EXPECT_EQ(seen, L"WorkerSelf");
  }

  Looper other;  // named from outside, by id
  ASSERT_TRUE(other.StartThread());
  ASSERT_TRUE(other.m_started.Wait(10000));
  ZCLSetThreadName(other.GetThreadHandle().GetThreadId(), "WorkerOther");
  std::wstring name;
  if (ThreadDescription(other.GetThreadHandle().GetHandle(), name)) {
    EXPECT_EQ(name, L"WorkerOther");
  }
}

TEST(SyncEventTest, ResetModesTimeoutsAndSharing) {
  CSyncEvent automatic, manual, named, sameName;
  automatic.Create();
  manual.Create(true);
  automatic.Set();
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));
  std::wstring name = L"DialixTestEvent-" + std::to_wstring(GetCurrentProcessId());
  named.CreateNamed(name.c_str());
  sameName.CreateNamed(name.c_str());
  named.Set();
  EXPECT_TRUE(sameName.Wait(0));
  EXPECT_TRUE(sameName.Wait(0));

  CEventHandle handle;
  EXPECT_FALSE(handle.Wait(0));
  EXPECT_TRUE(handle.Set());
  EXPECT_TRUE(handle.Wait(INFINITE));
  EXPECT_FALSE(handle.Wait(0));
}

// The invalid-handle value is also the process pseudo-handle: an uncreated
// event must not wait on the process.
TEST(SyncEventTest, UncreatedOrClosedEventThrowsWithTheSystemErrorCode) {
  CSyncEvent event;
  EXPECT_THROW(event.Wait(INFINITE), ZCLException);
  event.Create();
  event.Close();
  EXPECT_EQ(event.Handle(), INVALID_HANDLE_VALUE);
  try {
    event.Set();
    FAIL() << "no throw";
  } catch (const ZCLException& e) {
    EXPECT_EQ(e.GetCode(), ERROR_INVALID_HANDLE);
  }
}

}  // namespace

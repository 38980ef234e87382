#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CSyncEvent.h"
#include "ZCLException.h"
#include "CThread.h"
#include "ZCLThreadName.h"
#include "ComPtr.h"

namespace {

typedef HRESULT(WINAPI* GetThreadDescriptionFn)(HANDLE, PWSTR*);

GetThreadDescriptionFn GetThreadDescriptionCall() {
  return reinterpret_cast<GetThreadDescriptionFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
}

// The name the system keeps for a thread. Windows 7 lacks the call (names
// live only in an attached debugger there): the caller then checks what it
// can observe instead.
bool ReadThreadName(HANDLE thread, std::wstring& name) {
  GetThreadDescriptionFn get = GetThreadDescriptionCall();
  if (!get) return false;
  PWSTR text = nullptr;
  HRESULT hr = get(thread, &text);
  name = (SUCCEEDED(hr) && text) ? text : L"";
  LocalFree(text);
  return SUCCEEDED(hr);
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

// A worker that calls into an object of the joining thread's apartment.
struct CallIntoApartment {
  IStream* marshaled = nullptr;
  HRESULT hr = E_PENDING;
};

unsigned __stdcall WriteThroughProxy(void* parameter) {
  CallIntoApartment* call = static_cast<CallIntoApartment*>(parameter);
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    CComPtr<IStream> stream;
    call->hr = ::CoGetInterfaceAndReleaseStream(call->marshaled, IID_IStream, reinterpret_cast<void**>(&stream));
    ULONG written = 0;
    if (SUCCEEDED(call->hr)) call->hr = stream->Write("x", 1, &written);
  }
  ::CoUninitialize();
  return 0;
}

unsigned __stdcall JoinFromAnApartment(void* parameter) {
  bool* joined = static_cast<bool*>(parameter);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    CComPtr<IStream> stream;
    CallIntoApartment call;
    if (SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        SUCCEEDED(::CoMarshalInterThreadInterfaceInStream(IID_IStream, stream, &call.marshaled))) {
      CThreadHandle worker;
      if (worker.Create(&WriteThroughProxy, &call)) {
        *joined = worker.WaitFor(10000) && call.hr == S_OK;
        // A join that did not serve the apartment leaves the worker blocked:
        // serve it here so the test ends either way.
        MSG msg;
        while (!worker.WaitFor(0) && ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_FAILED)
          while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      }
    }
  }
  ::CoUninitialize();
  return 0;
}

// The service joins its queue from its main apartment while a task may be in
// a call into an object of that apartment: the join must serve it.
TEST(ThreadTest, AJoinOnAnApartmentThreadServesCallsIntoItsApartment) {
  bool joined = false;
  CThreadHandle apartment;
  ASSERT_TRUE(apartment.Create(&JoinFromAnApartment, &joined));
  ASSERT_TRUE(apartment.WaitFor(60000));
  EXPECT_TRUE(joined);
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

struct SelfNaming {
  DWORD id;  // what the thread passes to name itself
  bool readable = false;
  std::wstring name;
};

unsigned __stdcall NameMyself(void* argument) {
  auto* self = static_cast<SelfNaming*>(argument);
  ZCLSetThreadName(self->id ? self->id : GetCurrentThreadId(), "WorkerSelf");
  self->readable = ReadThreadName(GetCurrentThread(), self->name);
  return 5;  // reached only when the naming call returned
}

// Wine swallows the debugger's naming exception itself when no debugger is
// attached, so what is checked here is the name the system keeps.
TEST(ThreadNameTest, AThreadNamesItselfByEitherIdAndRunsOn) {
  ASSERT_FALSE(IsDebuggerPresent());
  for (DWORD id : {0xFFFFFFFFu, 0u}) {  // 0: the thread's own id, filled in by itself
    SelfNaming self{id};
    CThreadHandle handle;
    ASSERT_TRUE(handle.Create(&NameMyself, &self));
    DWORD code = 0;
    ASSERT_TRUE(handle.Wait(&code));
    EXPECT_EQ(code, 5u) << id;
    if (GetThreadDescriptionCall()) {
      EXPECT_TRUE(self.readable) << id;
      EXPECT_EQ(self.name, L"WorkerSelf") << id;
    }
  }
}

TEST(ThreadNameTest, AnotherThreadIsNamedByItsId) {
  Looper other;
  ASSERT_TRUE(other.StartThread());
  ASSERT_TRUE(other.m_started.Wait(10000));
  ZCLSetThreadName(other.GetThreadHandle().GetThreadId(), "WorkerOther");
  std::wstring name;
  if (ReadThreadName(other.GetThreadHandle().GetHandle(), name)) {
    EXPECT_EQ(name, L"WorkerOther");
  } else {
    EXPECT_EQ(GetThreadDescriptionCall(), nullptr) << "the system keeps names but gave none back";
  }
  // Naming another thread leaves the caller's own name alone.
  std::wstring mine;
  if (ReadThreadName(GetCurrentThread(), mine)) {
    EXPECT_NE(mine, L"WorkerOther");
  }
}

TEST(ThreadNameTest, AThreadThatIsGoneOrANullNameChangesNothing) {
  std::wstring before, after;
  bool readable = ReadThreadName(GetCurrentThread(), before);
  EXPECT_EQ(readable, GetThreadDescriptionCall() != nullptr);
  // Thread ids are multiples of four: this one names no thread.
  ZCLSetThreadName(0xFFFFFFF3u, "Nobody");
  ZCLSetThreadName(0xFFFFFFFF, nullptr);
  if (readable) {
    ASSERT_TRUE(ReadThreadName(GetCurrentThread(), after));
    EXPECT_EQ(after, before);
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

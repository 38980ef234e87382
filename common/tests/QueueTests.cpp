#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <atomic>
#include <memory>
#include <string>
#include <vector>
#include "CGlobalQueue.h"
#include "CSyncEvent.h"
#include "LogFileTest.h"
#include "ZCLException.h"

namespace {

const DWORD kPatience = 10000;  // ms; a bound, never a pace

// What the tasks of one test did, in the order the worker did it.
class Journal : public CLockable {
public:
  void Ran(int id) {
    CLockGuard guard(this);
    m_ran.push_back(id);
    if (static_cast<int>(m_ran.size()) == m_expected) m_done.Set();
  }
  void Deleted(int id) {
    CLockGuard guard(this);
    m_deleted.push_back(id);
  }
  std::vector<int> RanIds() {
    CLockGuard guard(this);
    return m_ran;
  }
  std::vector<int> DeletedIds() {
    CLockGuard guard(this);
    return m_deleted;
  }
  // Waits until `count` tasks in all have run.
  bool WaitForRuns(int count) {
    {
      CLockGuard guard(this);
      m_expected = count;
      if (static_cast<int>(m_ran.size()) >= count) return true;
    }
    return m_done.Wait(kPatience);
  }

private:
  std::vector<int> m_ran, m_deleted;
  int m_expected = -1;
  CEventHandle m_done;
};

class RecordingTask : public CTaskBase {
public:
  enum Fault { None, ThrowsZcl, ThrowsOther };
  RecordingTask(Journal& journal, int id, bool autoDelete = true, Fault fault = None)
      : m_journal(journal), m_id(id), m_autoDelete(autoDelete), m_fault(fault) {}
  ~RecordingTask() override { m_journal.Deleted(m_id); }
  void Execute() override {
    m_journal.Ran(m_id);
    if (m_fault == ThrowsZcl) ZCLThrowOnFalse(false, "task failed");
    if (m_fault == ThrowsOther) throw 42;
  }
  bool IsAutoDelete() override { return m_autoDelete; }
  int Id() const { return m_id; }

private:
  Journal& m_journal;
  int m_id;
  bool m_autoDelete;
  Fault m_fault;
};

// Holds the worker until released, so that later tasks queue up behind it.
class BlockingTask : public CTaskBase {
public:
  void Execute() override {
    started.Set();
    release.Wait(kPatience);
  }
  bool IsAutoDelete() override { return false; }
  CEventHandle started, release;
};

TEST(QueueTest, TasksQueuedWhileBusyAllRunInOrder) {
  Journal journal;
  BlockingTask blocker;
  CGlobalQueue queue(L"TestQueue");
  ASSERT_TRUE(queue.StartThread());
  queue.AddTask(&blocker);
  ASSERT_TRUE(blocker.started.Wait(kPatience));
  for (int id = 1; id <= 3; ++id) queue.AddTask(new RecordingTask(journal, id));
  blocker.release.Set();
  ASSERT_TRUE(journal.WaitForRuns(3));
  EXPECT_EQ(journal.RanIds(), (std::vector<int>{1, 2, 3}));
  queue.StopThread();
  EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{1, 2, 3}));
}

using QueueLogTest = LogFileTest;

TEST_F(QueueLogTest, ThrowingTasksAreDisposedOfAndTheNextOneRuns) {
  Journal journal;
  {
    CGlobalQueue queue;
    ASSERT_TRUE(queue.StartThread());
    queue.AddTask(new RecordingTask(journal, 1, true, RecordingTask::ThrowsZcl));
    queue.AddTask(new RecordingTask(journal, 2, true, RecordingTask::ThrowsOther));
    queue.AddTask(new RecordingTask(journal, 3));
    ASSERT_TRUE(journal.WaitForRuns(3));
  }
  EXPECT_EQ(journal.RanIds(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{1, 2, 3}));
  std::string text = NewText();
  size_t unknown = text.find("Unknown exception thrown by executing task!\r\n");
  ASSERT_NE(unknown, std::string::npos) << text;
  EXPECT_EQ(text.find("Unknown exception thrown by executing task!", unknown + 1), std::string::npos)
      << "a ZCLException is dropped without a line";
  EXPECT_NE(text.find("[Constructed class CTaskBase]"), std::string::npos);
  EXPECT_NE(text.find(">> CGlobalQueue::AddTask"), std::string::npos);
}

// A task that is also a COM object: the queue must release it, not delete it.
class ComTask : public IUnknown, public CTaskBase {
public:
  explicit ComTask(Journal& journal) : m_journal(journal) {}
  ~ComTask() override { m_journal.Deleted(99); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  void Execute() override { m_journal.Ran(99); }
  bool IsAutoDelete() override { return true; }
  ULONG Refs() const { return m_refs; }

private:
  Journal& m_journal;
  std::atomic<ULONG> m_refs{1};  // the client's reference
};

TEST(QueueTest, ComTaskIsReleasedNotDeleted) {
  Journal journal;
  ComTask* task = new ComTask(journal);
  {
    CGlobalQueue queue;
    ASSERT_TRUE(queue.StartThread());
    task->AddRef();  // the queue's reference
    queue.AddTask(task);
    ASSERT_TRUE(journal.WaitForRuns(1));
    queue.StopThread();
  }
  EXPECT_EQ(task->Refs(), 1u);
  EXPECT_TRUE(journal.DeletedIds().empty());
  task->Release();
  EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{99}));
}

class SelectIds : public CheckRemoval {
public:
  explicit SelectIds(std::vector<int> ids) : m_ids(std::move(ids)) {}
  bool Check(CTaskBase* task) override {
    auto* recording = dynamic_cast<RecordingTask*>(task);
    if (!recording) throw 1;  // a predicate's failure keeps the task
    for (int id : m_ids)
      if (recording->Id() == id) return true;
    return false;
  }

private:
  std::vector<int> m_ids;
};

TEST_F(QueueLogTest, RemoveTaskTakesEveryMatchAndKeepsTheOrderOfTheRest) {
  Journal journal;
  BlockingTask stranger;  // makes the predicate throw
  RecordingTask kept(journal, 5, false);
  {
    CGlobalQueue queue;
    queue.AddTask(nullptr);
    queue.RemoveTask(nullptr);
    queue.AddTask(new RecordingTask(journal, 1));
    queue.AddTask(new RecordingTask(journal, 2));
    queue.AddTask(new RecordingTask(journal, 3));  // 2 and 3: adjacent matches
    queue.AddTask(&stranger);
    queue.AddTask(new RecordingTask(journal, 4));
    queue.AddTask(&kept);
    queue.AddTask(new RecordingTask(journal, 6));
    SelectIds select({2, 3, 6});
    queue.RemoveTask(&select);
    EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{2, 3, 6}));
    stranger.release.Set();
    ASSERT_TRUE(queue.StartThread());
    ASSERT_TRUE(journal.WaitForRuns(3));
    EXPECT_TRUE(stranger.started.Wait(0));
    queue.StopThread();
  }
  EXPECT_EQ(journal.RanIds(), (std::vector<int>{1, 4, 5}));
  EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{2, 3, 6, 1, 4}));
  std::string text = NewText();
  size_t removals = 0;
  for (size_t at = text.find("Removing task from TaskQueue"); at != std::string::npos;
       at = text.find("Removing task from TaskQueue", at + 1))
    ++removals;
  EXPECT_EQ(removals, 3u);
}

TEST(QueueTest, NeverStartedQueueDisposesOnlyAutoDeleteTasks) {
  Journal journal;
  RecordingTask owned(journal, 2, false);
  {
    CGlobalQueue queue;
    queue.AddTask(new RecordingTask(journal, 1));
    queue.AddTask(&owned);
    queue.AddTask(new RecordingTask(journal, 3));
  }
  EXPECT_TRUE(journal.RanIds().empty());
  EXPECT_EQ(journal.DeletedIds(), (std::vector<int>{1, 3}));
}

// Runs on the worker: records its apartment and its thread's name, and queues
// a follow-up, which must not deadlock on the queue's lock.
class InspectingTask : public CTaskBase {
public:
  InspectingTask(CGlobalQueue& queue, Journal& journal) : m_queue(queue), m_journal(journal) {}
  void Execute() override {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (SUCCEEDED(CoGetApartmentType(&type, &qualifier))) apartment = type;
    typedef HRESULT(WINAPI * GetDescription)(HANDLE, PWSTR*);
    auto get = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    PWSTR text = nullptr;
    if (get && SUCCEEDED(get(GetCurrentThread(), &text)) && text) {
      name = text;
      LocalFree(text);
    }
    m_queue.AddTask(new RecordingTask(m_journal, 7));
  }
  bool IsAutoDelete() override { return false; }
  int apartment = -1;
  std::wstring name;

private:
  CGlobalQueue& m_queue;
  Journal& m_journal;
};

TEST(QueueTest, WorkerJoinsTheMultithreadedApartmentUnderItsName) {
  Journal journal;
  CGlobalQueue queue(L"TaskQueue");
  InspectingTask inspect(queue, journal);
  ASSERT_TRUE(queue.StartThread());
  queue.AddTask(&inspect);
  ASSERT_TRUE(journal.WaitForRuns(1));
  queue.StopThread();
  EXPECT_EQ(inspect.apartment, APTTYPE_MTA);
  if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")) {
    EXPECT_EQ(inspect.name, L"TaskQueue");
  }
}

// Disposal counts per task: a double free or a leak shows as a count other
// than one, whether the worker or the destructor disposed of the task.
class CountedTask : public CTaskBase {
public:
  explicit CountedTask(std::atomic<int>& disposals) : m_disposals(disposals) {}
  ~CountedTask() override { ++m_disposals; }
  void Execute() override {}
  bool IsAutoDelete() override { return true; }

private:
  std::atomic<int>& m_disposals;
};

TEST(QueueTest, StoppingWithTasksQueuedDisposesOfEachTaskOnce) {
  const int rounds = 200, tasksPerRound = 20;
  for (int round = 0; round < rounds; ++round) {
    std::unique_ptr<std::atomic<int>[]> disposals(new std::atomic<int>[tasksPerRound]);
    for (int i = 0; i < tasksPerRound; ++i) disposals[i] = 0;
    Journal journal;
    ComTask* com = new ComTask(journal);
    {
      CGlobalQueue queue;
      ASSERT_TRUE(queue.StartThread());
      for (int i = 0; i < tasksPerRound; ++i) {
        queue.AddTask(new CountedTask(disposals[i]));
        if (i == tasksPerRound / 2) {
          com->AddRef();
          queue.AddTask(com);
        }
        if (i == round % tasksPerRound) queue.SignalStop();
      }
    }
    for (int i = 0; i < tasksPerRound; ++i) ASSERT_EQ(disposals[i], 1) << "round " << round << " task " << i;
    ASSERT_EQ(com->Refs(), 1u) << "round " << round;
    com->Release();
  }
}

}  // namespace

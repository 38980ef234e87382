#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <atomic>
#include <string>
#include <vector>
#include "CGlobalQueue.h"
#include "CSyncEvent.h"
#include "LogFileTest.h"
#include "ZCLException.h"

namespace {

const DWORD kPatience = 10000;  // ms; a bound, never a pace

// What the tasks of one test did, in order.
class Journal : public CLockable {
public:
  void Note(std::vector<int>& list, int id) {
    CLockGuard guard(this);
    list.push_back(id);
    if (&list == &ran && static_cast<int>(ran.size()) == m_expected) m_done.Set();
  }
  std::vector<int> Get(const std::vector<int>& list) {
    CLockGuard guard(this);
    return list;
  }
  bool WaitForRuns(int count) {
    {
      CLockGuard guard(this);
      m_expected = count;
      if (static_cast<int>(ran.size()) >= count) return true;
    }
    return m_done.Wait(kPatience);
  }
  std::vector<int> ran, deleted;

private:
  int m_expected = -1;
  CEventHandle m_done;
};

class RecordingTask : public CTaskBase {
public:
  enum Fault { None, ThrowsZcl, ThrowsOther };
  RecordingTask(Journal& journal, int id, bool autoDelete = true, Fault fault = None)
      : m_id(id), m_journal(journal), m_autoDelete(autoDelete), m_fault(fault) {}
  ~RecordingTask() override { m_journal.Note(m_journal.deleted, m_id); }
  void Execute() override {
    m_journal.Note(m_journal.ran, m_id);
    if (m_fault == ThrowsZcl) ZCLThrowOnFalse(false, "task failed");
    if (m_fault == ThrowsOther) throw 42;
  }
  bool IsAutoDelete() override { return m_autoDelete; }
  const int m_id;

private:
  Journal& m_journal;
  bool m_autoDelete;
  Fault m_fault;
};

// Holds the worker until released; notes where it runs and queues a task of
// its own (which would deadlock if the queue's lock were held meanwhile).
class BlockingTask : public CTaskBase {
public:
  BlockingTask(CGlobalQueue* queue, Journal* journal) : m_queue(queue), m_journal(journal) {}
  void Execute() override {
    APTTYPEQUALIFIER qualifier;
    CoGetApartmentType(&apartment, &qualifier);
    typedef HRESULT(WINAPI * GetDescription)(HANDLE, PWSTR*);
    auto get = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    PWSTR text = nullptr;
    if (get && SUCCEEDED(get(GetCurrentThread(), &text)) && text) name = text;
    LocalFree(text);
    started.Set();
    release.Wait(kPatience);
    if (m_queue) m_queue->AddTask(new RecordingTask(*m_journal, 4));
  }
  bool IsAutoDelete() override { return false; }
  CEventHandle started, release;
  APTTYPE apartment = APTTYPE_CURRENT;
  std::wstring name;

private:
  CGlobalQueue* m_queue;
  Journal* m_journal;
};

TEST(QueueTest, TasksQueuedWhileBusyAllRunInOrderOnANamedMtaWorker) {
  Journal journal;
  CGlobalQueue queue(L"TaskQueue");
  BlockingTask blocker(&queue, &journal);
  ASSERT_TRUE(queue.StartThread());
  queue.AddTask(&blocker);
  ASSERT_TRUE(blocker.started.Wait(kPatience));
  // The auto-reset event is signalled three times before the worker waits.
  for (int id = 1; id <= 3; ++id) queue.AddTask(new RecordingTask(journal, id));
  blocker.release.Set();
  ASSERT_TRUE(journal.WaitForRuns(4));
  queue.StopThread();
  EXPECT_EQ(journal.Get(journal.ran), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(blocker.apartment, APTTYPE_MTA);
  if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")) {
    EXPECT_EQ(blocker.name, L"TaskQueue");
  }
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
  EXPECT_EQ(journal.Get(journal.ran), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{1, 2, 3}));
  // Only the unknown exception is logged; the ZCLException is dropped.
  std::string text = NewText(), line = "Unknown exception thrown by executing task!\r\n";
  size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.find(line, at + 1), std::string::npos);
}

// A task that is also a COM object: released by the queue, never deleted.
class ComTask : public IUnknown, public CTaskBase {
public:
  explicit ComTask(Journal& journal) : m_journal(journal) {}
  ~ComTask() override { m_journal.Note(m_journal.deleted, 99); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  void Execute() override { m_journal.Note(m_journal.ran, 99); }
  bool IsAutoDelete() override { return true; }
  std::atomic<ULONG> refs{1};  // the client's reference

private:
  Journal& m_journal;
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
  }
  EXPECT_EQ(task->refs, 1u);
  EXPECT_TRUE(journal.Get(journal.deleted).empty());
  task->Release();
  EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{99}));
}

class SelectIds : public CheckRemoval {
public:
  explicit SelectIds(std::vector<int> ids) : m_ids(std::move(ids)) {}
  bool Check(CTaskBase* task) override {
    auto* recording = dynamic_cast<RecordingTask*>(task);
    if (!recording) throw 1;  // a failing predicate keeps the task
    for (int id : m_ids)
      if (recording->m_id == id) return true;
    return false;
  }

private:
  std::vector<int> m_ids;
};

TEST_F(QueueLogTest, RemoveTaskTakesEveryMatchAndKeepsTheOrderOfTheRest) {
  Journal journal;
  BlockingTask stranger(nullptr, nullptr);
  RecordingTask kept(journal, 5, false);
  stranger.release.Set();
  {
    CGlobalQueue queue;
    queue.AddTask(nullptr);
    queue.RemoveTask(nullptr);
    for (int id : {1, 2, 3}) queue.AddTask(new RecordingTask(journal, id));  // 2, 3 adjacent
    queue.AddTask(&stranger);
    queue.AddTask(new RecordingTask(journal, 4));
    queue.AddTask(&kept);
    queue.AddTask(new RecordingTask(journal, 6));
    SelectIds select({2, 3, 6});
    queue.RemoveTask(&select);
    EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{2, 3, 6}));
    ASSERT_TRUE(queue.StartThread());
    ASSERT_TRUE(journal.WaitForRuns(3));
  }
  EXPECT_TRUE(stranger.started.Wait(0));
  EXPECT_EQ(journal.Get(journal.ran), (std::vector<int>{1, 4, 5}));
  EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{2, 3, 6, 1, 4}));
  std::string text = NewText();
  int removals = 0;
  for (size_t at = text.find("Removing task from TaskQueue"); at != std::string::npos;
       at = text.find("Removing task from TaskQueue", at + 1))
    ++removals;
  EXPECT_EQ(removals, 3);
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
  EXPECT_TRUE(journal.Get(journal.ran).empty());
  EXPECT_EQ(journal.Get(journal.deleted), (std::vector<int>{1, 3}));
}

// A queue whose stop event is closed under the waiting worker.
class BrokenQueue : public CGlobalQueue {
public:
  struct Breaker : CTaskBase {
    explicit Breaker(BrokenQueue& queue) : m_queue(queue) {}
    void Execute() override { m_queue.m_stop.Close(); }
    bool IsAutoDelete() override { return true; }
    BrokenQueue& m_queue;
  };
};

TEST_F(QueueLogTest, AFailedWaitEndsTheWorkerWithALogLine) {
  BrokenQueue queue;
  ASSERT_TRUE(queue.StartThread());
  queue.AddTask(new BrokenQueue::Breaker(queue));
  ASSERT_TRUE(queue.GetThreadHandle().WaitFor(kPatience)) << "the worker spins on a failed wait";
  DWORD code = 0;
  EXPECT_TRUE(queue.GetThreadHandle().Wait(&code));
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_NE(NewText().find("Waiting for tasks failed (error 6); the worker stops."), std::string::npos);
}

// Whether the worker or the destructor disposed of a task, each is disposed
// of exactly once: a double free or a leak shows as another count.
TEST(QueueTest, StoppingWithTasksQueuedDisposesOfEachTaskOnce) {
  struct Counted : CTaskBase {
    explicit Counted(std::atomic<int>& count) : disposals(count) {}
    ~Counted() override { ++disposals; }
    void Execute() override {}
    bool IsAutoDelete() override { return true; }
    std::atomic<int>& disposals;
  };
  const int rounds = 200, tasks = 20;
  for (int round = 0; round < rounds; ++round) {
    std::vector<std::atomic<int>> disposals(tasks);
    Journal journal;
    ComTask* com = new ComTask(journal);
    {
      CGlobalQueue queue;
      ASSERT_TRUE(queue.StartThread());
      for (int i = 0; i < tasks; ++i) {
        queue.AddTask(new Counted(disposals[i]));
        if (i == tasks / 2) {
          com->AddRef();
          queue.AddTask(com);
        }
        if (i == round % tasks) queue.SignalStop();
      }
    }
    for (int i = 0; i < tasks; ++i) ASSERT_EQ(disposals[i], 1) << "round " << round << " task " << i;
    ASSERT_EQ(com->refs, 1u) << "round " << round;
    com->Release();
  }
}

}  // namespace

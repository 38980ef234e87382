#pragma once
#include <windows.h>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// What a sink was told, from any thread, with bounded waits for it.
template <class Event>
class CRecorder {
public:
  void Add(const Event& e) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(e);
    m_changed.notify_all();
  }
  // True once an event the test accepts has come, within the bound.
  bool WaitFor(const std::function<bool(const std::vector<Event>&)>& done, DWORD ms = 20000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done(m_events); });
  }
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }

private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Event> m_events;
};

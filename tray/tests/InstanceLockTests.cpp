#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CInstanceLock.h"
#include "ZCLException.h"
#include "ZCLHandle.h"

namespace {

std::wstring UniqueName(const char* test) {
  return L"dialix-tray-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::wstring(test, test + strlen(test));
}

HANDLE g_called = nullptr;
void SignalCalled(const wchar_t* text) {
  if (text && *text == L'\0') ::SetEvent(g_called);
}

bool IsSignalled(const std::wstring& eventName) {
  CHandle event(::OpenEventW(SYNCHRONIZE, FALSE, eventName.c_str()));
  return event.Get() && ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

TEST(InstanceLock, OnlyTheFirstLockOwnsTheInstance) {
  std::wstring name = UniqueName("owner");
  CInstanceLock first(name.c_str(), 1);
  CInstanceLock second(name.c_str(), 1);
  EXPECT_TRUE(first.TryAcquire());
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_TRUE(CHandle(::OpenMutexW(SYNCHRONIZE, FALSE, (L"Local\\" + name + L"-instance").c_str())).Get());
}

TEST(InstanceLock, ObjectNamesFollowTheScope) {
  std::wstring name = UniqueName("scope");
  {
    CInstanceLock local(name.c_str(), 1);
    EXPECT_TRUE(CHandle(::OpenEventW(SYNCHRONIZE, FALSE, (L"Local\\" + name + L"-event").c_str())).Get());
  }
  {
    CInstanceLock bare(name.c_str(), 7);
    EXPECT_TRUE(CHandle(::OpenEventW(SYNCHRONIZE, FALSE, (name + L"-event").c_str())).Get());
  }
}

TEST(InstanceLock, StopRequestWakesTheWatcherWhichCallsBackOnce) {
  std::wstring name = UniqueName("watch");
  CHandle called(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_called = called.Get();
  CInstanceLock running(name.c_str(), 1);
  ASSERT_TRUE(running.TryAcquire());
  running.SetCallback(&SignalCalled);
  running.StartWatcher();

  CInstanceLock stopper(name.c_str(), 1);
  EXPECT_TRUE(stopper.SignalOtherInstance(L"-stop"));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(called.Get(), 10000));
  EXPECT_TRUE(running.WaitForWatcher(10000));
  EXPECT_FALSE(IsSignalled(L"Local\\" + name + L"-event"));
}

// A "-stop" meant for an instance that was already ending leaves the event
// set; the next instance must not take it for its own.
TEST(InstanceLock, AcquiringClearsAStopRequestLeftBehind) {
  std::wstring name = UniqueName("leftover");
  CInstanceLock stopper(name.c_str(), 1);
  stopper.SignalOtherInstance(L"-stop");
  CInstanceLock next(name.c_str(), 1);
  ASSERT_TRUE(next.TryAcquire());
  EXPECT_FALSE(IsSignalled(L"Local\\" + name + L"-event"));
}

TEST(InstanceLock, DestroyingAWatchingLockEndsItsWatcher) {
  std::wstring name = UniqueName("teardown");
  auto lock = std::make_unique<CInstanceLock>(name.c_str(), 1);
  ASSERT_TRUE(lock->TryAcquire());
  lock->StartWatcher();
  lock.reset();  // returns only once the watcher has ended
  CInstanceLock again(name.c_str(), 1);
  EXPECT_TRUE(again.TryAcquire());
}

TEST(InstanceLock, EventThatCannotBeCreatedThrowsTheSystemCode) {
  std::wstring name = UniqueName("clash");
  CHandle squatter(::CreateMutexW(nullptr, FALSE, (L"Local\\" + name + L"-event").c_str()));
  try {
    CInstanceLock lock(name.c_str(), 1);
    FAIL() << "constructed";
  } catch (const ZCLException& e) {
    EXPECT_EQ(ERROR_INVALID_HANDLE, static_cast<DWORD>(e.GetCode()));
  }
}

}  // namespace

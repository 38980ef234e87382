#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include "CCallBackImp.h"
#include "CInstanceLock.h"
#include "CZembraTrayWindow.h"
#include "FakeService.h"
#include "RecordingShell.h"
#include "RunTray.h"
#include "TrayTestSupport.h"
#include "ZCLWait.h"
#include "resource.h"

namespace {

const std::wstring kHelp =
    L"Valid command line arguments for the Orvex Dialix are:\r\n-help, /? \tshow this help\r\n"
    L"-stop \tstop already running instance of the Orvex Dialix";
const std::wstring kFailure = L"Failed to initialize Orvex Dialix. Try to reinstall application.";

TEST(TrayEntry, StopRequestsEndWithOneWhateverElseTheLineHolds) {
  CRecordingShell shell;
  EXPECT_EQ(1, RunTray(L"-stop"));
  EXPECT_EQ(1, RunTray(L"x-stopper"));
  EXPECT_TRUE(shell.boxes.empty());
}

TEST(TrayEntry, AnyOtherTextShowsTheHelpBox) {
  CRecordingShell shell;
  for (const wchar_t* line : {L"-STOP", L"   ", L"/?", L"-help", L"anything"}) {
    shell.boxes.clear();
    EXPECT_EQ(1, RunTray(line)) << line;
    ASSERT_EQ(1u, shell.boxes.size()) << line;
    EXPECT_EQ(kHelp, shell.boxes[0].text);
    EXPECT_EQ(L"Orvex Dialix", shell.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), shell.boxes[0].style);
  }
}

TEST(TrayEntry, ASecondInstanceEndsAtOnceWithZero) {
  CRecordingShell shell;
  CInstanceLock first(kTrayLockName, 1);
  ASSERT_TRUE(first.TryAcquire());
  EXPECT_EQ(0, RunTray(L""));
  EXPECT_TRUE(shell.boxes.empty());
}

TEST(TrayEntry, ALockEventThatCannotBeMadeIsAFailedStart) {
  CRecordingShell shell;
  CHandle squatter(::CreateMutexW(nullptr, FALSE, (std::wstring(L"Local\\") + kTrayLockName + L"-event").c_str()));
  EXPECT_EQ(2, RunTray(L""));
  ASSERT_EQ(1u, shell.boxes.size());
  EXPECT_EQ(kFailure, shell.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), shell.boxes[0].style);
}

TEST(TrayEntry, StopEndsTheRunningInstanceWhichDisconnectsAndReturnsZero) {
  CZembraTrayWindow::s_connectWait = 2000;
  CRecordingShell shell;
  CFakeZembraRegistration service;
  std::atomic<int> result{-1};
  std::thread running([&] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    result = RunTray(L"");
    ::CoUninitialize();
  });
  ASSERT_TRUE(ZCLWaitUntil([] { return GetRegisteredTrayWindow() != nullptr; }, 10000));
  EXPECT_EQ(1, RunTray(L"-stop"));
  running.join();
  EXPECT_EQ(0, result.load());
  EXPECT_EQ((std::vector<std::wstring>{L"client-1"}), service.Fake().Disconnects());
  EXPECT_EQ(nullptr, GetRegisteredTrayWindow());
  // The lock went with it: the next start owns the instance again.
  CInstanceLock next(kTrayLockName, 1);
  EXPECT_TRUE(next.TryAcquire());
}

}  // namespace

#include <windows.h>
#include <htmlhelp.h>
#include <gtest/gtest.h>
#include <string>
#include "AppFxControls.h"
#include "WindowProbe.h"
#include "ZCLWait.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = L"";
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Dispatches what the viewer posted to itself (its windows belong to this
// thread) until nothing is pending.
bool RunPostedMessages() {
  return ZCLWaitUntil([] {
    MSG msg;
    return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }, 5000);
}

// The viewer of the wizard's help file: each case opens what it needs and
// closes every viewer window at its end.
class HtmlHelpTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_file = ProgramFolder() + L"Help\\Dialix_ENG.chm";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_file.c_str())) << "the help file is built beside us";
    ASSERT_TRUE(AppFxHtmlHelpInitialize());
  }
  void TearDown() override {
    AppFxHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
    for (HWND window : m_opened) EXPECT_FALSE(::IsWindow(window)) << "the viewer stays open";
    AppFxHtmlHelpUninitialize();
  }

  HWND Opened(HWND window) {
    if (window) m_opened.push_back(window);
    return window;
  }

  void ExpectViewer(HWND window) {
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(::IsWindowVisible(window)) << "the viewer window is not visible";
    EXPECT_EQ(window, ::GetAncestor(window, GA_ROOT)) << "a top-level window";
    EXPECT_EQ(0, ::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
  }

  std::wstring m_file;
  std::vector<HWND> m_opened;
};

TEST_F(HtmlHelpTest, AContextOfTheMapOpensTheViewer) {
  HWND viewer = Opened(AppFxHtmlHelp(nullptr, m_file.c_str(), HH_HELP_CONTEXT, 3602));
  ExpectViewer(viewer);
  std::wstring folder = WindowProbe::ScreenshotFolder();
  if (!folder.empty()) {
    EXPECT_TRUE(RunPostedMessages());
    ::RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(WindowProbe::SaveScreen(folder + L"\\help_context_3602.png"));
  }
  // Every id of the map names a topic.
  for (DWORD id = 3600; id <= 3610; ++id)
    EXPECT_NE(nullptr, Opened(AppFxHtmlHelp(nullptr, m_file.c_str(), HH_HELP_CONTEXT, id))) << id;
}

TEST_F(HtmlHelpTest, AnUnknownContextShowsNothingAndTheDefaultTopicStillOpens) {
  EXPECT_EQ(nullptr, Opened(AppFxHtmlHelp(nullptr, m_file.c_str(), HH_HELP_CONTEXT, 3599)));
  EXPECT_EQ(nullptr, Opened(AppFxHtmlHelp(nullptr, m_file.c_str(), HH_HELP_CONTEXT, 3611)));
  ExpectViewer(Opened(AppFxHtmlHelp(::GetDesktopWindow(), m_file.c_str(), HH_DISPLAY_TOPIC, 0)));
}

TEST_F(HtmlHelpTest, AMissingFileFailsEveryWay) {
  std::wstring missing = ProgramFolder() + L"Help\\Dialix_XYZ.chm";
  EXPECT_EQ(nullptr, Opened(AppFxHtmlHelp(nullptr, missing.c_str(), HH_HELP_CONTEXT, 3602)));
  EXPECT_EQ(nullptr, Opened(AppFxHtmlHelp(::GetDesktopWindow(), missing.c_str(), HH_DISPLAY_TOPIC, 0)));
  EXPECT_EQ(nullptr, Opened(AppFxHtmlHelp(nullptr, nullptr, HH_DISPLAY_TOPIC, 0)));
}

TEST(HtmlHelpLifetime, NothingShowsBeforeInitialiseOrAfterUninitialise) {
  std::wstring file = ProgramFolder() + L"Help\\Dialix_ENG.chm";
  EXPECT_EQ(nullptr, AppFxHtmlHelp(nullptr, file.c_str(), HH_HELP_CONTEXT, 3602));
  ASSERT_TRUE(AppFxHtmlHelpInitialize());
  AppFxHtmlHelpUninitialize();
  EXPECT_EQ(nullptr, AppFxHtmlHelp(nullptr, file.c_str(), HH_DISPLAY_TOPIC, 0));
}

// A program that ends with help still open: the viewer's windows go before
// its library does, and the viewer works again after a new start.
TEST(HtmlHelpLifetime, UninitialiseClosesAViewerLeftOpen) {
  std::wstring file = ProgramFolder() + L"Help\\Dialix_ENG.chm";
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(AppFxHtmlHelpInitialize());
    HWND viewer = AppFxHtmlHelp(nullptr, file.c_str(), HH_HELP_CONTEXT, 3610);
    ASSERT_NE(nullptr, viewer);
    AppFxHtmlHelpUninitialize();
    EXPECT_FALSE(::IsWindow(viewer));
    EXPECT_TRUE(RunPostedMessages());  // nothing is left to call into the unloaded viewer
  }
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include "AppModule.h"
#include "CLaunchSettings.h"
#include "CZembraTrayWindow.h"
#include "FakeService.h"
#include "RecordingShell.h"
#include "TrayTestSupport.h"
#include "ZCLWait.h"

namespace {

HWND FindDialog(const wchar_t* caption) {
  HWND found = nullptr;
  // Visible: the dialog has been initialised and runs its loop.
  ZCLWaitUntil([&] { return (found = ::FindWindowW(L"#32770", caption)) != nullptr && ::IsWindowVisible(found); },
               10000);
  return found;
}

int CountDialogs(const wchar_t* caption) {
  struct Search {
    const wchar_t* caption;
    int count;
  } search = {caption, 0};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t text[128] = L"";
        ::GetWindowTextW(window, text, 128);
        if (wcscmp(text, s->caption) == 0) ++s->count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.count;
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[2048] = L"";
  ::GetDlgItemTextW(dialog, id, text, 2048);
  return text;
}

class TrayDialogs : public testing::Test {
protected:
  void SetUp() override {
    CZembraTrayWindow::s_connectWait = 2000;
    m_config = CLaunchSettings::GetConfigurationPath();
    ::DeleteFileW(m_config.c_str());
    _pWtlModule->AddMessageLoop(&m_loop);
    m_window = std::make_unique<CZembraTrayWindow>();
    ASSERT_EQ(S_OK, m_window->ConnectService());
    ASSERT_TRUE(m_window->CreateTray());
  }
  void TearDown() override {
    m_window.reset();
    _pWtlModule->RemoveMessageLoop();
    ::DeleteFileW(m_config.c_str());
  }

  // Opens the settings dialog from the menu command and lets the driver act
  // on it from another thread while this thread runs the dialog.
  void RunSettings(const std::function<void(HWND)>& driver) {
    std::atomic<bool> done{false};
    std::thread thread([&] {
      HWND dialog = FindDialog(L"Orvex Dialix Settings");
      if (dialog) driver(dialog);
      done = true;
    });
    ::PostMessageW(*m_window, WM_COMMAND, ID_SETTINGS, 0);
    EXPECT_TRUE(PumpUntil([&] { return done && !m_window->GetSettingsDlg().IsWindow(); }, 20000));
    thread.join();
  }
  static void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
  }
  static bool WaitClosed(HWND dialog) {
    return ZCLWaitUntil([&] { return !::IsWindow(dialog); }, 10000);
  }

  CRecordingShell m_shell;
  CFakeZembraRegistration m_service;
  CMessageLoop m_loop;
  std::unique_ptr<CZembraTrayWindow> m_window;
  std::wstring m_config;
};

TEST_F(TrayDialogs, AboutIsOneWindowShownAgainAndHiddenByItsKeys) {
  ::SendMessageW(*m_window, WM_COMMAND, ID_APP_ABOUT, 0);
  ::SendMessageW(*m_window, WM_COMMAND, ID_APP_ABOUT, 0);
  EXPECT_EQ(1, CountDialogs(L"About Orvex Dialix"));
  HWND about = m_window->GetAboutDlg();
  ASSERT_TRUE(::IsWindowVisible(about));
  std::wstring text = ItemText(about, IDC_ABOUT_TEXT);
  EXPECT_NE(std::wstring::npos, text.find(L"System information:\r\nMicrosoft  Service Pack 1 (Build 7601)\r\n"))
      << text;
  EXPECT_NE(std::wstring::npos, text.find(L"Trelk: Not found!\r\nOrvex Cable Driver: Not found!\r\n")) << text;
  RECT client;
  ::GetClientRect(about, &client);
  EXPECT_EQ(450, client.right);
  EXPECT_EQ(280, client.bottom);
  PumpUntil([] { return false; }, 200);
  SaveScreenshot(about, L"tray-about");

  // Escape reaches the dialog through the thread loop's filter.
  MSG escape = {about, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(m_loop.PreTranslateMessage(&escape));
  EXPECT_FALSE(::IsWindowVisible(about));
  ::SendMessageW(*m_window, WM_COMMAND, ID_APP_ABOUT, 0);
  EXPECT_EQ(about, static_cast<HWND>(m_window->GetAboutDlg()));
  EXPECT_TRUE(::IsWindowVisible(about));
  ::SendMessageW(about, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(::IsWindowVisible(about));
}

TEST_F(TrayDialogs, AboutWithoutItsBackgroundKeepsItsResourceSize) {
  m_window->GetAboutDlg().m_backgroundId = 999;
  ::SendMessageW(*m_window, WM_COMMAND, ID_APP_ABOUT, 0);
  RECT client, units = {0, 0, 299, 171};
  ::GetClientRect(m_window->GetAboutDlg(), &client);
  ::MapDialogRect(m_window->GetAboutDlg(), &units);
  EXPECT_EQ(units.right, client.right);
  EXPECT_EQ(units.bottom, client.bottom);
}

TEST_F(TrayDialogs, SettingsWithoutAFileShowDefaultsAndInternetExplorerAloneIsWritten) {
  bool initial[4] = {}, switched[4] = {};
  std::wstring commandLine;
  LRESULT tools = 0;
  RunSettings([&](HWND dialog) {
    const int ids[] = {IDC_FIREFOX_PATH, IDC_BROWSE, IDC_FIREFOX_COMMAND_LINE, IDC_IE_COMMAND_LINE};
    ZCLWaitUntil([&] { return ::IsWindowVisible(dialog) != FALSE; }, 5000);
    for (int i = 0; i < 4; ++i) initial[i] = ::IsWindowEnabled(::GetDlgItem(dialog, ids[i])) != FALSE;
    commandLine = ItemText(dialog, IDC_FIREFOX_COMMAND_LINE);
    tools = ::SendMessageW(m_window->GetSettingsDlg().m_wndToolTip, TTM_GETTOOLCOUNT, 0, 0);
    SaveScreenshot(dialog, L"tray-settings-firefox");
    ::SendMessageW(::GetDlgItem(dialog, IDC_IE), BM_CLICK, 0, 0);
    for (int i = 0; i < 4; ++i) switched[i] = ::IsWindowEnabled(::GetDlgItem(dialog, ids[i])) != FALSE;
    SaveScreenshot(dialog, L"tray-settings-ie");
    // Asking again while it shows opens no second dialog.
    ::SendMessageW(*m_window, WM_COMMAND, ID_SETTINGS, 0);
    Press(dialog, IDOK);
    WaitClosed(dialog);
  });
  EXPECT_TRUE(initial[0] && initial[1] && initial[2] && !initial[3]);
  EXPECT_TRUE(!switched[0] && !switched[1] && !switched[2] && switched[3]);
  EXPECT_EQ(L"-dialix", commandLine);
  EXPECT_EQ(5, tools);
  std::string bytes = ReadBytes(m_config);
  EXPECT_NE(std::string::npos, bytes.find("<OrvexDialixTray>\n\t\t<SelectedBrowser>IE</SelectedBrowser>\n\t</OrvexDialixTray>"))
      << bytes;
  EXPECT_EQ(std::string::npos, bytes.find("Firefox")) << bytes;
  EXPECT_TRUE(m_shell.boxes.empty());
}

TEST_F(TrayDialogs, SettingsOkWithoutChangesWritesNoSetting) {
  RunSettings([&](HWND dialog) {
    Press(dialog, IDOK);
    WaitClosed(dialog);
  });
  std::string bytes = ReadBytes(m_config);
  EXPECT_EQ(std::string::npos, bytes.find("OrvexDialixTray")) << bytes;
}

TEST_F(TrayDialogs, SettingsCancelLeavesTheFile) {
  const std::string file =
      "<Configuration><OrvexDialixTray><Firefox><Path>C:\\ff.exe</Path></Firefox></OrvexDialixTray></Configuration>";
  WriteBytes(m_config, file);
  std::wstring shownPath;
  RunSettings([&](HWND dialog) {
    shownPath = ItemText(dialog, IDC_FIREFOX_PATH);
    ::SendMessageW(::GetDlgItem(dialog, IDC_FIREFOX_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\typed.exe"));
    Press(dialog, IDCANCEL);
    WaitClosed(dialog);
  });
  EXPECT_EQ(L"C:\\ff.exe", shownPath);
  EXPECT_EQ(file, ReadBytes(m_config));
}

TEST_F(TrayDialogs, SettingsOkKeepsWhatWasSetForTheWizardByHand) {
  WriteBytes(m_config, "<Configuration><OrvexDialixTray><PWZ><Path>C:\\Wizard\\Pairwell.exe</Path>"
                       "<CommandLine>/no_la</CommandLine></PWZ></OrvexDialixTray></Configuration>");
  RunSettings([&](HWND dialog) {
    ::SendMessageW(::GetDlgItem(dialog, IDC_FIREFOX_COMMAND_LINE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"-other"));
    Press(dialog, IDOK);
    WaitClosed(dialog);
  });
  CLaunchSettings reread;
  reread.Load(m_config.c_str());
  EXPECT_EQ(L"C:\\Wizard\\Pairwell.exe", reread.GetWizardPath());
  EXPECT_EQ(L"/no_la", reread.GetWizardCommandLine());
  EXPECT_EQ(L"-other", reread.GetBrowserCommandLine(L"Firefox"));
}

TEST_F(TrayDialogs, SettingsThatCannotBeSavedShowABox) {
  // A folder where the file should be: the save fails.
  ::CreateDirectoryW(m_config.c_str(), nullptr);
  RunSettings([&](HWND dialog) {
    ::SendMessageW(::GetDlgItem(dialog, IDC_IE), BM_CLICK, 0, 0);
    Press(dialog, IDOK);
    WaitClosed(dialog);
  });
  ::RemoveDirectoryW(m_config.c_str());
  ASSERT_EQ(1u, m_shell.boxes.size());
  EXPECT_EQ(L"Failed to save xml document.", m_shell.boxes[0].text);
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include "CLaunchSettings.h"
#include "CTrayNotifyIcon.h"
#include "CZembraTrayWindow.h"
#include "FakeService.h"
#include "RecordingShell.h"
#include "TrayTestSupport.h"
#include "ZCLWait.h"

namespace {

const std::wstring kCaption = L"Orvex Dialix";

class TrayWindow : public testing::Test {
protected:
  void SetUp() override { CZembraTrayWindow::s_connectWait = 2000; }
  void TearDown() override { m_window.reset(); }

  CZembraTrayWindow& Start(const std::vector<FakePhone>& phones) {
    m_service.Fake().SetPhones(phones);
    m_window = std::make_unique<CZembraTrayWindow>();
    EXPECT_EQ(S_OK, m_window->ConnectService());
    EXPECT_TRUE(m_window->CreateTray());
    return *m_window;
  }
  // The tooltip once the device summary has arrived.
  std::wstring SummaryTooltip() {
    PumpUntil([&] { return m_shell.Last(NIF_TIP) != nullptr; });
    const NOTIFYICONDATAW* tip = m_shell.Last(NIF_TIP);
    return tip ? tip->szTip : L"(none)";
  }
  HICON LastPicture() {
    const NOTIFYICONDATAW* icon = m_shell.Last(NIF_ICON);
    return icon ? icon->hIcon : nullptr;
  }
  HMENU Popup() { return ::GetSubMenu(m_window->GetIcon().GetMenu(), 0); }

  CRecordingShell m_shell;
  CFakeZembraRegistration m_service;
  std::unique_ptr<CZembraTrayWindow> m_window;
};

TEST_F(TrayWindow, ConnectedAndConnectingPhonesShowTheMixedPictureAndLines) {
  Start({{L"Alpha", DeviceConnected, false}, {L"Beta", DeviceConnecting, false}, {L"Gamma", DeviceDisconnected, false}});
  EXPECT_EQ(kCaption + L"\r\nAlpha connected\nBeta connecting", SummaryTooltip());
  EXPECT_EQ(LoadSmallIcon(IDI_MIXED), LastPicture());
  EXPECT_TRUE(::GetMenuState(Popup(), ID_LAUNCH_WIZARD, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_EQ(static_cast<UINT>(ID_OPEN_BROWSER), ::GetMenuDefaultItem(Popup(), FALSE, 0));
  EXPECT_EQ((std::vector<std::wstring>{L"client-1"}), m_service.Fake().Queries());
  // The first add carried the caption and the disconnected picture.
  ASSERT_FALSE(m_shell.records.empty());
  EXPECT_EQ(static_cast<DWORD>(NIM_ADD), m_shell.records[0].message);
  EXPECT_EQ(kCaption, m_shell.records[0].data.szTip);
  EXPECT_EQ(LoadSmallIcon(IDI_DISCONNECTED), m_shell.records[0].data.hIcon);
  EXPECT_EQ(199u, m_shell.records[0].data.uID);
}

TEST_F(TrayWindow, OnlyDisconnectedPhonesReadAsNoDevices) {
  Start({{L"Gamma", DeviceDisconnected, false}});
  EXPECT_EQ(kCaption + L"\r\nNo devices connected", SummaryTooltip());
  EXPECT_EQ(LoadSmallIcon(IDI_DISCONNECTED), LastPicture());
  EXPECT_FALSE(::GetMenuState(Popup(), ID_LAUNCH_WIZARD, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_EQ(static_cast<UINT>(ID_LAUNCH_WIZARD), ::GetMenuDefaultItem(Popup(), FALSE, 0));
}

TEST_F(TrayWindow, AnEntryThatCannotBeReadIsSkipped) {
  Start({{L"Broken", DeviceConnected, true}, {L"Alpha", DeviceConnected, false}});
  EXPECT_EQ(kCaption + L"\r\nAlpha connected", SummaryTooltip());
  EXPECT_EQ(LoadSmallIcon(IDI_CONNECTED), LastPicture());
}

TEST_F(TrayWindow, DeviceEventShowsABalloonAndQueriesAgain) {
  Start({});
  SummaryTooltip();
  m_service.Fake().SetPhones({{L"Delta", DeviceConnecting, false}});
  m_service.Fake().Callback()->DeviceStateChanged(CComBSTR(L"client-1"), CFakeDevice::Make({L"Delta", 4, false}));
  ASSERT_TRUE(PumpUntil([&] { return m_shell.Last(NIF_INFO) != nullptr; }));
  const NOTIFYICONDATAW* balloon = m_shell.Last(NIF_INFO);
  EXPECT_STREQ(L"", balloon->szInfo);
  EXPECT_STREQ(L"Delta", balloon->szInfoTitle);
  EXPECT_EQ(static_cast<DWORD>(NIIF_NONE | NIIF_NOSOUND), balloon->dwInfoFlags);
  EXPECT_TRUE(PumpUntil([&] { return LastPicture() == LoadSmallIcon(IDI_CONNECTING); }));

  m_service.Fake().Callback()->NewDevice(CComBSTR(L"client-1"), CFakeDevice::Make({L"Echo", DeviceConnected, false}));
  EXPECT_TRUE(PumpUntil([&] { return std::wstring(m_shell.Last(NIF_INFO)->szInfo) == L"Connected"; }));
}

TEST_F(TrayWindow, CallbacksAfterTheWindowWentAreHarmless) {
  Start({{L"Alpha", DeviceConnected, false}});
  SummaryTooltip();
  CComPtr<IZembraCallback> callback = m_service.Fake().Callback();
  m_window->DestroyWindow();
  m_window.reset();
  EXPECT_EQ((std::vector<std::wstring>{L"client-1"}), m_service.Fake().Disconnects());
  // Likely the handle value the window's event had: a late answer must not
  // set whatever now lives there.
  CHandle unrelated(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(S_OK, callback->DeviceStateChanged(CComBSTR(L"client-1"), CFakeDevice::Make({L"A", 2, false})));
  EXPECT_EQ(S_OK, callback->ConnectCompleted(CComBSTR(L"client-2")));
  EXPECT_EQ(S_OK, callback->DisconnectCompleted(CComBSTR(L"client-2")));
  CComPtr<IOperation> operation;
  m_service.Fake().CreateOperation(CComBSTR(L""), IID_IGetDevicesOperation, &operation);
  EXPECT_EQ(S_OK, callback->OperationCompleted(CComBSTR(L"client-2"), CComBSTR(L"op"), operation));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(unrelated.Get(), 0));
}

TEST_F(TrayWindow, ALateConnectCompletedQueriesAgainWithTheClientId) {
  CZembraTrayWindow::s_connectWait = 50;
  m_service.Fake().connectAtOnce = false;
  Start({{L"Alpha", DeviceConnected, false}});
  ASSERT_TRUE(PumpUntil([&] { return m_service.Fake().Queries().size() == 1; }));
  EXPECT_EQ(L"", m_service.Fake().Queries()[0]);
  m_service.Fake().Callback()->ConnectCompleted(CComBSTR(L"client-7"));
  ASSERT_TRUE(PumpUntil([&] { return m_service.Fake().Queries().size() == 2; }));
  EXPECT_EQ(L"client-7", m_service.Fake().Queries()[1]);
}

TEST_F(TrayWindow, TaskbarRebuiltRestoresTheLastTooltip) {
  Start({{L"Alpha", DeviceConnected, false}});
  std::wstring tooltip = SummaryTooltip();
  size_t before = m_shell.records.size();
  ::SendMessageW(*m_window, CTrayIconHooker::TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(before + 2, m_shell.records.size());
  EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), m_shell.records[before].message);
  EXPECT_EQ(static_cast<DWORD>(NIM_ADD), m_shell.records[before + 1].message);
  EXPECT_EQ(tooltip, m_shell.records[before + 1].data.szTip);
  EXPECT_EQ(LoadSmallIcon(IDI_CONNECTED), m_shell.records[before + 1].data.hIcon);
}

TEST_F(TrayWindow, ButtonReleasesOpenTheMenuAndDoubleClicksDoNot) {
  Start({{L"Alpha", DeviceConnected, false}});
  SummaryTooltip();
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, WM_LBUTTONUP);
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, WM_RBUTTONUP);
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, WM_LBUTTONDBLCLK);
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 198, WM_LBUTTONUP);
  ASSERT_EQ(2u, m_shell.menus.size());
  EXPECT_EQ(static_cast<UINT>(ID_OPEN_BROWSER), m_shell.menus[0].defaultItem);
  EXPECT_TRUE(m_shell.menus[0].wizardState & MF_GRAYED);
  EXPECT_TRUE(m_shell.executions.empty());
}

class TrayLaunch : public TrayWindow {
protected:
  void SetUp() override {
    TrayWindow::SetUp();
    m_config = CLaunchSettings::GetConfigurationPath();
    ::DeleteFileW(m_config.c_str());
    m_folder = CLaunchSettings::GetProgramFolder(nullptr);
    // The build puts the real wizard beside the tests: these cases need the
    // folder without it, and give it back afterwards.
    ::MoveFileExW(Wizard().c_str(), KeptWizard().c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  void TearDown() override {
    TrayWindow::TearDown();
    ::DeleteFileW(m_config.c_str());
    ::DeleteFileW(Wizard().c_str());
    ::MoveFileExW(KeptWizard().c_str(), Wizard().c_str(), 0);
  }
  std::wstring Wizard() const { return m_folder + L"Pairwell.exe"; }
  std::wstring KeptWizard() const { return m_folder + L"Pairwell.exe.kept"; }
  std::wstring m_config, m_folder;
};

TEST_F(TrayLaunch, WizardPathIsJoinedToTheProgramFolderAndStartsInThePlatformFolder) {
  CTestMachineKey trelk(L"SOFTWARE\\Trelk");
  trelk.Set(L"PlatformPath", L"C:\\Trelk\\Platform");
  Start({});
  SummaryTooltip();
  ::SendMessageW(*m_window, WM_COMMAND, ID_LAUNCH_WIZARD, 0);
  ASSERT_EQ(1u, m_shell.boxes.size());
  EXPECT_EQ(L"Failed to launch Pairwell Wizard.\r\nPath: \"" + m_folder + L".\\Pairwell.exe\"", m_shell.boxes[0].text);
  EXPECT_EQ(kCaption, m_shell.boxes[0].caption);

  WriteBytes(m_folder + L"Pairwell.exe", "MZ");
  ::SendMessageW(*m_window, WM_COMMAND, ID_LAUNCH_WIZARD, 0);
  ASSERT_EQ(1u, m_shell.executions.size());
  EXPECT_EQ(m_folder + L".\\Pairwell.exe", m_shell.executions[0].file);
  EXPECT_EQ(L"", m_shell.executions[0].parameters);
  EXPECT_EQ(L"C:\\Trelk\\Platform", m_shell.executions[0].folder);
  EXPECT_EQ(1u, m_shell.boxes.size());
}

TEST_F(TrayLaunch, AShellFailureIsAFailedLaunch) {
  WriteBytes(m_folder + L"Pairwell.exe", "MZ");
  WriteBytes(m_config, "<Configuration><OrvexDialixTray><Firefox><Path>.\\Pairwell.exe</Path></Firefox>"
                       "</OrvexDialixTray></Configuration>");
  Start({});
  SummaryTooltip();
  m_shell.executeResult = SE_ERR_ACCESSDENIED;
  ::SendMessageW(*m_window, WM_COMMAND, ID_OPEN_BROWSER, 0);
  ASSERT_EQ(1u, m_shell.executions.size());
  EXPECT_EQ(L"-dialix", m_shell.executions[0].parameters);
  ASSERT_EQ(1u, m_shell.boxes.size());
  EXPECT_EQ(L"Failed to launch Browser.\r\nPath: \"" + m_folder + L".\\Pairwell.exe\"", m_shell.boxes[0].text);
}

TEST_F(TrayLaunch, BalloonClickRunsThePendingActionOnceAndTimeoutDropsIt) {
  WriteBytes(m_folder + L"Pairwell.exe", "MZ");
  Start({});
  SummaryTooltip();
  m_window->SetPendingAction(CZembraTrayWindow::PendingWizard);
  ::PostMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, NIN_BALLOONUSERCLICK);
  ASSERT_TRUE(PumpUntil([&] { return m_shell.executions.size() == 1; }));
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, NIN_BALLOONUSERCLICK);
  m_window->SetPendingAction(CZembraTrayWindow::PendingBrowser);
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, NIN_BALLOONTIMEOUT);
  ::SendMessageW(*m_window, CZembraTrayWindow::kTrayNotifyMessage, 199, NIN_BALLOONUSERCLICK);
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(1u, m_shell.executions.size());
  EXPECT_TRUE(m_shell.boxes.empty());
}

}  // namespace

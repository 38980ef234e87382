#include <windows.h>
#include <htmlhelp.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "CAuthenticatePage.h"
#include "CPairwellDlg.h"
#include "CSearchPhonePage.h"
#include "CSupportInstallPage.h"
#include "CWizardSettings.h"
#include "PhoneWorldMedia.h"
#include "WindowProbe.h"
#include "ZCLHandle.h"
#include "WizardDialogFixture.h"

// The wizard's main dialog in this process, driven by its buttons: the
// support installation hand-over, Back from a pending search, when the
// launcher starts, help, the pairing watcher's answers, and the media page
// as the screen shows it.

namespace {

using namespace WizardDialogTest;

std::vector<std::wstring> g_launched;
void RecordLaunch(const std::wstring& path) { g_launched.push_back(path); }

class WizardDialog : public Fixture {
protected:
  void SetUp() override {
    Fixture::SetUp();
    g_launched.clear();
    m_previousLauncher = CPairwellDlg::SetLauncher(&RecordLaunch);
  }
  void TearDown() override {
    if (m_wizard.m_hWnd) m_wizard.DestroyWindow();
    CPairwellDlg::SetLauncher(m_previousLauncher);
    Fixture::TearDown();
  }
  void Open() {
    ASSERT_TRUE(m_wizard.Create(nullptr));
    m_wizard.ShowWindow(SW_SHOW);
  }
  void Press(int id) { SendMessageW(m_wizard.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  bool Enabled(int id) { return WindowProbe::ItemEnabled(m_wizard.m_hWnd, id); }
  bool Signalled(CWizardEvents::Id id) { return WaitForSingleObject(App().Events().Get(id), 0) == WAIT_OBJECT_0; }

  CPairwellDlg m_wizard;
  CPairwellDlg::Launcher m_previousLauncher = nullptr;
};

TEST_F(WizardDialog, ASupportDeviceOpensOnTheSupportPageAndNextInstallsThenCompletesWithCancelEnabled) {
  m_wizard.SetSupportDevice(L"DLGTEST-NO-SUCH-PHONE");
  Open();
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kSupport);
  EXPECT_TRUE(IsWindowVisible(m_wizard.SupportPage().m_hWnd));
  EXPECT_EQ(m_wizard.SupportPage().GetDevices(), std::vector<std::wstring>{L"DLGTEST-NO-SUCH-PHONE"});
  EXPECT_TRUE(Enabled(IDC_NEXT));

  Press(IDC_NEXT);
  // The installation runs on a worker; nothing can be pressed meanwhile.
  if (m_wizard.GetState() == CPairwellDlg::kSupport) {
    EXPECT_FALSE(Enabled(IDC_BACK));
    EXPECT_FALSE(Enabled(IDC_NEXT));
    EXPECT_FALSE(Enabled(IDC_WIZARD_CANCEL));
  }
  ASSERT_TRUE(PumpUntil([&] { return m_wizard.GetState() == CPairwellDlg::kComplete; }, 120000));
  EXPECT_TRUE(Enabled(IDC_WIZARD_CANCEL));
  EXPECT_FALSE(Enabled(IDC_NEXT));
  EXPECT_FALSE(Enabled(IDC_BACK));
  EXPECT_EQ(WindowProbe::ItemText(m_wizard.m_hWnd, IDC_WIZARD_CANCEL), Text(5008));
  RedrawWindow(m_wizard.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Drain();
  EXPECT_TRUE(WindowProbe::SaveScreen(ScreenshotFolder() + L"\\wizard-dialog-complete.png"));
}

// The user's settings file, as the dialog reads it at start.
void StoreShowWelcome(bool show) {
  CWizardSettings settings;
  ASSERT_TRUE(settings.Open());
  settings.Load();
  settings.SetHideWelcome(show);
  ASSERT_TRUE(settings.Save());
}

TEST_F(WizardDialog, TheWelcomePageIsInUseOnlyWhileTheSettingsRead1) {
  StoreShowWelcome(false);
  Open();
  EXPECT_FALSE(m_wizard.IsWelcomeInUse());
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kSelectMedia);
  EXPECT_FALSE(Enabled(IDC_BACK));
  m_wizard.DestroyWindow();

  StoreShowWelcome(true);
  Open();
  EXPECT_TRUE(m_wizard.IsWelcomeInUse());
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kWelcome);
  EXPECT_FALSE(Enabled(IDC_BACK));
  EXPECT_TRUE(Enabled(IDC_NEXT));
}

// Waits (bounded) for an event on a thread of its own: the search worker may
// take a cancel back at once, but a waiter already waiting sees it set.
struct CEventWitness {
  HANDLE event;
  CHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  bool seen = false;
  static DWORD WINAPI Wait(LPVOID parameter) {
    auto* self = static_cast<CEventWitness*>(parameter);
    HANDLE waits[2] = {self->event, self->stop.Get()};
    self->seen = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
    return 0;
  }
};

TEST_F(WizardDialog, BackFromTheSearchPageWhileASearchIsPendingCancelsIt) {
  Open();
  m_wizard.ShowSearchPage();
  HANDLE cancel = App().Events().Get(CWizardEvents::SearchCancel);
  SetEvent(App().Events().Get(CWizardEvents::SearchRequest));
  ResetEvent(cancel);
  CEventWitness witness;
  witness.event = cancel;
  CHandle thread(CreateThread(nullptr, 0, &CEventWitness::Wait, &witness, 0, nullptr));
  ASSERT_TRUE(thread);
  Press(IDC_BACK);
  SetEvent(witness.stop.Get());
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(witness.seen);
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kSelectMedia);
}

TEST_F(WizardDialog, CancelStartsTheLauncherOnlyOutsideBluetoothModeAndWithoutNoLa) {
  Open();
  Press(IDC_WIZARD_CANCEL);
  EXPECT_FALSE(m_wizard.m_hWnd);
  ASSERT_EQ(g_launched.size(), 1u);
  EXPECT_EQ(g_launched[0], App().GetInstallFolder() + L"\\Kelvast.exe");
  EXPECT_TRUE(Signalled(CWizardEvents::WizardCancel));

  g_launched.clear();
  {
    CPairwellDlg bluetooth;
    bluetooth.SetBluetoothMode(L"{00000000-0000-0000-0000-000000000001}");
    ASSERT_TRUE(bluetooth.Create(nullptr));
    SendMessageW(bluetooth.m_hWnd, WM_COMMAND, IDC_WIZARD_CANCEL, 0);
  }
  App().m_launchAtEnd = FALSE;
  {
    CPairwellDlg noLa;
    ASSERT_TRUE(noLa.Create(nullptr));
    SendMessageW(noLa.m_hWnd, WM_COMMAND, IDC_WIZARD_CANCEL, 0);
    CPairwellDlg closed;
    ASSERT_TRUE(closed.Create(nullptr));
    SendMessageW(closed.m_hWnd, WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(g_launched.empty());
}

TEST_F(WizardDialog, HelpAsksForTheStatesContextThenTheDefaultTopicThenSaysItIsMissing) {
  Open();
  m_wizard.ShowCablePage();
  Press(IDC_WIZARD_HELP);
  ASSERT_EQ(g_help.size(), 3u);
  EXPECT_EQ(g_help[0].command, static_cast<UINT>(HH_CLOSE_ALL));
  EXPECT_EQ(g_help[1].command, static_cast<UINT>(HH_HELP_CONTEXT));
  EXPECT_EQ(g_help[1].data, 3602u);
  EXPECT_EQ(g_help[1].owner, nullptr);
  EXPECT_EQ(g_help[1].file, App().Help().path);
  EXPECT_EQ(g_help[2].command, static_cast<UINT>(HH_DISPLAY_TOPIC));
  EXPECT_EQ(g_help[2].owner, GetDesktopWindow());
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], Text(IDS_HELP_MISSING));
}

TEST_F(WizardDialog, APairingAnswerComesBackAsAPostedMessage) {
  Open();
  m_wizard.ShowAuthenticatePage();
  // An empty passcode is refused at once.
  HWND passcode = nullptr;
  for (HWND child = GetWindow(GetDlgItem(m_wizard.m_hWnd, IDC_PAGE_AREA), GW_CHILD); child && !passcode;
       child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) passcode = GetDlgItem(child, IDC_PASSCODE);
  ASSERT_TRUE(passcode);
  SetWindowTextW(passcode, L"");
  Press(IDC_NEXT);
  EXPECT_EQ(g_messages, std::vector<UINT>{5509});
  EXPECT_FALSE(Signalled(CWizardEvents::PairRequest));

  // A failure from the search worker: the watcher posts, the dialog says so.
  g_messages.clear();
  SetWindowTextW(passcode, L"1234");
  Press(IDC_NEXT);
  EXPECT_TRUE(Signalled(CWizardEvents::PairRequest));
  EXPECT_EQ(App().Events().PairingPasscode(), L"1234");
  EXPECT_FALSE(Enabled(IDC_NEXT));
  SetEvent(App().Events().Get(CWizardEvents::PairFailed));
  ASSERT_TRUE(PumpUntil([] { return !g_messages.empty(); }));
  EXPECT_EQ(g_messages, std::vector<UINT>{5509});
  EXPECT_TRUE(Enabled(IDC_NEXT));
  EXPECT_TRUE(Enabled(IDC_BACK));
  EXPECT_FALSE(Signalled(CWizardEvents::PairFailed));

  // A watcher still waiting is stopped and joined when the dialog goes.
  ResetEvent(App().Events().Get(CWizardEvents::PairRequest));
  Press(IDC_NEXT);
  EXPECT_TRUE(Signalled(CWizardEvents::PairRequest));
  m_wizard.DestroyWindow();
  EXPECT_FALSE(m_wizard.m_hWnd);
}

TEST_F(WizardDialog, APairingDoneWhosePhoneNeverArrivesCanBeLeftByBack) {
  Open();
  m_wizard.ShowAuthenticatePage();
  // As the pairing leaves the buttons while the search worker pairs.
  WtlEnableItem(m_wizard.m_hWnd, IDC_BACK, false);
  WtlEnableItem(m_wizard.m_hWnd, IDC_NEXT, false);
  App().Events().SetSelectedDeviceAddress(L"00:DE:AD:00:00:01");  // no connected phone has it
  SendMessageW(m_wizard.m_hWnd, WM_PAIRING_DONE, 0, 0);
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kAuthenticate);
  EXPECT_TRUE(Enabled(IDC_BACK));
  EXPECT_FALSE(Enabled(IDC_NEXT));
  Press(IDC_BACK);
  EXPECT_EQ(m_wizard.GetState(), CPairwellDlg::kSearch);
}

// The suite's media in the prefix's default world, which the connection
// manager's server reads; none again afterwards, as the world starts.
class CWorldMedia {
public:
  explicit CWorldMedia(bool bluetooth) {
    std::vector<PhoneSim::CMediumElement> media = {{L"{23399C73-7D90-4EA6-BA20-5435E850F79E}", 1, true, L"USB"}};
    if (bluetooth) media.push_back({L"{5C2E6F0A-8B1D-4E3A-9F47-2D61A0C3B7E8}", 2, true, L"Bluetooth"});
    PhoneSim::WriteMediumElements(m_world, media);
  }
  ~CWorldMedia() { PhoneSim::WriteMediumElements(m_world, {}); }

private:
  PhoneSim::CPhoneWorld m_world;
};

HWND VisiblePageItem(HWND wizard, int id) {
  for (HWND page = GetWindow(GetDlgItem(wizard, IDC_PAGE_AREA), GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
    if (IsWindowVisible(page) && GetDlgItem(page, id)) return GetDlgItem(page, id);
  return nullptr;
}

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// Every message and every paint of this thread handled, and the idle wait
// that puts the window's picture on the screen.
void Settle() {
  PumpUntil([] { return HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0; }, 10000);
}

// The media page as a first-time user meets it: the welcome page, then Next.
// With Cable and Bluetooth, the Bluetooth choice must be on the screen where
// the Cable-only page shows nothing, and the mouse chooses it.
TEST_F(WizardDialog, TheMediaPageDrawsTheBluetoothChoiceBesideCableAndTheMouseChoosesIt) {
  StoreShowWelcome(true);
  std::vector<BYTE> cableOnly;
  RECT secondPlace = {};
  {
    CWorldMedia media(false);
    Open();
    Press(IDC_NEXT);
    ASSERT_EQ(m_wizard.GetState(), CPairwellDlg::kSelectMedia) << "the connection manager offers no media";
    Settle();
    HWND infrared = VisiblePageItem(m_wizard.m_hWnd, IDC_MEDIA_INFRARED);
    ASSERT_TRUE(infrared);
    secondPlace = ScreenRect(infrared);
    cableOnly = WindowProbe::ScreenPixels(secondPlace);
    ASSERT_FALSE(cableOnly.empty());
    WindowProbe::SaveScreen(ScreenshotFolder() + L"\\wizard-dialog-media-cable.png");
    m_wizard.DestroyWindow();
  }
  CWorldMedia media(true);
  Open();
  Press(IDC_NEXT);
  ASSERT_EQ(m_wizard.GetState(), CPairwellDlg::kSelectMedia);
  Settle();
  HWND bluetooth = VisiblePageItem(m_wizard.m_hWnd, IDC_MEDIA_BLUETOOTH);
  ASSERT_TRUE(bluetooth);
  ASSERT_TRUE(IsWindowVisible(bluetooth));
  RECT place = ScreenRect(bluetooth);
  ASSERT_TRUE(EqualRect(&place, &secondPlace)) << "Bluetooth is not in the second place";
  EXPECT_TRUE(WindowProbe::ScreenPixels(place) != cableOnly) << "the Bluetooth choice is not on the screen";
  WindowProbe::SaveScreen(ScreenshotFolder() + L"\\wizard-dialog-media-both.png");

  ASSERT_TRUE(WindowProbe::MouseClick(bluetooth));
  ASSERT_TRUE(PumpUntil([&] { return SendMessageW(bluetooth, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  ASSERT_TRUE(WindowProbe::MouseClick(GetDlgItem(m_wizard.m_hWnd, IDC_NEXT)));
  ASSERT_TRUE(PumpUntil([&] { return m_wizard.GetState() == CPairwellDlg::kSearch; }));
  EXPECT_TRUE(IsWindowVisible(m_wizard.SearchPage().m_hWnd));
  Settle();
  WindowProbe::SaveScreen(ScreenshotFolder() + L"\\wizard-dialog-media-to-search.png");
}

}  // namespace

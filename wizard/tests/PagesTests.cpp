#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <string>
#include "AppFxControls.h"
#include "CActivateInfraredPage.h"
#include "CAuthenticatePage.h"
#include "CConnectCablePage.h"
#include "CSearchPhonePage.h"
#include "CSelectMediaPage.h"
#include "CSetupCompletePage.h"
#include "CWelcomePage.h"
#include "PageTestHost.h"
#include "WindowProbe.h"

// The pages in process, inside a frame of the test's, with the simulated
// phone behind the media utility and a stand-in for the main dialog.

namespace {

using PhoneSim::Testing::RunPhonectl;

const BYTE kInfraredMedium = 0, kCableMedium = 1, kBluetoothMedium = 2;

class PagesTest : public ::testing::Test {
protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override {
    m_host.reset();
    CoUninitialize();
  }
  void MakeHost(std::vector<BYTE> media, CDeviceSearchWorker::UtilityFactory search = {}) {
    m_host.reset(new CPageTestHost(media, search));
    ASSERT_TRUE(m_host->IsReady());
  }
  template <class Page>
  void Open(Page& page) {
    ASSERT_TRUE(page.CreatePage(m_host->Frame(), m_host.get()));
    ShowWindow(page.m_hWnd, SW_SHOW);
  }
  RECT PlaceOf(HWND page, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(page, id), &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  bool Visible(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != FALSE; }
  bool Checked(HWND page, int id) { return SendMessageW(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  std::unique_ptr<CPageTestHost> m_host;
};

TEST_F(PagesTest, WithOnlyBluetoothTheMediaPageShowsOneChoiceInTheCablePlaceSelected) {
  MakeHost({kBluetoothMedium});
  CSelectMediaPage page;
  Open(page);
  RECT cablePlace = PlaceOf(page.m_hWnd, IDC_MEDIA_CABLE);
  page.Reset();
  EXPECT_FALSE(Visible(page.m_hWnd, IDC_MEDIA_CABLE));
  EXPECT_FALSE(Visible(page.m_hWnd, IDC_MEDIA_INFRARED));
  ASSERT_TRUE(Visible(page.m_hWnd, IDC_MEDIA_BLUETOOTH));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_MEDIA_BLUETOOTH)));
  RECT bluetooth = PlaceOf(page.m_hWnd, IDC_MEDIA_BLUETOOTH);
  EXPECT_EQ(bluetooth.left, cablePlace.left);
  EXPECT_EQ(bluetooth.top, cablePlace.top);
  EXPECT_TRUE(Checked(page.m_hWnd, IDC_MEDIA_BLUETOOTH));
  EXPECT_EQ(page.GetSelectedMedia(), IDC_MEDIA_BLUETOOTH);
  EXPECT_EQ(m_host->troubleshoots, 0);
  SavePageScreenshot(L"page_media_bluetooth_only");
}

TEST_F(PagesTest, CableAndBluetoothTakeTheFirstTwoPlacesWithCableSelectedAndInfraredNeverOffered) {
  MakeHost({kInfraredMedium, kCableMedium, kBluetoothMedium});
  CSelectMediaPage page;
  Open(page);
  RECT infraredPlace = PlaceOf(page.m_hWnd, IDC_MEDIA_INFRARED);
  page.Reset();
  EXPECT_TRUE(Visible(page.m_hWnd, IDC_MEDIA_CABLE));
  EXPECT_FALSE(Visible(page.m_hWnd, IDC_MEDIA_INFRARED));
  EXPECT_EQ(PlaceOf(page.m_hWnd, IDC_MEDIA_BLUETOOTH).top, infraredPlace.top);
  EXPECT_EQ(page.GetSelectedMedia(), IDC_MEDIA_CABLE);
  // A choice the user made survives the next show.
  SendMessageW(GetDlgItem(page.m_hWnd, IDC_MEDIA_CABLE), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(GetDlgItem(page.m_hWnd, IDC_MEDIA_BLUETOOTH), BM_SETCHECK, BST_CHECKED, 0);
  page.Reset();
  EXPECT_EQ(page.GetSelectedMedia(), IDC_MEDIA_BLUETOOTH);
  SavePageScreenshot(L"page_media");
}

TEST_F(PagesTest, WithoutMediaEveryChoiceIsOffAndTroubleshootingShows) {
  MakeHost({});
  CSelectMediaPage page;
  Open(page);
  page.Reset();
  for (int id : {IDC_MEDIA_CABLE, IDC_MEDIA_INFRARED, IDC_MEDIA_BLUETOOTH})
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.m_hWnd, id))) << id;
  EXPECT_EQ(m_host->troubleshoots, 1);
}

TEST_F(PagesTest, ThePasscodeBoxRefusesALetterAndKeepsTheDigitsTypedBeforeIt) {
  MakeHost({kBluetoothMedium});
  CAuthenticatePage page;
  Open(page);
  EXPECT_EQ(page.GetPasscode(), L"846");
  HWND box = GetDlgItem(page.m_hWnd, IDC_PASSCODE);
  SetWindowTextW(box, L"");
  EXPECT_FALSE(m_host->IsNextEnabled());
  SetFocus(box);
  for (wchar_t c : std::wstring(L"12x3")) SendMessageW(box, WM_CHAR, c, 0);
  EXPECT_EQ(page.GetPasscode(), L"123");
  EXPECT_TRUE(m_host->IsNextEnabled());
  SetWindowTextW(box, L"12a");
  EXPECT_EQ(page.GetPasscode(), L"123");
  SetWindowTextW(box, L"1234567890123456");
  SendMessageW(box, EM_SETSEL, 16, 16);
  SendMessageW(box, WM_CHAR, L'9', 0);
  EXPECT_EQ(page.GetPasscode(), L"1234567890123456") << "typing stops at 16 characters";

  CSearchEntry entry;
  entry.name = L"Blue Phone";
  page.SetEntry(entry);
  EXPECT_EQ(WindowProbe::ItemText(page.m_hWnd, IDC_AUTH_PHONE_NAME), L"Blue Phone");
  SavePageScreenshot(L"page_authenticate");
}

TEST_F(PagesTest, EnterInThePasscodeBoxPostsNextAndEscapeDoesNothing) {
  MakeHost({kBluetoothMedium});
  CAuthenticatePage page;
  Open(page);
  MSG enter = {GetDlgItem(page.m_hWnd, IDC_PASSCODE), WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(page.PreTranslateMessage(&enter));
  MSG escape = {GetDlgItem(page.m_hWnd, IDC_PASSCODE), WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(page.PreTranslateMessage(&escape));
  PumpPending();
  EXPECT_EQ(CPageTestHost::NextCommands(), 1);
  EXPECT_TRUE(IsWindow(page.m_hWnd));
}

TEST_F(PagesTest, CompletionListsAPhoneOnCableAndBluetoothOnceWithBothMedia) {
  MakeHost({kCableMedium, kBluetoothMedium});
  ASSERT_EQ(RunPhonectl(L"plug DUAL --name Dual --conn 4,cable,,601 --conn \"8,Dual Blue,00:11:22:33:44:66,602\""), 0u);
  ASSERT_EQ(RunPhonectl(L"plug WIRED --name Wired --conn 16,cable,,603"), 0u);
  CSetupCompletePage page;
  Open(page);
  page.Fill();
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_COMPLETE_LIST));
  std::vector<std::wstring> rows;
  for (int row = 0; row < list.GetItemCount(); ++row) rows.push_back(list.GetItemText(row, 0));
  std::wstring dual = L"Dual Blue  " + m_host->LanguageString(5148) + L", " + m_host->LanguageString(5150);
  std::wstring wired = L"Wired  " + m_host->LanguageString(5149);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), dual), 1) << (rows.empty() ? L"" : rows[0]).c_str();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), wired), 1);
  EXPECT_EQ(rows.size(), 2u);
  SavePageScreenshot(L"page_complete");
}

TEST_F(PagesTest, CompletionInBluetoothModeListsOnlyPhonesWithABluetoothConnection) {
  MakeHost({kCableMedium, kBluetoothMedium});
  ASSERT_EQ(RunPhonectl(L"plug DUAL --name Dual --conn 4,cable,,601 --conn \"8,Dual Blue,00:11:22:33:44:66,602\""), 0u);
  ASSERT_EQ(RunPhonectl(L"plug WIRED --name Wired --conn 4,cable,,603"), 0u);
  CSetupCompletePage page;
  page.SetBluetoothMode(true);
  Open(page);
  page.Fill();
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_COMPLETE_LIST));
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(list.GetItemText(0, 0).substr(0, 11), L"Dual Blue  ");
  EXPECT_EQ(WindowProbe::ItemText(page.m_hWnd, IDC_COMPLETE_TEXT1), m_host->LanguageString(5139));
}

TEST_F(PagesTest, TheInfraredPageWaitsAndAPhoneOverInfraredStartsTheSupportCheck) {
  MakeHost({kInfraredMedium, kCableMedium});
  CActivateInfraredPage page;
  Open(page);
  m_host->state = 3;
  page.StartWaiting(m_host->Frame());
  EXPECT_TRUE(page.IsAnimating());
  SavePageScreenshot(L"page_infrared");

  // A phone on another medium asks first; No keeps the page waiting.
  m_host->messageAnswer = IDNO;
  ASSERT_EQ(RunPhonectl(L"plug CABLED --name Cabled --conn 4,cable,,701"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return !m_host->messages.empty(); }));
  EXPECT_EQ(m_host->messages[0], 5203u);
  EXPECT_EQ(m_host->supportChecks, 0);
  EXPECT_TRUE(page.IsAnimating());

  ASSERT_EQ(RunPhonectl(L"plug IRDA --name Beam --conn 2,infrared,,702"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return m_host->supportChecks > 0; }));
  EXPECT_EQ(m_host->supportChecks, 1);
  EXPECT_FALSE(page.IsAnimating());
  EXPECT_EQ(m_host->messages.size(), 1u);
  page.StopWaiting();
}

TEST_F(PagesTest, TheCablePageTakesAPhoneOnTheSecondCableMediumWithoutAsking) {
  MakeHost({kCableMedium});
  CConnectCablePage page;
  Open(page);
  m_host->state = 2;
  page.StartWaiting(m_host->Frame());
  SavePageScreenshot(L"page_cable");
  ASSERT_EQ(RunPhonectl(L"plug SERIAL --name Serial --conn 16,cable,,751"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return m_host->supportChecks > 0; }));
  EXPECT_TRUE(m_host->messages.empty());
  EXPECT_FALSE(page.IsAnimating());
}

TEST_F(PagesTest, TheWelcomePageSpeaksOfBluetoothInBluetoothMode) {
  MakeHost({kBluetoothMedium});
  CWelcomePage plain, bluetooth;
  bluetooth.SetBluetoothMode(true);
  Open(plain);
  EXPECT_EQ(WindowProbe::ItemText(plain.m_hWnd, IDC_WELCOME_TITLE), m_host->LanguageString(5101));
  SavePageScreenshot(L"page_welcome");
  Open(bluetooth);
  EXPECT_EQ(WindowProbe::ItemText(bluetooth.m_hWnd, IDC_WELCOME_TITLE), m_host->LanguageString(5135));
  EXPECT_EQ(WindowProbe::ItemText(bluetooth.m_hWnd, IDC_WELCOME_TEXT2), m_host->LanguageString(5137));
  EXPECT_FALSE(bluetooth.IsHideWelcomeTicked());
  SendMessageW(GetDlgItem(bluetooth.m_hWnd, IDC_HIDE_WELCOME), BM_CLICK, 0, 0);
  EXPECT_TRUE(bluetooth.IsHideWelcomeTicked());
}

TEST_F(PagesTest, TheWaitTimerShowsTroubleshootingOnlyWhileTheWizardStillWaits) {
  MakeHost({kInfraredMedium});
  CActivateInfraredPage page;
  Open(page);
  m_host->state = 3;
  page.StartWaiting(m_host->Frame());
  SendMessageW(page.m_hWnd, WM_TIMER, 1, 0);
  EXPECT_EQ(m_host->troubleshoots, 1);
  m_host->state = 8;
  SendMessageW(page.m_hWnd, WM_TIMER, 1, 0);
  EXPECT_EQ(m_host->troubleshoots, 1);
  page.StopWaiting();
}

// Answers every search with the list the test gives and every trust change
// with its result. Used on the search worker's thread.
class CListedUtility : public ISearchUtility {
public:
  CListedUtility(CSearchList found, DWORD trustResult) : m_found(std::move(found)), m_trust(trustResult) {}
  bool Initialize() override { return true; }
  bool HasPluginList() const override { return true; }
  void LoadPlugins() override {}
  bool EnsurePluginEnabled() override { return true; }
  DWORD SearchAvailableDevices(DWORD options, DWORD, CSearchList* list, LNYX_SEARCH_PROGRESS progress) override {
    DWORD answer = progress ? progress(50, 0) : 0;
    if (answer != 0) return answer;  // cancelled
    if (options != kSearchAllDevices)
      for (const CSearchEntry& e : m_found)
        if (e.isPhone) list->push_back(e);
    if (options == kSearchAllDevices)
      for (const CSearchEntry& e : m_found)
        if (!e.isPhone) list->push_back(e);
    return 0;
  }
  DWORD ChangeDeviceTrustedState(DWORD, const wchar_t*, const wchar_t*) override { return m_trust; }

private:
  CSearchList m_found;
  DWORD m_trust;
};

CDeviceSearchWorker::UtilityFactory Listing(CSearchList found, DWORD trustResult = 0) {
  return [found, trustResult] { return std::unique_ptr<ISearchUtility>(new CListedUtility(found, trustResult)); };
}

CSearchEntry Found(DWORD id, const wchar_t* name, const wchar_t* address, bool phone, bool paired, bool trusted) {
  CSearchEntry e;
  e.id = id;
  e.name = name;
  e.address = address;
  e.isPhone = phone;
  e.paired = paired;
  e.trusted = trusted;
  e.medium = LNYX_MEDIA_BLUETOOTH;
  return e;
}

TEST_F(PagesTest, ASearchThatFindsNothingShowsTroubleshootingAndAnEmptyList) {
  MakeHost({kBluetoothMedium}, Listing({}));
  CSearchPhonePage page;
  Open(page);  // coming into view lists the known devices
  EXPECT_FALSE(m_host->IsNextEnabled());
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_SEARCH_AGAIN)));
  ASSERT_TRUE(PumpUntil([&] { return m_host->troubleshoots > 0; }));
  EXPECT_EQ(m_host->troubleshoots, 1);
  EXPECT_EQ(CAppFxListCtrl(GetDlgItem(page.m_hWnd, IDC_SEARCH_LIST)).GetItemCount(), 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_SEARCH_AGAIN)));
  EXPECT_EQ(CAppFxProgressCtrl(GetDlgItem(page.m_hWnd, IDC_SEARCH_PROGRESS)).GetPos(), 100);
  EXPECT_TRUE(m_host->messages.empty());
  SavePageScreenshot(L"page_search_empty");
}

TEST_F(PagesTest, ACancelLeftFromAnEarlierSearchDoesNotEndTheNextOne) {
  MakeHost({kBluetoothMedium}, Listing({Found(41, L"Later", L"AA:41", true, false, false)}));
  CSearchPhonePage page;
  // Back during a search that ended before the worker saw the cancel.
  SetEvent(m_host->Events().Get(CWizardEvents::SearchCancel));
  Open(page);
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_SEARCH_LIST));
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemCount() == 1; }));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_SEARCH_AGAIN)));
  EXPECT_EQ(m_host->troubleshoots, 0);
}

TEST_F(PagesTest, FoundDevicesAreListedWithTheirStateAndTheSelectionDecidesNextAndUnpair) {
  MakeHost({kBluetoothMedium}, Listing({Found(11, L"Mine", L"AA:01", true, true, true),
                                        Found(12, L"AA:02", L"AA:02", true, false, false),
                                        Found(13, L"Headset", L"AA:03", false, true, false)}));
  CSearchPhonePage page;
  Open(page);
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_SEARCH_LIST));
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemCount() == 3 && !m_host->messages.empty(); }));
  // Search again lists them anew; a device without a name is listed by its
  // address, with a warning each time.
  SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_AGAIN, BN_CLICKED), 0);
  EXPECT_EQ(list.GetItemCount(), 0);
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemCount() == 3 && m_host->messages.size() == 2; }));
  EXPECT_EQ(m_host->messages, (std::vector<UINT>{5204, 5204}));
  EXPECT_EQ(m_host->troubleshoots, 0);
  int mine = -1, nameless = -1, headset = -1;
  for (int row = 0; row < 3; ++row) {
    DWORD id = static_cast<DWORD>(list.GetItemData(row));
    (id == 11 ? mine : id == 12 ? nameless : headset) = row;
  }
  ASSERT_GE(mine, 0);
  ASSERT_GE(nameless, 0);
  ASSERT_GE(headset, 0);
  EXPECT_EQ(list.GetItemImage(mine, 0), 0);
  EXPECT_EQ(list.GetItemImage(mine, 1), 2);
  EXPECT_EQ(list.GetItemImage(mine, 2), 4);
  EXPECT_EQ(list.GetItemImage(headset, 0), 1);
  EXPECT_EQ(list.GetItemImage(headset, 1), 3);
  EXPECT_EQ(list.GetItemImage(headset, 2), 6);

  list.SelectItem(headset);
  PumpPending();
  EXPECT_FALSE(m_host->IsNextEnabled()) << "another device cannot be chosen";
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_UNPAIR)));
  EXPECT_EQ(WindowProbe::ItemText(page.m_hWnd, IDC_SEARCH_INFO), m_host->LanguageString(5517));
  list.SelectItem(nameless);
  PumpPending();
  EXPECT_TRUE(m_host->IsNextEnabled());
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_UNPAIR)));
  EXPECT_EQ(WindowProbe::ItemText(page.m_hWnd, IDC_SEARCH_INFO),
            m_host->LanguageString(5518) + L"\r\n\r\n" + m_host->LanguageString(5122));
  CSearchEntry selected;
  ASSERT_TRUE(page.GetSelectedEntry(&selected));
  EXPECT_EQ(selected.address, L"AA:02");
  list.SelectItem(mine);
  PumpPending();
  SavePageScreenshot(L"page_search");
}

TEST_F(PagesTest, UnpairClearsTheRowAndRemovesThePhonesModemConfiguration) {
  MakeHost({kBluetoothMedium}, Listing({Found(21, L"Paired Phone", L"AA:21", true, true, true)}));
  ASSERT_EQ(RunPhonectl(L"plug BTPHONE --name Paired --conn \"8,Paired Phone,AA:21,801\""), 0u);
  CSearchPhonePage page;
  Open(page);
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_SEARCH_LIST));
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemCount() == 1; }));
  list.SelectItem(0);
  PumpPending();
  ASSERT_TRUE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_UNPAIR)));
  page.Unpair();
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemImage(0, 1) == 6; }));
  EXPECT_EQ(list.GetItemImage(0, 2), 6);
  EXPECT_EQ(list.GetItemImage(0, 0), 0);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.m_hWnd, IDC_UNPAIR)));
  EXPECT_TRUE(IsWindowEnabled(list.GetHwnd()));
  EXPECT_EQ(m_host->Events().SelectedDeviceAddress(), L"AA:21");
  std::string operations;
  ASSERT_EQ(RunPhonectl(L"modemconfig BTPHONE", &operations), 0u);
  operations.erase(std::remove(operations.begin(), operations.end(), '\r'), operations.end());
  EXPECT_EQ(operations, "3\t8\tBTPHONE\n2\t8\tBTPHONE\n");
}

TEST_F(PagesTest, AFailedUnpairTellsTheUserAndGivesTheListBack) {
  MakeHost({kBluetoothMedium}, Listing({Found(31, L"Stubborn", L"AA:31", true, true, false)}, 0x80100001));
  CSearchPhonePage page;
  Open(page);
  CAppFxListCtrl list(GetDlgItem(page.m_hWnd, IDC_SEARCH_LIST));
  ASSERT_TRUE(PumpUntil([&] { return list.GetItemCount() == 1; }));
  list.SelectItem(0);
  PumpPending();
  page.Unpair();
  ASSERT_TRUE(PumpUntil([&] { return !m_host->messages.empty(); }));
  EXPECT_EQ(m_host->messages, std::vector<UINT>{5508});
  EXPECT_TRUE(IsWindowEnabled(list.GetHwnd()));
  EXPECT_EQ(list.GetItemImage(0, 1), 2);
}

}  // namespace

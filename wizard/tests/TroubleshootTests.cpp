#include <windows.h>
#include <richedit.h>
#include <htmlhelp.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "CPairwellDlg.h"
#include "CTroubleshootDlg.h"
#include "WindowProbe.h"
#include "WizardDialogFixture.h"

// The troubleshoot window as the wizard makes it: its body in the rich
// edit, the bold and link ranges on the control's own text (where a line
// break is one position), links opened through the opener seam, and closing
// that only hides it.

namespace {

using namespace WizardDialogTest;

std::vector<std::wstring> g_opened;
void RecordOpen(HWND, const std::wstring& target) { g_opened.push_back(target); }

// The control keeps a line break as one "\r".
std::wstring AsControlText(std::wstring text) {
  for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.replace(at, 2, L"\r");
  return text;
}

class Troubleshoot : public Fixture {
protected:
  void SetUp() override {
    Fixture::SetUp();
    g_opened.clear();
    m_previousOpener = CTroubleshootDlg::SetOpener(&RecordOpen);
    ASSERT_TRUE(m_wizard.Create(nullptr));
  }
  void TearDown() override {
    if (m_wizard.m_hWnd) m_wizard.DestroyWindow();
    CTroubleshootDlg::SetOpener(m_previousOpener);
    Fixture::TearDown();
  }
  CTroubleshootDlg& Dialog() { return m_wizard.Troubleshoot(); }
  std::wstring Body(std::initializer_list<UINT> ids) {
    std::wstring body;
    for (UINT id : ids) body += Text(id);
    return AsControlText(body);
  }
  // Where the text starts in the control, found in the control's own text.
  int Find(const std::wstring& text, int from = 0) {
    int at = Dialog().Body().FindText(AsControlText(text), from);
    EXPECT_GE(at, 0) << "not in the body";
    return at;
  }
  DWORD Effects(int position) { return Dialog().Body().GetEffectsAt(position); }
  // The link click as the control reports it.
  void ClickLink(int start, int end) {
    ENLINK link = {};
    link.nmhdr.hwndFrom = Dialog().Body().GetHwnd();
    link.nmhdr.idFrom = IDC_TROUBLE_TEXT;
    link.nmhdr.code = EN_LINK;
    link.msg = WM_LBUTTONUP;
    link.chrg.cpMin = start;
    link.chrg.cpMax = end;
    SendMessageW(Dialog().m_hWnd, WM_NOTIFY, IDC_TROUBLE_TEXT, reinterpret_cast<LPARAM>(&link));
  }

  CPairwellDlg m_wizard;
  CTroubleshootDlg::Opener m_previousOpener = nullptr;
};

TEST_F(Troubleshoot, EachMediumShowsItsTextAndASecondShowReplacesTheFirstCompletely) {
  Dialog().Show(CPairwellDlg::kMediaCodeInfrared);
  EXPECT_EQ(Dialog().GetBodyText(), Body({5530, 5531, 5532, 5533, 5525, 5529}));
  EXPECT_EQ(WindowProbe::ItemText(Dialog().m_hWnd, IDC_TROUBLE_HEADING), Text(5527));
  Dialog().Show(CPairwellDlg::kMediaCodeCable);
  EXPECT_EQ(Dialog().GetBodyText(), Body({5534, 5535, 5536, 5537, 5538, 5539, 5525, 5529}));
  EXPECT_EQ(WindowProbe::ItemText(Dialog().m_hWnd, IDC_TROUBLE_HEADING), Text(5528));
  // No formatting of the earlier text survives in the new one.
  int plain = Find(L".", Find(Text(5535))) + 1;
  EXPECT_FALSE(Effects(plain) & (CFE_BOLD | CFE_LINK));
  Dialog().Show(CPairwellDlg::kMediaCodeBluetooth);
  EXPECT_EQ(Dialog().GetBodyText(), Body({5519, 5520, 5521, 5522, 5523, 5524, 5525, 5529}));
  EXPECT_FALSE(Effects(Find(Text(5519))) & CFE_LINK);
  EXPECT_FALSE(Effects(Find(L".", Find(Text(5519))) + 1) & (CFE_BOLD | CFE_LINK));
}

TEST_F(Troubleshoot, BoldAndLinkRangesLandOnTheirCharactersAfterLineBreaks) {
  ASSERT_NE(Text(5530).find(L"\r\n"), std::wstring::npos) << "the texts before the links break lines";
  Dialog().Show(CPairwellDlg::kMediaCodeInfrared);
  // 5541 in 5532: link and bold on exactly its characters.
  int in5532 = Find(Text(5532));
  int link = Find(Text(5541), in5532);
  int length = static_cast<int>(Text(5541).size());
  EXPECT_TRUE(Effects(link) & CFE_LINK);
  EXPECT_TRUE(Effects(link + length - 1) & CFE_LINK);
  EXPECT_FALSE(Effects(link - 1) & CFE_LINK);
  EXPECT_FALSE(Effects(link + length) & CFE_LINK);
  // 5532 is bold up to its first "." and no further.
  int period = Find(L".", in5532);
  EXPECT_TRUE(Effects(in5532) & CFE_BOLD);
  EXPECT_TRUE(Effects(period) & CFE_BOLD);
  EXPECT_FALSE(Effects(period + 1) & CFE_BOLD);
  // The support-site link in 5529.
  int site = Find(Text(5542), Find(Text(5529)));
  EXPECT_TRUE(Effects(site) & CFE_LINK);
  EXPECT_FALSE(Effects(site - 1) & CFE_LINK);

  Dialog().Show(CPairwellDlg::kMediaCodeBluetooth);
  // 5521: bold up to its first "." and from its first "(" to its end.
  int in5521 = Find(Text(5521));
  int open = Find(L"(", in5521);
  int in5522 = Find(Text(5522));
  EXPECT_TRUE(Effects(open) & CFE_BOLD);
  EXPECT_TRUE(Effects(in5522 - 1) & CFE_BOLD);
  EXPECT_FALSE(Effects(open - 1) & CFE_BOLD);
  EXPECT_FALSE(Effects(Find(L".", in5521) + 1) & CFE_BOLD);
}

TEST_F(Troubleshoot, ALinkClickOpensItsTargetAndAnyOtherLinkTheSupportSite) {
  Dialog().Show(CPairwellDlg::kMediaCodeInfrared);
  int length = static_cast<int>(Text(5541).size());
  int link = Find(Text(5541), Find(Text(5532)));
  ClickLink(link, link + length);
  int first = Find(Text(5540));
  ClickLink(first, first + static_cast<int>(Text(5540).size()));
  int site = Find(Text(5542), Find(Text(5529)));
  ClickLink(site, site + static_cast<int>(Text(5542).size()));
  ASSERT_EQ(g_opened.size(), 3u);
  EXPECT_EQ(g_opened[0], Text(5544));
  EXPECT_EQ(g_opened[1], Text(5543));
  EXPECT_EQ(g_opened[2], Text(5545));
  // The click leaves no selection behind.
  int start = -1, end = -1;
  Dialog().Body().GetSel(&start, &end);
  EXPECT_EQ(start, end);
}

TEST_F(Troubleshoot, ClosingHidesTheWindowSoThatItCanBeShownAgain) {
  Dialog().Show(CPairwellDlg::kMediaCodeCable);
  SendMessageW(Dialog().m_hWnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(IsWindow(Dialog().m_hWnd));
  EXPECT_FALSE(IsWindowVisible(Dialog().m_hWnd));
  EXPECT_TRUE(Dialog().GetBodyText().empty());
  SendMessageW(Dialog().m_hWnd, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(IsWindow(Dialog().m_hWnd));
  Dialog().Show(CPairwellDlg::kMediaCodeBluetooth);
  EXPECT_TRUE(IsWindowVisible(Dialog().m_hWnd));
  EXPECT_EQ(Dialog().GetBodyText(), Body({5519, 5520, 5521, 5522, 5523, 5524, 5525, 5529}));
}

TEST_F(Troubleshoot, HelpAsksForTheContextOfTheWizardsState) {
  m_wizard.ShowCablePage();
  SendMessageW(Dialog().m_hWnd, WM_COMMAND, IDC_WIZARD_HELP, 0);
  ASSERT_GE(g_help.size(), 2u);
  EXPECT_EQ(g_help[1].command, static_cast<UINT>(HH_HELP_CONTEXT));
  EXPECT_EQ(g_help[1].data, 3602u);
}

TEST_F(Troubleshoot, Screenshots) {
  const struct {
    DWORD code;
    const wchar_t* name;
  } media[] = {{CPairwellDlg::kMediaCodeCable, L"troubleshoot-cable"},
               {CPairwellDlg::kMediaCodeBluetooth, L"troubleshoot-bluetooth"},
               {CPairwellDlg::kMediaCodeInfrared, L"troubleshoot-infrared"}};
  for (const auto& each : media) {
    Dialog().Show(each.code);
    RedrawWindow(Dialog().m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Drain();
    EXPECT_TRUE(WindowProbe::SaveScreen(ScreenshotFolder() + L"\\" + each.name + L".png"));
  }
}

}  // namespace

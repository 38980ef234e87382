#include <windows.h>
#include <shellapi.h>
#include <vector>
#include "CTroubleshootDlg.h"
#include "CPairwellApp.h"
#include "CPairwellDlg.h"
#include "WizardMessage.h"

namespace {

void ShellOpener(HWND owner, const std::wstring& target) {
  // A failing open is not reported.
  ShellExecuteW(owner, L"Open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
CTroubleshootDlg::Opener g_opener = &ShellOpener;

const UINT kOkText = 5009, kHelpText = 5007;
const UINT kLinkTexts[3] = {5540, 5541, 5542};
const UINT kLinkTargets[3] = {5543, 5544, 5545};
const UINT kColourText = 600;

// How a body string is marked bold: not at all, wholly, up to its first "."
// (included), or that and also from its first "(" to its end.
enum Bold { kPlain, kWhole, kToPeriod, kToPeriodAndParenthesis };

// A link text (index into 5540 to 5542) looked for inside a body string; a
// link looked for in the last string runs to the end of the body.
struct LinkRule {
  int link;
  size_t in;
  DWORD more;
};

// Heading, body strings and their formatting for one connection kind;
// everything from boldFrom to the end is bold.
struct Content {
  UINT heading;
  std::vector<UINT> body;
  std::vector<Bold> bold;
  size_t boldFrom;
  std::vector<LinkRule> links;
};

Content ContentFor(DWORD mediaCode) {
  switch (mediaCode) {
    case CPairwellDlg::kMediaCodeBluetooth:
      return {5526,
              {5519, 5520, 5521, 5522, 5523, 5524, 5525, 5529},
              {kToPeriod, kWhole, kToPeriodAndParenthesis, kWhole, kToPeriod},
              5,
              {{2, 7, 0}}};
    case CPairwellDlg::kMediaCodeInfrared:
      return {5527,
              {5530, 5531, 5532, 5533, 5525, 5529},
              {kToPeriod, kToPeriod, kToPeriod, kToPeriod},
              4,
              {{0, 0, CFE_BOLD}, {1, 2, CFE_BOLD}, {2, 5, 0}}};
    default:
      return {5528,
              {5534, 5535, 5536, 5537, 5538, 5539, 5525, 5529},
              {kWhole, kToPeriod, kToPeriod, kWhole, kToPeriod, kToPeriod},
              6,
              {{2, 7, 0}}};
  }
}

void SetRightToLeft(HWND window) {
  if (window) SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
}

}  // namespace

CTroubleshootDlg::Opener CTroubleshootDlg::SetOpener(Opener opener) {
  Opener previous = g_opener;
  g_opener = opener ? opener : &ShellOpener;
  return previous;
}

HWND CTroubleshootDlg::CreateTroubleshoot(CPairwellDlg* wizard) {
  m_wizard = wizard;
  return Create(nullptr);
}

LRESULT CTroubleshootDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  CPairwellApp& app = *CPairwellApp::Get();
  for (int i = 0; i < 3; ++i) {
    m_linkTexts[i] = app.GetLanguageString(kLinkTexts[i]);
    m_linkTargets[i] = app.GetLanguageString(kLinkTargets[i]);
  }
  m_background.SetBackground(m_hWnd);
  m_ok.Attach(GetDlgItem(IDC_TROUBLE_OK), &app.Skins().button);
  m_help.Attach(GetDlgItem(IDC_WIZARD_HELP), &app.Skins().button);
  ::SetDlgItemTextW(m_hWnd, IDC_TROUBLE_OK, app.GetLanguageString(kOkText).c_str());
  ::SetDlgItemTextW(m_hWnd, IDC_WIZARD_HELP, app.GetLanguageString(kHelpText).c_str());
  m_heading.Attach(GetDlgItem(IDC_TROUBLE_HEADING));
  m_heading.SetFont(app.GetTitleFont());
  m_heading.SetTextColor(SutrelLoadColor(app.GetSkinModule(), kColourText));

  // The rich edit takes the place the template keeps for it.
  HWND place = GetDlgItem(IDC_TROUBLE_TEXT);
  RECT rect = {0, 0, 0, 0};
  if (place) {
    ::GetWindowRect(place, &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    ::DestroyWindow(place);
  }
  if (AppFxInitRichEdit() &&
      m_body.Create(m_hWnd, rect, IDC_TROUBLE_TEXT,
                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                    WS_EX_TRANSPARENT)) {
    m_body.SetEventMask(ENM_LINK | ENM_SELCHANGE);
    m_body.SetFont(app.GetTextFont());
  }
  if (app.m_rightToLeft) {
    SetRightToLeft(m_hWnd);
    for (int id : {IDC_TROUBLE_HEADING, IDC_TROUBLE_OK, IDC_WIZARD_HELP}) SetRightToLeft(GetDlgItem(id));
  }
  return TRUE;
}

int CTroubleshootDlg::Append(UINT id) {
  int start = m_body.GetTextLength();
  m_body.SetSel(start, start);
  m_body.ReplaceSel(CPairwellApp::Get()->GetLanguageString(id));
  return start;
}

void CTroubleshootDlg::Mark(int start, int end, DWORD effects) {
  if (start < 0 || end <= start) return;
  m_body.SetSel(start, end);
  m_body.SetSelectionEffects(effects, effects);
}

int CTroubleshootDlg::FindWithin(const std::wstring& text, int start, int end) const {
  if (text.empty()) return -1;
  int found = m_body.FindText(text, start);
  return found >= 0 && found + static_cast<int>(text.size()) <= end ? found : -1;
}

// Every position below is the control's own: a line break in a string is
// one position there, so the ranges are found in the control, never counted
// in the strings.
void CTroubleshootDlg::Show(DWORD mediaCode) {
  if (!m_hWnd) return;
  CPairwellApp& app = *CPairwellApp::Get();
  Content content = ContentFor(mediaCode);
  std::wstring heading = app.GetLanguageString(content.heading);
  ::SetDlgItemTextW(m_hWnd, IDC_TROUBLE_HEADING, heading.c_str());
  SetWindowText(heading.c_str());

  m_body.SetSel(0, -1);
  m_body.ReplaceSel(L"");
  std::vector<int> starts;
  for (UINT id : content.body) starts.push_back(Append(id));
  int total = m_body.GetTextLength();
  starts.push_back(total);
  // The new text starts plain: what it was typed over may have been marked.
  m_body.SetSel(0, total);
  m_body.SetSelectionEffects(CFE_BOLD | CFE_LINK, 0);
  for (size_t i = 0; i < content.bold.size(); ++i) {
    int begin = starts[i], end = starts[i + 1];
    if (content.bold[i] == kWhole) {
      Mark(begin, end, CFE_BOLD);
    } else if (content.bold[i] != kPlain) {
      int period = FindWithin(L".", begin, end);
      Mark(begin, period >= 0 ? period + 1 : end, CFE_BOLD);
    }
    if (content.bold[i] == kToPeriodAndParenthesis) {
      int open = FindWithin(L"(", begin, end);
      if (open >= 0) Mark(open, end, CFE_BOLD);
    }
  }
  Mark(starts[content.boldFrom], total, CFE_BOLD);
  for (const LinkRule& rule : content.links) {
    const std::wstring& text = m_linkTexts[rule.link];
    int at = FindWithin(text, starts[rule.in], starts[rule.in + 1]);
    if (at >= 0) Mark(at, at + static_cast<int>(text.size()), CFE_LINK | rule.more);
  }
  m_body.SetSel(0, 0);
  ShowWindow(SW_SHOW);
  ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::PostMessageW(m_hWnd, WM_RAISE_TROUBLESHOOT, 0, 0);
}

LRESULT CTroubleshootDlg::OnRaise(UINT, WPARAM, LPARAM, BOOL&) {
  if (::IsWindowVisible(m_hWnd)) {
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(m_hWnd);
  }
  return 0;
}

void CTroubleshootDlg::Hide() {
  if (m_hWnd) ShowWindow(SW_HIDE);
}

std::wstring CTroubleshootDlg::GetBodyText() const { return m_body.GetTextRange(0, m_body.GetTextLength()); }

LRESULT CTroubleshootDlg::OnBodyNotify(int, LPNMHDR header, BOOL&) {
  if (header->code == EN_LINK) {
    const ENLINK* link = reinterpret_cast<const ENLINK*>(header);
    if (link->msg == WM_LBUTTONUP) {
      m_body.SetSel(link->chrg.cpMin, link->chrg.cpMax);
      std::wstring text = m_body.GetTextRange(link->chrg.cpMin, link->chrg.cpMax);
      m_body.SetSel(0, 0);
      const std::wstring* target = &m_linkTargets[2];
      for (int i = 0; i < 2; ++i)
        if (!m_linkTexts[i].empty() && lstrcmpiW(text.c_str(), m_linkTexts[i].c_str()) == 0)
          target = &m_linkTargets[i];
      g_opener(m_hWnd, *target);
    }
  }
  // A read-only text shows neither caret nor selection.
  ::HideCaret(m_hWnd);
  ::HideCaret(m_body.GetHwnd());
  m_body.HideSelection(true);
  return 0;
}

LRESULT CTroubleshootDlg::OnOk(WORD, WORD, HWND, BOOL&) {
  Hide();
  return 0;
}

LRESULT CTroubleshootDlg::OnHelp(WORD, WORD, HWND, BOOL&) {
  DWORD context = 3600;
  switch (m_wizard ? m_wizard->GetState() : -1) {
    case CPairwellDlg::kCable: context = 3602; break;
    case CPairwellDlg::kInfrared: context = 3603; break;
    case CPairwellDlg::kSearch: context = 3604; break;
    default: break;
  }
  ShowWizardHelp(context);
  return 0;
}

// Hidden, not destroyed: the wizard shows the same window again.
LRESULT CTroubleshootDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  m_body.SetSel(0, -1);
  m_body.ReplaceSel(L"");
  Hide();
  return 0;
}

LRESULT CTroubleshootDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  m_ok.Detach();
  m_help.Detach();
  m_heading.Detach();
  m_background.Release();
  handled = FALSE;
  return 0;
}

#include <windows.h>
#include "CSearchPhonePage.h"
#include "CPairwellApp.h"
#include "SupportInstall.h"

namespace {

const DWORD kResultWaitMilliseconds = 250000;
const DWORD kUnpairWaitMilliseconds = 70000;
const DWORD kSearchTimedOut = 0x80100022;
const DWORD kMediaFailed = 0x8020000B;
const int kNoImage = 6;
const COLORREF kNamelessColour = 0x7F7F7F;

// Called on the search worker's thread: only posts on to the page.
class CProgressPoster : public ISearchProgressSink {
public:
  explicit CProgressPoster(HWND page) : m_page(page) {}
  void OnSearchProgress(DWORD, DWORD) override { PostMessageW(m_page, CSearchPhonePage::kProgressMessage, 0, 0); }

private:
  HWND m_page;
};

bool IsNameless(const CSearchEntry& entry) { return entry.name == entry.address; }

}  // namespace

LRESULT CSearchPhonePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_SEARCH_TITLE);
  const CPageText texts[] = {{IDC_SEARCH_TITLE, 5126}, {IDC_SEARCH_TEXT1, 5127}, {IDC_SEARCH_TEXT2, 5128},
                             {IDC_SEARCH_AGAIN, 5124}, {IDC_UNPAIR, 5125}};
  SetTexts(texts, ARRAYSIZE(texts));
  for (int id : {IDC_SEARCH_TEXT1, IDC_SEARCH_TEXT2, IDC_SEARCH_INFO}) SetItemFont(id, m_host->TextFont());
  m_list.Attach(m_hWnd, IDC_SEARCH_LIST);
  m_list.ModifyStyle(0, LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  m_list.SetExtendedStyle(LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
  m_list.SetIconSpacing(100, 50);
  if (m_images.Create(24, 24, ILC_COLOR32 | ILC_MASK, 6, 1)) {
    for (UINT icon = 3061; icon <= 3066; ++icon) m_images.AddIcon(m_host->SkinModule(), icon);
    m_list.SetImageList(m_images.Get(), LVSIL_SMALL);
  }
  m_progress.Attach(m_hWnd, IDC_SEARCH_PROGRESS);
  m_progress.SetRange(0, 100);
  m_progress.SetPos(100);
  m_progress.SetStep(2);
  SetDlgItemTextW(m_hWnd, IDC_SEARCH_INFO, L" ");
  m_searchAgain.Attach(GetDlgItem(IDC_SEARCH_AGAIN));
  m_unpair.Attach(GetDlgItem(IDC_UNPAIR));
  ::EnableWindow(GetDlgItem(IDC_UNPAIR), FALSE);
  m_animation.Attach(GetDlgItem(IDC_SEARCH_ANIMATION), &m_animationSkin);
  return TRUE;
}

LRESULT CSearchPhonePage::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  SetEvent(m_host->Events().Get(CWizardEvents::SearchThreadQuit));
  m_resultWatcher.Stop();
  m_unpairWatcher.Stop();
  if (m_progressSink) CSearchProgress::SetSink(nullptr);
  m_progressSink.reset();
  m_animation.StopAnimation();
  return 0;
}

// Each time the page comes into view it lists the known devices.
LRESULT CSearchPhonePage::OnShowWindow(UINT, WPARAM shown, LPARAM, BOOL& handled) {
  handled = FALSE;
  if (shown) Start(false);
  return 0;
}

void CSearchPhonePage::EnableNext(bool enable) {
  if (HWND main = m_host->MainWindow()) ::EnableWindow(::GetDlgItem(main, IDC_NEXT), enable ? TRUE : FALSE);
}

void CSearchPhonePage::Start(bool search) {
  CWizardEvents& events = m_host->Events();
  if (!m_workerStarted) m_workerStarted = m_host->SearchWorker().Start();
  if (!m_progressSink) {
    m_progressSink = std::make_shared<CProgressPoster>(m_hWnd);
    CSearchProgress::SetSink(m_progressSink);
  }
  m_list.DeleteAllItems();
  m_entries.clear();
  // The old watcher goes before the request: it must not take the new answer.
  m_resultWatcher.Stop();
  // A cancel left over from an earlier search would end this one at once.
  ResetEvent(events.Get(CWizardEvents::SearchCancel));
  SetEvent(events.Get(search ? CWizardEvents::SearchRequest : CWizardEvents::DeviceListRequest));
  EnableNext(false);
  ::EnableWindow(GetDlgItem(IDC_SEARCH_AGAIN), FALSE);
  ::EnableWindow(GetDlgItem(IDC_UNPAIR), FALSE);
  m_progress.SetPos(0);
  m_animation.StartAnimation();
  StartResultWatcher();
}

void CSearchPhonePage::StartResultWatcher() {
  CWizardEvents& events = m_host->Events();
  HANDLE done = events.Get(CWizardEvents::SearchDone);
  HANDLE cancel = events.Get(CWizardEvents::SearchCancel);
  HANDLE failed = events.Get(CWizardEvents::SearchFailed);
  HANDLE request = events.Get(CWizardEvents::SearchRequest);
  HWND page = m_hWnd;
  m_resultWatcher.Start([=](HANDLE stop) {
    const HANDLE waits[] = {stop, done, cancel, failed};
    switch (WaitForMultipleObjects(ARRAYSIZE(waits), waits, FALSE, kResultWaitMilliseconds)) {
      case WAIT_OBJECT_0 + 1:
        ResetEvent(done);
        PostMessageW(page, kResultsMessage, 0, 0);
        break;
      case WAIT_OBJECT_0 + 3:
        ResetEvent(failed);
        PostMessageW(page, kResultsMessage, kMediaFailed, 0);
        break;
      case WAIT_TIMEOUT:
        ResetEvent(done);
        ResetEvent(request);
        SetEvent(cancel);
        PostMessageW(page, kResultsMessage, kSearchTimedOut, 0);
        break;
      default:  // stopped, or the search was cancelled
        break;
    }
  });
}

LRESULT CSearchPhonePage::OnResults(UINT, WPARAM code, LPARAM, BOOL&) {
  ShowResults(static_cast<DWORD>(code));
  return 0;
}

void CSearchPhonePage::ShowResults(DWORD code) {
  m_animation.StopAnimation();
  if (code == kMediaFailed) {
    m_host->ShowMessage(5510, MB_OK | MB_ICONERROR);
    ::EnableWindow(GetDlgItem(IDC_SEARCH_AGAIN), TRUE);
    return;
  }
  m_entries = m_host->SearchResults().Copy();
  if (code == kSearchTimedOut || m_entries.empty()) m_host->ShowTroubleshoot();
  m_progress.SetPos(100);
  m_list.DeleteAllItems();
  if (!m_entries.empty()) {
    m_list.DeleteAllColumns();
    m_list.InsertColumn(0, L"", LVCFMT_LEFT, 220);
    m_list.InsertColumn(1, L"", LVCFMT_CENTER, 20);
    m_list.InsertColumn(2, L"", LVCFMT_CENTER, 20);
    int row = 0;
    for (const CSearchEntry& entry : m_entries) {
      int at = m_list.InsertItem(row++, entry.name, entry.isPhone ? 0 : 1, entry.id);
      if (at < 0) continue;
      m_list.SetItemImage(at, 1, entry.paired ? (entry.isPhone ? 2 : 3) : kNoImage);
      m_list.SetItemImage(at, 2, entry.trusted ? (entry.isPhone ? 4 : 5) : kNoImage);
    }
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  ::EnableWindow(GetDlgItem(IDC_SEARCH_AGAIN), TRUE);
  for (const CSearchEntry& entry : m_entries) {
    if (IsNameless(entry)) {
      m_host->ShowMessage(5204, MB_OK | MB_ICONWARNING);
      break;
    }
  }
}

LRESULT CSearchPhonePage::OnProgress(UINT, WPARAM, LPARAM, BOOL&) {
  m_progress.StepIt();
  return 0;
}

const CSearchEntry* CSearchPhonePage::EntryOfRow(int row) const {
  if (row < 0) return nullptr;
  DWORD id = static_cast<DWORD>(m_list.GetItemData(row));
  for (const CSearchEntry& entry : m_entries)
    if (entry.id == id) return &entry;
  return nullptr;
}

bool CSearchPhonePage::GetSelectedEntry(CSearchEntry* entry) const {
  const CSearchEntry* selected = EntryOfRow(m_list.GetSelectedIndex());
  if (!selected) return false;
  *entry = *selected;
  return true;
}

std::wstring CSearchPhonePage::HintFor(const CSearchEntry& entry) {
  if (entry.isPhone) {
    UINT id = entry.paired ? (entry.trusted ? 5513 : 5516) : (entry.trusted ? 5515 : 5518);
    return m_host->LanguageString(id) + L"\r\n\r\n" + m_host->LanguageString(5122);
  }
  if (entry.paired) return m_host->LanguageString(entry.trusted ? 5514 : 5517);
  return L" ";
}

void CSearchPhonePage::UpdateSelection() {
  const CSearchEntry* entry = EntryOfRow(m_list.GetSelectedIndex());
  if (entry) {
    SetDlgItemTextW(m_hWnd, IDC_SEARCH_INFO, HintFor(*entry).c_str());
    ::EnableWindow(GetDlgItem(IDC_UNPAIR), entry->paired ? TRUE : FALSE);
    EnableNext(entry->isPhone != 0);
  } else {
    EnableNext(false);
    ::EnableWindow(GetDlgItem(IDC_UNPAIR), FALSE);
  }
  if (HWND main = m_host->MainWindow()) {
    RECT client = {};
    ::GetClientRect(main, &client);
    RECT quarter = {client.right / 2, client.bottom / 2, client.right, client.bottom};
    ::InvalidateRect(main, &quarter, TRUE);
  }
}

LRESULT CSearchPhonePage::OnListNotify(int, LPNMHDR header, BOOL& handled) {
  switch (header->code) {
    case NM_CUSTOMDRAW:
      return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_ITEMCHANGED:
      if (!(reinterpret_cast<const NMLISTVIEW*>(header)->uChanged & LVIF_STATE)) return 0;
      break;
    case LVN_ITEMACTIVATE:
    case LVN_KEYDOWN:
      break;
    default:
      handled = FALSE;
      return 0;
  }
  // An unpair in progress keeps the row's hint and buttons as they are.
  if (!m_host->SearchWorker().IsUnpairPending()) UpdateSelection();
  return 0;
}

LRESULT CSearchPhonePage::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
    const CSearchEntry* entry = EntryOfRow(static_cast<int>(draw->nmcd.dwItemSpec));
    if (entry && IsNameless(*entry)) draw->clrText = kNamelessColour;
  }
  return CDRF_DODEFAULT;
}

void CSearchPhonePage::Unpair() {
  CSearchEntry entry;
  if (!GetSelectedEntry(&entry)) return;
  CWizardEvents& events = m_host->Events();
  ::EnableWindow(m_list.GetHwnd(), FALSE);
  m_unpairId = entry.id;
  events.SetSelectedDeviceAddress(entry.address);
  m_unpairWatcher.Stop();
  SetEvent(events.Get(CWizardEvents::UnpairRequest));
  StartUnpairWatcher();
  std::wstring serial;
  if (m_host->FindDeviceByAddress(entry.address, &serial)) ConfigurePhoneModem(serial, {kModemConfigRemove, kModemConfigDelete});
}

void CSearchPhonePage::StartUnpairWatcher() {
  CWizardEvents& events = m_host->Events();
  HANDLE done = events.Get(CWizardEvents::UnpairDone);
  HANDLE failed = events.Get(CWizardEvents::UnpairFailed);
  HWND page = m_hWnd;
  m_unpairWatcher.Start([=](HANDLE stop) {
    const HANDLE waits[] = {stop, done, failed};
    DWORD wait = WaitForMultipleObjects(ARRAYSIZE(waits), waits, FALSE, kUnpairWaitMilliseconds);
    if (wait == WAIT_OBJECT_0) return;
    // The answer is taken, so that the next unpair waits for its own.
    if (wait == WAIT_OBJECT_0 + 1) ResetEvent(done);
    if (wait == WAIT_OBJECT_0 + 2) ResetEvent(failed);
    PostMessageW(page, kUnpairMessage, wait == WAIT_OBJECT_0 + 1 ? 1 : 0, 0);
  });
}

LRESULT CSearchPhonePage::OnUnpairAnswer(UINT, WPARAM done, LPARAM, BOOL&) {
  if (done) {
    for (CSearchEntry& entry : m_entries) {
      if (entry.id != m_unpairId) continue;
      entry.paired = 0;
      entry.trusted = 0;
      for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (static_cast<DWORD>(m_list.GetItemData(row)) != entry.id) continue;
        m_list.SetItemImage(row, 0, entry.isPhone ? 0 : 1);
        m_list.SetItemImage(row, 1, kNoImage);
        m_list.SetItemImage(row, 2, kNoImage);
      }
    }
    UpdateSelection();
    ::EnableWindow(GetDlgItem(IDC_UNPAIR), FALSE);
  } else {
    m_host->ShowMessage(5508, MB_OK | MB_ICONERROR);
  }
  ::EnableWindow(m_list.GetHwnd(), TRUE);
  return 0;
}

LRESULT CSearchPhonePage::OnSearchAgain(WORD code, WORD, HWND, BOOL& handled) {
  if (code != BN_CLICKED) {
    handled = FALSE;
    return 0;
  }
  Start(true);
  return 0;
}

LRESULT CSearchPhonePage::OnUnpair(WORD code, WORD, HWND, BOOL& handled) {
  if (code != BN_CLICKED) {
    handled = FALSE;
    return 0;
  }
  Unpair();
  return 0;
}

BOOL CSearchPhonePage::PreTranslateMessage(MSG* msg) {
  if (IsEnter(msg)) {
    if (msg->hwnd == GetDlgItem(IDC_SEARCH_AGAIN)) {
      Start(true);
      return TRUE;
    }
    if (msg->hwnd == GetDlgItem(IDC_UNPAIR)) {
      Unpair();
      return TRUE;
    }
    if (msg->hwnd == m_list.GetHwnd()) {
      HWND main = m_host->MainWindow();
      if (main && ::IsWindowEnabled(::GetDlgItem(main, IDC_NEXT))) PostNextToWizard(*m_host);
      return TRUE;
    }
  }
  return CWizardPage<CSearchPhonePage>::PreTranslateMessage(msg);
}

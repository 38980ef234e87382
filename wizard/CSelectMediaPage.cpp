#include <windows.h>
#include "CSelectMediaPage.h"

namespace {

const int kRadios[] = {IDC_MEDIA_CABLE, IDC_MEDIA_INFRARED, IDC_MEDIA_BLUETOOTH};

RECT PlaceOf(HWND page, int id) {
  RECT rect = {};
  HWND item = GetDlgItem(page, id);
  GetWindowRect(item, &rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsVisibleItem(HWND page, int id) { return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

LRESULT CSelectMediaPage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_MEDIA_TITLE);
  const CPageText texts[] = {{IDC_MEDIA_TITLE, 5104}, {IDC_MEDIA_TEXT, 5105},     {IDC_MEDIA_CABLE, 5106},
                             {IDC_MEDIA_INFRARED, 5107}, {IDC_MEDIA_BLUETOOTH, 5108}, {IDC_MEDIA_HINT, 5146}};
  SetTexts(texts, ARRAYSIZE(texts));
  for (const CPageText& text : texts)
    if (text.control != IDC_MEDIA_TITLE) SetItemFont(text.control, m_host->TextFont());
  m_cablePlace = PlaceOf(m_hWnd, IDC_MEDIA_CABLE);
  m_infraredPlace = PlaceOf(m_hWnd, IDC_MEDIA_INFRARED);
  ShowHint(false);
  return TRUE;
}

void CSelectMediaPage::Hide(int id) {
  HWND item = GetDlgItem(id);
  ::EnableWindow(item, FALSE);
  ::ShowWindow(item, SW_HIDE);
  ::SendMessageW(item, BM_SETCHECK, BST_UNCHECKED, 0);
}

void CSelectMediaPage::Reset() {
  CMediaUtility& media = m_host->Media();
  media.RefreshMedia();
  // RefreshMedia keeps no result of its own: a failed list leaves no medium.
  if (!media.IsMediaAvailable(kMediaInfrared | kMediaCable | kMediaBluetooth | kMediaCable2)) {
    for (int id : kRadios) ::EnableWindow(GetDlgItem(id), FALSE);
    m_host->ShowTroubleshoot();
    return;
  }
  // Reset runs on every show: what an earlier reset hid comes back first.
  for (int id : kRadios) {
    ::EnableWindow(GetDlgItem(id), TRUE);
    ::ShowWindow(GetDlgItem(id), SW_SHOW);
  }
  if (!media.IsMediaAvailable(kMediaCable | kMediaCable2)) Hide(IDC_MEDIA_CABLE);
  Hide(IDC_MEDIA_INFRARED);
  if (!media.IsMediaAvailable(kMediaBluetooth)) Hide(IDC_MEDIA_BLUETOOTH);
  bool cable = IsVisibleItem(m_hWnd, IDC_MEDIA_CABLE);
  bool bluetooth = IsVisibleItem(m_hWnd, IDC_MEDIA_BLUETOOTH);
  if (bluetooth) {
    // The page is reset as it comes into view, before it has painted: the
    // screen at the button's old place still holds the previous page, and
    // carried along it would stand for the button at its new place.
    const RECT& place = cable ? m_infraredPlace : m_cablePlace;
    ::SetWindowPos(GetDlgItem(IDC_MEDIA_BLUETOOTH), nullptr, place.left, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  }
  if (GetSelectedMedia() == 0) {
    if (cable)
      ::SendMessageW(GetDlgItem(IDC_MEDIA_CABLE), BM_SETCHECK, BST_CHECKED, 0);
    else if (bluetooth)
      ::SendMessageW(GetDlgItem(IDC_MEDIA_BLUETOOTH), BM_SETCHECK, BST_CHECKED, 0);
    else
      m_host->ShowTroubleshoot();
  }
}

void CSelectMediaPage::ShowHint(bool show) { ::ShowWindow(GetDlgItem(IDC_MEDIA_HINT), show ? SW_SHOW : SW_HIDE); }

int CSelectMediaPage::GetSelectedMedia() const {
  for (int id : kRadios)
    if (::SendMessageW(GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED) return id;
  return 0;
}

void CSelectMediaPage::OnDeviceArrived(const LNYX_DEVICE&) {
  m_host->Media().SetNotifySink(nullptr);
  m_host->CheckSupportNeeded(nullptr);  // the dialog does not read the record
}

BOOL CSelectMediaPage::PreTranslateMessage(MSG* msg) {
  if (IsEscape(msg)) return TRUE;
  if (IsEnter(msg)) {
    for (int id : kRadios) {
      if (msg->hwnd == GetDlgItem(id)) {
        PostNextToWizard(*m_host);
        return TRUE;
      }
    }
  }
  return CWizardPage<CSelectMediaPage>::PreTranslateMessage(msg);
}

#include <windows.h>
#include <set>
#include <vector>
#include "CSetupCompletePage.h"

namespace {

UINT MediaNameId(DWORD media) {
  switch (media) {
    case kMediaInfrared: return 5151;
    case kMediaCable: return 5148;
    case kMediaBluetooth: return 5150;
    case kMediaCable2: return 5149;
    default: return 0;
  }
}

}  // namespace

LRESULT CSetupCompletePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_COMPLETE_TITLE);
  const CPageText plain[] = {{IDC_COMPLETE_TITLE, 5117}, {IDC_COMPLETE_TEXT1, 5118}, {IDC_COMPLETE_TEXT2, 5119}};
  const CPageText bluetooth[] = {{IDC_COMPLETE_TITLE, 5117}, {IDC_COMPLETE_TEXT1, 5139}, {IDC_COMPLETE_TEXT2, 5140}};
  SetTexts(m_bluetoothMode ? bluetooth : plain, ARRAYSIZE(plain));
  for (int id : {IDC_COMPLETE_TEXT1, IDC_COMPLETE_TEXT2, IDC_COMPLETE_LIST}) SetItemFont(id, m_host->TextFont());
  m_list.Attach(m_hWnd, IDC_COMPLETE_LIST);
  m_list.ModifyStyle(LVS_TYPEMASK, LVS_LIST);
  if (m_host->IsRightToLeft())
    ::SetWindowLongW(m_list.GetHwnd(), GWL_EXSTYLE, ::GetWindowLongW(m_list.GetHwnd(), GWL_EXSTYLE) | WS_EX_RTLREADING);
  if (m_images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1)) {
    m_images.AddIcon(m_host->SkinModule(), 3061);
    m_list.SetImageList(m_images.Get(), LVSIL_SMALL);
  }
  return TRUE;
}

std::wstring CSetupCompletePage::RowText(const CMediaDevice& device, IWizardPageHost& host) {
  std::wstring media;
  for (DWORD i = 0; i < device.connectionCount && i < kMaxConnections; ++i) {
    UINT id = MediaNameId(device.media[i]);
    if (i > 0) media += L", ";
    if (id) media += host.LanguageString(id);
  }
  return device.displayName + L"  " + media;
}

void CSetupCompletePage::Fill() {
  std::vector<CMediaDevice> devices;
  m_host->Media().CopyDeviceList(&devices);
  m_list.DeleteAllItems();
  std::set<std::wstring> listed;
  int row = 0;
  for (const CMediaDevice& device : devices) {
    if (!listed.insert(device.serial).second) continue;  // the first record of a serial counts
    int index = -1;
    if (m_bluetoothMode && !CMediaUtility::FindConnectionIndex(device, kMediaBluetooth, &index)) continue;
    m_list.InsertItem(row++, RowText(device, *m_host), 0);
  }
}

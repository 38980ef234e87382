#include <windows.h>
#include "CSettingsDlg.h"
#include <commctrl.h>
#include <commdlg.h>
#include "CLaunchSettings.h"

void CSettingsDlg::ReadFrom(CLaunchSettings& settings) {
  m_strFirefoxPath = settings.GetBrowserPath(L"Firefox");
  m_strFirefoxCommandLine = settings.GetBrowserCommandLine(L"Firefox");
  m_strIECommandLine = settings.GetBrowserCommandLine(L"IE");
  m_nBrowser = settings.GetSelectedBrowser() == L"IE" ? 1 : 0;
}

bool CSettingsDlg::StoreTo(CLaunchSettings& settings) {
  settings.SetBrowserPath(L"Firefox", m_strFirefoxPath.c_str());
  settings.SetBrowserCommandLine(L"Firefox", m_strFirefoxCommandLine.c_str());
  settings.SetBrowserCommandLine(L"IE", m_strIECommandLine.c_str());
  return settings.SetSelectedBrowser(m_nBrowser ? L"IE" : L"Firefox");
}

INT_PTR CSettingsDlg::DoModal(HWND owner) {
  m_ended = false;
  m_result = IDCANCEL;
  if (!Create(owner)) return IDCANCEL;
  ShowWindow(SW_SHOW);
  WtlRunModalLoop(m_hWnd, owner, &m_ended);
  if (IsWindow()) DestroyWindow();
  return m_result;
}

LRESULT CSettingsDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  DlgResize_Init();
  CenterWindow();
  m_wndToolTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, WtlGetResourceInstance(), nullptr);
  if (m_wndToolTip) {
    ::SendMessageW(m_wndToolTip, TTM_ACTIVATE, TRUE, 0);
    const struct {
      int id;
      const wchar_t* text;
    } tools[] = {
        {IDC_FIREFOX, L"Select to use Mozilla Firefox"},
        {IDC_IE, L"Select to use Internet Explorer"},
        {IDC_FIREFOX_PATH, L"Path to Firefox. If left empty then default path is used."},
        {IDC_FIREFOX_COMMAND_LINE, L"Firefox command line. If left empty then default command line is used."},
        {IDC_IE_COMMAND_LINE, L"IE command line. If left empty then default command line is used."},
    };
    for (const auto& tool : tools) {
      TOOLINFOW info = {};
      info.cbSize = TTTOOLINFOW_V2_SIZE;
      info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      info.hwnd = m_hWnd;
      info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(tool.id));
      info.hinst = WtlGetResourceInstance();
      info.lpszText = const_cast<wchar_t*>(tool.text);
      ::SendMessageW(m_wndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
  }
  ::CheckDlgButton(m_hWnd, IDC_FIREFOX, m_nBrowser ? BST_UNCHECKED : BST_CHECKED);
  ::CheckDlgButton(m_hWnd, IDC_IE, m_nBrowser ? BST_CHECKED : BST_UNCHECKED);
  DoDataExchange(FALSE);
  ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(m_nBrowser ? IDC_IE : IDC_FIREFOX, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(m_nBrowser ? IDC_IE : IDC_FIREFOX)));
  return TRUE;
}

LRESULT CSettingsDlg::OnBrowserClicked(WORD id) {
  bool firefox = id == IDC_FIREFOX;
  WtlEnableItem(m_hWnd, IDC_FIREFOX_PATH, firefox);
  WtlEnableItem(m_hWnd, IDC_BROWSE, firefox);
  WtlEnableItem(m_hWnd, IDC_FIREFOX_COMMAND_LINE, firefox);
  WtlEnableItem(m_hWnd, IDC_IE_COMMAND_LINE, !firefox);
  return 0;
}

LRESULT CSettingsDlg::OnBrowse(WORD, WORD, HWND, BOOL&) {
  wchar_t file[MAX_PATH] = L"firefox.exe";
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof(open);
  open.hwndOwner = m_hWnd;
  open.lpstrFilter = L"Applications (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";
  open.lpstrFile = file;
  open.nMaxFile = MAX_PATH;
  open.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (::GetOpenFileNameW(&open)) {
    m_strFirefoxPath = file;
    DoDataExchange(FALSE, IDC_FIREFOX_PATH);
  }
  return 0;
}

LRESULT CSettingsDlg::OnCloseCmd(WORD, WORD id, HWND, BOOL&) {
  if (id == IDOK) {
    m_nBrowser = ::IsDlgButtonChecked(m_hWnd, IDC_IE) == BST_CHECKED ? 1 : 0;
    if (!DoDataExchange(TRUE)) return 0;
  }
  if (m_wndToolTip && ::DestroyWindow(m_wndToolTip)) m_wndToolTip = nullptr;
  m_result = id;
  m_ended = true;
  return 0;
}

void CSettingsDlg::OnMouseMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!m_wndToolTip || !::IsWindow(m_wndToolTip)) return;
  MSG relay = {hWnd, msg, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
  ::SendMessageW(m_wndToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

#pragma once
#include <windows.h>
#include <string>
#include "DataExchange.h"
#include "DialogResize.h"
#include "Window.h"
#include "WindowImpl.h"
#include "resource.h"

class CLaunchSettings;

// The settings dialog: the browser for the user interface, the Firefox path
// and both command lines. The tray window owns one and runs it modally on
// the main thread.
class CSettingsDlg : public CDialogImpl<CSettingsDlg>,
                     public CWinDataExchange<CSettingsDlg>,
                     public CDialogResize<CSettingsDlg> {
public:
  enum { IDD = IDD_SETTINGS };

  BEGIN_MSG_MAP(CSettingsDlg)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  COMMAND_ID_HANDLER(IDOK, OnCloseCmd)
  COMMAND_ID_HANDLER(IDCANCEL, OnCloseCmd)
  COMMAND_ID_HANDLER(IDC_BROWSE, OnBrowse)
  if (uMsg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= IDC_FIREFOX &&
      LOWORD(wParam) <= IDC_IE) {
    lResult = OnBrowserClicked(LOWORD(wParam));
    return TRUE;
  }
  if (uMsg >= WM_MOUSEFIRST && uMsg <= WM_MOUSEWHEEL) OnMouseMessage(hWnd, uMsg, wParam, lParam);
  CHAIN_MSG_MAP(CDialogResize<CSettingsDlg>)
  END_MSG_MAP()

  BEGIN_DLGRESIZE_MAP(CSettingsDlg)
  END_DLGRESIZE_MAP()

  BEGIN_DDX_MAP(CSettingsDlg)
  DDX_TEXT(IDC_FIREFOX_PATH, m_strFirefoxPath)
  DDX_TEXT(IDC_FIREFOX_COMMAND_LINE, m_strFirefoxCommandLine)
  DDX_TEXT(IDC_IE_COMMAND_LINE, m_strIECommandLine)
  END_DDX_MAP()

  void ReadFrom(CLaunchSettings& settings);
  bool StoreTo(CLaunchSettings& settings);
  // IDOK or IDCANCEL; IDCANCEL too when the dialog cannot be made.
  INT_PTR DoModal(HWND owner);

  int m_nBrowser = 0;
  std::wstring m_strFirefoxPath;
  std::wstring m_strFirefoxCommandLine;
  std::wstring m_strIECommandLine;
  HWND m_wndToolTip = nullptr;

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCloseCmd(WORD, WORD id, HWND, BOOL&);
  LRESULT OnBrowse(WORD, WORD, HWND, BOOL&);
  LRESULT OnBrowserClicked(WORD id);
  void OnMouseMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

  bool m_ended = false;
  INT_PTR m_result = IDCANCEL;
};

#pragma once
#include <windows.h>
#include <string>
#include "AppFxApp.h"
#include "AppFxControls.h"
#include "QorsalDialix.h"
#include "resource.h"

class CPairwellDlg;

// What a connection kind's failure can be, with links to further help. A
// modeless window without a parent, made once and shown again; main thread.
class CTroubleshootDlg : public CAppFxDialog<CTroubleshootDlg> {
public:
  enum { IDD = IDD_TROUBLESHOOT };
  // Opens a link's target; the shell's "Open" unless a test replaces it.
  typedef void (*Opener)(HWND owner, const std::wstring& target);
  static Opener SetOpener(Opener opener);

  HWND CreateTroubleshoot(CPairwellDlg* wizard);
  // Fills heading and body for the media code (0 cable, 1 Bluetooth, 2
  // infrared) and shows the window.
  void Show(DWORD mediaCode);
  void Hide();
  // The rich edit's text as the control keeps it.
  std::wstring GetBodyText() const;
  // The rich edit, for the dialog's own tests.
  const CAppFxRichEditCtrl& Body() const { return m_body; }

  BEGIN_MSG_MAP(CTroubleshootDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MESSAGE_HANDLER(WM_RAISE_TROUBLESHOOT, OnRaise)
    NOTIFY_ID_HANDLER(IDC_TROUBLE_TEXT, OnBodyNotify)
    COMMAND_ID_HANDLER(IDC_TROUBLE_OK, OnOk)
    COMMAND_ID_HANDLER(IDOK, OnOk)
    COMMAND_ID_HANDLER(IDCANCEL, OnOk)
    COMMAND_ID_HANDLER(IDC_WIZARD_HELP, OnHelp)
    CHAIN_MSG_MAP(CAppFxDialog<CTroubleshootDlg>)
  END_MSG_MAP()

private:
  LRESULT OnRaise(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnBodyNotify(int, LPNMHDR, BOOL&);
  LRESULT OnOk(WORD, WORD, HWND, BOOL&);
  LRESULT OnHelp(WORD, WORD, HWND, BOOL&);
  // Appends a language string to the body; where it begins in the control.
  int Append(UINT id);
  // Marks [start, end) of the control's text.
  void Mark(int start, int end, DWORD effects);
  // The first position of text inside [start, end), or -1.
  int FindWithin(const std::wstring& text, int start, int end) const;

  CPairwellDlg* m_wizard = nullptr;
  CAppFxRichEditCtrl m_body;
  CXeluBackBuffer m_background{3067};
  CXeluStaticCtrl m_heading;
  CXeluButtonCtrl m_ok, m_help;
  std::wstring m_linkTexts[3];
  std::wstring m_linkTargets[3];
};

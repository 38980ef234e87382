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

private:
  CPairwellDlg* m_wizard = nullptr;
};

#pragma once
#include <windows.h>
#include "AppModule.h"
#include "CZembraControls.h"
#include "DialogResize.h"
#include "GdiHandles.h"
#include "Image.h"
#include "Window.h"
#include "WindowImpl.h"
#include "resource.h"

// The about dialog: a picture background, the product version and the
// system information. Modeless, made once by the tray window and hidden on
// close; its keys go through the thread loop's filter. Main thread only.
class CAboutDlg : public CDialogImpl<CAboutDlg>, public CDialogResize<CAboutDlg>, public CMessageFilter {
public:
  enum { IDD = IDD_ABOUTBOX };

  BEGIN_MSG_MAP(CAboutDlg)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  COMMAND_ID_HANDLER(IDOK, OnCloseCmd)
  COMMAND_ID_HANDLER(IDCANCEL, OnCloseCmd)
  MESSAGE_HANDLER(WM_PAINT, OnPaint)
  MESSAGE_HANDLER(WM_PRINTCLIENT, OnPrintClient)
  MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  REFLECT_NOTIFICATIONS()
  CHAIN_MSG_MAP(CDialogResize<CAboutDlg>)
  END_MSG_MAP()

  BEGIN_DLGRESIZE_MAP(CAboutDlg)
  DLGRESIZE_CONTROL(IDC_ABOUT_TEXT, DLSZ_SIZE_X | DLSZ_SIZE_Y)
  DLGRESIZE_CONTROL(IDC_ABOUT_LINE, DLSZ_SIZE_X | DLSZ_MOVE_Y)
  DLGRESIZE_CONTROL(IDOK, DLSZ_MOVE_X | DLSZ_MOVE_Y)
  DLGRESIZE_CONTROL(IDC_SYSINFO, DLSZ_MOVE_X | DLSZ_MOVE_Y)
  END_DLGRESIZE_MAP()

  BOOL PreTranslateMessage(MSG* pMsg) override;

  // The text of the label, built from the registry and the system.
  static std::wstring BuildText();

  UINT m_backgroundId = IDP_ABOUT_BACKGROUND;  // tests name a missing one

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCloseCmd(WORD, WORD, HWND, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPrintClient(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  void DrawBackground(HDC dc);

  CImage m_background;
  CImage m_pictures[6];
  CImageListHandle m_okImages;
  CImageListHandle m_sysinfoImages;
  CZembraButton m_ok;
  CZembraButton m_sysinfo;
  CZembraLabel m_text;
};

// A PNG resource of the module into the image; false when it is missing.
bool LoadPngResource(UINT id, HMODULE module, CImage& image);

#include <windows.h>
#include "CAboutDlg.h"
#include "CCallBackImp.h"
#include "SystemInfo.h"
#include "ZCLHandle.h"

bool LoadPngResource(UINT id, HMODULE module, CImage& image) {
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!resource) return false;
  DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = size ? ::LoadResource(module, resource) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return false;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return false;
  void* target = ::GlobalLock(copy);
  if (!target) {
    ::GlobalFree(copy);
    return false;
  }
  memcpy(target, bytes, size);
  ::GlobalUnlock(copy);
  CComPtr<IStream> stream;
  // The stream frees the block when it goes.
  if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    ::GlobalFree(copy);
    return false;
  }
  WtlStartGdiPlus();
  image.Load(stream);
  return true;
}

std::wstring CAboutDlg::BuildText() {
  std::wstring version, value;
  ReadProductVersion(&version);
  std::wstring text = FormatResourceString(IDS_ABOUT_FIRST_LINE, version.c_str());
  text += L"\r\n\r\nSystem information:\r\n";
  if (GetOSDescription(&value)) text += value + L"\r\n";
  text += L"Trelk: " + (ReadTrelkVersion(&value) ? value + L"\r\n" : std::wstring(L"Not found!\r\n"));
  text += L"Orvex Cable Driver: " +
          (ReadCableDriverVersion(&value) ? value + L"\r\n" : std::wstring(L"Not found!\r\n"));
  return text;
}

LRESULT CAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  HMODULE module = WtlGetResourceInstance();
  LoadPngResource(m_backgroundId, module, m_background);
  const UINT ids[] = {IDP_OK_NORMAL,      IDP_OK_PUSHED,      IDP_OK_DISABLED,
                      IDP_SYSINFO_NORMAL, IDP_SYSINFO_PUSHED, IDP_SYSINFO_DISABLED};
  for (int i = 0; i < 6; ++i) LoadPngResource(ids[i], module, m_pictures[i]);

  m_okImages.Reset(::ImageList_Create(80, 25, ILC_COLOR32 | ILC_MASK, 3, 1));
  for (int i = 0; i < 3; ++i) ::ImageList_Add(m_okImages.Get(), m_pictures[i], nullptr);
  m_ok.SetImages(m_hWnd, m_pictures[0], m_okImages.Get(), IDOK);
  m_sysinfoImages.Reset(::ImageList_Create(120, 25, ILC_COLOR32 | ILC_MASK, 3, 1));
  for (int i = 3; i < 6; ++i) ::ImageList_Add(m_sysinfoImages.Get(), m_pictures[i], nullptr);
  m_sysinfo.SetImages(m_hWnd, m_pictures[3], m_sysinfoImages.Get(), IDC_SYSINFO);
  m_text.Attach(GetDlgItem(IDC_ABOUT_TEXT));
  ::SetWindowTextW(GetDlgItem(IDC_ABOUT_TEXT), BuildText().c_str());

  DlgResize_Init();
  // A background that did not load leaves the dialog at its resource size.
  if (!m_background.IsNull() && m_background.GetWidth() > 0 && m_background.GetHeight() > 0) {
    RECT frame = {0, 0, m_background.GetWidth(), m_background.GetHeight()};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CenterWindow();
  if (_pWtlModule && _pWtlModule->GetMessageLoop()) _pWtlModule->GetMessageLoop()->AddMessageFilter(this);
  return TRUE;
}

LRESULT CAboutDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  if (_pWtlModule && _pWtlModule->GetMessageLoop()) _pWtlModule->GetMessageLoop()->RemoveMessageFilter(this);
  bHandled = FALSE;
  return 0;
}

BOOL CAboutDlg::PreTranslateMessage(MSG* pMsg) {
  return m_hWnd && ::IsDialogMessageW(m_hWnd, pMsg);
}

LRESULT CAboutDlg::OnCloseCmd(WORD, WORD, HWND, BOOL&) {
  ShowWindow(SW_HIDE);
  return 0;
}

void CAboutDlg::DrawBackground(HDC dc) {
  if (m_background.IsNull()) return;
  CMemoryDC memory(::CreateCompatibleDC(dc));
  if (!memory.Get()) return;
  CSelectObject select(memory.Get(), static_cast<HBITMAP>(m_background));
  int mode = ::SetBkMode(dc, TRANSPARENT);
  ::BitBlt(dc, 0, 0, m_background.GetWidth(), m_background.GetHeight(), memory.Get(), 0, 0, SRCCOPY);
  ::SetBkMode(dc, mode);
}

LRESULT CAboutDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  if (dc) DrawBackground(dc);
  ::EndPaint(m_hWnd, &ps);
  return 0;
}

LRESULT CAboutDlg::OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
  DrawBackground(reinterpret_cast<HDC>(wParam));
  return 0;
}

#pragma once
#include <windows.h>
#include "WinTL.h"
#include "WindowImpl.h"

// The dialog application framework's program side: the one application
// object (built before the entry runs), the map of the framework's windows,
// and modal and modeless dialogs whose messages pass each window's
// PreTranslateMessage, innermost window first. Everything here is used on
// the program's main thread, except the window map, which guards itself.

// A window of the framework: sees the messages meant for it or for any of
// its children before they are dispatched. True: handled, goes no further.
class CAppFxWnd {
public:
  virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

protected:
  ~CAppFxWnd() = default;
};

// Window handle to framework window, for every thread of the program.
void AppFxMapWindow(HWND window, CAppFxWnd* target);
void AppFxUnmapWindow(HWND window);
CAppFxWnd* AppFxLookupWindow(HWND window);

// Offers the message to the mapped windows from its target up to the top
// of its window tree; true when one of them handled it.
BOOL AppFxPreTranslate(MSG* msg);

// Runs the calling thread's messages until *ended turns true or the dialog
// is gone; the owner is disabled meanwhile. False when WM_QUIT came first
// (it is posted again for the outer loop).
bool AppFxRunModalLoop(HWND dialog, HWND owner, const bool* ended);

// The one application object of a program. A program derives from it,
// defines one global instance and lets AppFxWinMain run it.
class CAppFxApp {
public:
  CAppFxApp();
  virtual ~CAppFxApp();

  // FALSE ends the program at once with ExitInstance's code.
  virtual BOOL InitInstance() { return FALSE; }
  virtual int ExitInstance() { return m_exitCode; }

  // Gets and handles one message: FALSE on WM_QUIT (its code kept as the
  // exit code) or when the queue cannot be read.
  BOOL PumpMessage();
  // Pumps until WM_QUIT, then ExitInstance.
  int Run();

  // A message box owned by the main window, captioned with the program's
  // name unless a caption is given.
  int MessageBox(LPCWSTR text, UINT type = MB_OK, LPCWSTR caption = nullptr);

  HINSTANCE m_hInstance = nullptr;
  LPCWSTR m_lpCmdLine = L"";  // after the program name
  int m_nCmdShow = SW_SHOWNORMAL;
  HWND m_hMainWnd = nullptr;
  LPCWSTR m_pszAppName = L"";

protected:
  int m_exitCode = 0;
};

// The application object, or null before one is built.
CAppFxApp* AppFxGetApp();

// Shows a message box; a test replaces it to answer without a window.
typedef int(CALLBACK* AppFxMessageBoxFn)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
AppFxMessageBoxFn AppFxSetMessageBox(AppFxMessageBoxFn show);

// The program's entry: fills the application object and runs it.
int AppFxWinMain(HINSTANCE instance, LPWSTR commandLine, int show);

// A dialog of the framework, from the dialog resource T::IDD or from a
// template in memory; modal through DoModal, or a modeless child through
// Create. T's message map chains CAppFxDialog<T>'s, which ends a modal
// dialog on IDOK, IDCANCEL and WM_CLOSE.
template <class T>
class CAppFxDialog : public CDialogImpl<T>, public CAppFxWnd {
public:
  explicit CAppFxDialog(const DLGTEMPLATE* memoryTemplate = nullptr) : m_template(memoryTemplate) {}
  virtual ~CAppFxDialog() { Unmap(); }

  // The code given to EndDialog; -1 when the dialog could not be made.
  INT_PTR DoModal(HWND owner = nullptr, LPARAM initParam = 0) {
    m_modal = true;
    m_ended = false;
    m_result = -1;
    if (!Make(owner, initParam)) return -1;
    ::ShowWindow(this->m_hWnd, SW_SHOW);
    AppFxRunModalLoop(this->m_hWnd, owner, &m_ended);
    if (this->m_hWnd) this->DestroyWindow();
    m_modal = false;
    return m_result;
  }
  // A modeless dialog, a child when its template says so.
  HWND Create(HWND parent, LPARAM initParam = 0) { return Make(parent, initParam); }
  void EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    if (m_modal)
      WtlWakeModalLoop(this->m_hWnd);
    else if (this->m_hWnd)
      this->DestroyWindow();
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    return this->m_hWnd && ::IsDialogMessageW(this->m_hWnd, msg);
  }

  BEGIN_MSG_MAP(CAppFxDialog)
    COMMAND_ID_HANDLER(IDOK, OnEnd)
    COMMAND_ID_HANDLER(IDCANCEL, OnEnd)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
  END_MSG_MAP()

private:
  HWND Make(HWND parent, LPARAM initParam) {
    HWND made = m_template ? this->CreateIndirect(parent, m_template, initParam)
                           : CDialogImpl<T>::Create(parent, initParam);
    if (made) AppFxMapWindow(made, this);
    return made;
  }
  void Unmap() {
    if (this->m_hWnd) AppFxUnmapWindow(this->m_hWnd);
  }
  LRESULT OnEnd(WORD, WORD id, HWND, BOOL&) {
    EndDialog(id);
    return 0;
  }
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    EndDialog(IDCANCEL);
    return 0;
  }
  LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    Unmap();
    m_ended = true;
    handled = FALSE;
    return 0;
  }

  const DLGTEMPLATE* m_template;
  bool m_modal = false;
  bool m_ended = false;
  INT_PTR m_result = -1;
};

// A window taken over through subclassing, mapped while it is held.
template <class T>
class CAppFxSubclassWnd : public CSubclassImpl<T>, public CAppFxWnd {
public:
  ~CAppFxSubclassWnd() { Release(); }
  bool Subclass(HWND window) {
    if (!this->SubclassWindow(window)) return false;
    AppFxMapWindow(window, this);
    return true;
  }
  void Release() {
    if (this->m_hWnd) AppFxUnmapWindow(this->m_hWnd);
    this->UnsubclassWindow();
  }
};

#pragma once
#include <windows.h>
#include <shellapi.h>
#include "WindowImpl.h"

class CTrayNotifyIcon;

// Subclasses the icon owner's top-level window to bring the icon back when
// the taskbar is rebuilt and to remove it when the window goes.
class CTrayIconHooker : public CSubclassImpl<CTrayIconHooker> {
public:
  explicit CTrayIconHooker(CTrayNotifyIcon* icon) : m_icon(icon) {}

  BEGIN_MSG_MAP(CTrayIconHooker)
  MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  if (uMsg == TaskbarCreatedMessage()) {
    OnTaskbarCreated();
    return FALSE;  // the window sees the broadcast as well
  }
  END_MSG_MAP()

  // The registered "TaskbarCreated" message, obtained once.
  static UINT TaskbarCreatedMessage();

private:
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled);
  void OnTaskbarCreated();
  CTrayNotifyIcon* m_icon;
};

// One icon in the taskbar's notification area with its pop-up menu. Used on
// the owner window's thread only. Texts longer than their fields are cut to
// fit, always terminated.
class CTrayNotifyIcon {
public:
  CTrayNotifyIcon();
  virtual ~CTrayNotifyIcon();

  bool Create(HWND owner, UINT id, const wchar_t* tooltip, HICON icon, UINT callbackMessage, UINT menuId);
  bool SetIcon(HICON icon);
  bool SetTooltip(const wchar_t* text);
  // Kind 0 warning, 1 error, 2 information, 3 none, 4 the given picture.
  bool ShowBalloon(const wchar_t* text, const wchar_t* title, int kind, UINT timeout, HICON icon, bool noSound);
  bool SetMenu(HMENU menu);
  void SetLeftClickMenu(bool enable) { m_leftClickMenu = enable; }
  virtual bool OnTrayMessage(UINT id, UINT event);
  bool Remove();

  bool IsAdded() const { return m_added; }
  HMENU GetMenu() const { return m_menu; }
  const NOTIFYICONDATAW& GetRecord() const { return m_data; }

private:
  friend class CTrayIconHooker;
  CTrayNotifyIcon(const CTrayNotifyIcon&) = delete;
  CTrayNotifyIcon& operator=(const CTrayNotifyIcon&) = delete;
  void OpenMenu();
  void SetDefaultItem();

  NOTIFYICONDATAW m_data;
  bool m_added = false;
  HWND m_owner = nullptr;
  CTrayIconHooker m_hooker;
  HMENU m_menu = nullptr;
  UINT m_defaultItem = 0;
  HICON m_ownedIcon = nullptr;
  UINT m_trackFlags = 0;
  bool m_leftClickMenu = false;
};

// A small icon of the program's resources, shared; the standard size when
// the small one does not load.
HICON LoadSmallIcon(UINT id);
// The major version of the loaded shell32, 4 when it does not say.
int GetShellVersion();

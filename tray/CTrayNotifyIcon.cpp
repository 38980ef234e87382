#include <windows.h>
#include "CTrayNotifyIcon.h"
#include <shlwapi.h>
#include "TrayShell.h"

namespace {

template <size_t N>
void CopyCut(wchar_t (&field)[N], const wchar_t* text) {
  ::lstrcpynW(field, text ? text : L"", static_cast<int>(N));
}

}  // namespace

int GetShellVersion() {
  static const int version = [] {
    HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    typedef HRESULT(CALLBACK * GetVersionProc)(DLLVERSIONINFO*);
    auto get = shell ? reinterpret_cast<GetVersionProc>(
                           reinterpret_cast<void*>(::GetProcAddress(shell, "DllGetVersion")))
                     : nullptr;
    DLLVERSIONINFO info = {sizeof(info)};
    if (!get || FAILED(get(&info))) return 4;
    return static_cast<int>(info.dwMajorVersion);
  }();
  return version;
}

HICON LoadSmallIcon(UINT id) {
  HINSTANCE instance = WtlGetResourceInstance();
  HICON icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
  return icon ? icon : ::LoadIconW(instance, MAKEINTRESOURCEW(id));
}

UINT CTrayIconHooker::TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

LRESULT CTrayIconHooker::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  if (m_icon->m_added) {
    TrayShell().NotifyIcon(NIM_DELETE, &m_icon->m_data);
    m_icon->m_added = false;
  }
  return 0;
}

void CTrayIconHooker::OnTaskbarCreated() {
  NOTIFYICONDATAW& data = m_icon->m_data;
  if (m_icon->m_added) {
    TrayShell().NotifyIcon(NIM_DELETE, &data);
    m_icon->m_added = false;
  }
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_icon->m_added = TrayShell().NotifyIcon(NIM_ADD, &data) != FALSE;
}

CTrayNotifyIcon::CTrayNotifyIcon() : m_hooker(this) {
  ZeroMemory(&m_data, sizeof(m_data));
  int shell = GetShellVersion();
  m_data.cbSize = shell >= 6   ? NOTIFYICONDATAW_V3_SIZE
                  : shell == 5 ? NOTIFYICONDATAW_V2_SIZE
                               : NOTIFYICONDATAW_V1_SIZE;
}

CTrayNotifyIcon::~CTrayNotifyIcon() {
  Remove();
  if (m_ownedIcon) ::DestroyIcon(m_ownedIcon);
  if (m_menu) ::DestroyMenu(m_menu);
}

void CTrayNotifyIcon::SetDefaultItem() {
  HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
  if (popup) ::SetMenuDefaultItem(popup, m_defaultItem, TRUE);
}

bool CTrayNotifyIcon::Create(HWND owner, UINT id, const wchar_t* tooltip, HICON icon, UINT callbackMessage,
                             UINT menuId) {
  HMENU menu = ::LoadMenuW(WtlGetResourceInstance(), MAKEINTRESOURCEW(menuId ? menuId : id));
  if (!menu) return false;
  if (!::GetSubMenu(menu, 0)) {
    ::DestroyMenu(menu);
    return false;
  }
  if (m_menu) ::DestroyMenu(m_menu);
  m_menu = menu;
  SetDefaultItem();

  HWND top = owner;
  for (HWND walk = owner; walk; walk = (::GetWindowLongPtrW(walk, GWL_STYLE) & WS_CHILD) ? ::GetParent(walk) : nullptr)
    top = walk;
  if (!::IsWindow(top)) top = owner;
  m_hooker.UnsubclassWindow();
  if (!m_hooker.SubclassWindow(top)) return false;

  m_owner = owner;
  m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_data.hWnd = owner;
  m_data.uID = id;
  m_data.uCallbackMessage = callbackMessage;
  m_data.hIcon = icon;
  CopyCut(m_data.szTip, tooltip);
  m_added = TrayShell().NotifyIcon(NIM_ADD, &m_data) != FALSE;
  if (GetShellVersion() > 4) {
    m_data.uVersion = NOTIFYICON_VERSION;
    TrayShell().NotifyIcon(NIM_SETVERSION, &m_data);
  }
  return m_added;
}

bool CTrayNotifyIcon::SetIcon(HICON icon) {
  if (!m_added) return false;
  m_data.uFlags = NIF_ICON;
  m_data.hIcon = icon;
  return TrayShell().NotifyIcon(NIM_MODIFY, &m_data) != FALSE;
}

bool CTrayNotifyIcon::SetTooltip(const wchar_t* text) {
  if (!m_added) return false;
  m_data.uFlags = NIF_TIP;
  CopyCut(m_data.szTip, text);
  return TrayShell().NotifyIcon(NIM_MODIFY, &m_data) != FALSE;
}

bool CTrayNotifyIcon::ShowBalloon(const wchar_t* text, const wchar_t* title, int kind, UINT timeout, HICON icon,
                                  bool noSound) {
  if (!m_added) return false;
  m_data.uFlags = NIF_INFO;
  CopyCut(m_data.szInfo, text);
  CopyCut(m_data.szInfoTitle, title);
  m_data.uTimeout = timeout;
  switch (kind) {
    case 0: m_data.dwInfoFlags = NIIF_WARNING; break;
    case 1: m_data.dwInfoFlags = NIIF_ERROR; break;
    case 2: m_data.dwInfoFlags = NIIF_INFO; break;
    case 3: m_data.dwInfoFlags = NIIF_NONE; break;
    case 4:
      m_data.dwInfoFlags = NIIF_USER;
      m_data.hIcon = icon;
      break;
    default: break;
  }
  if (noSound) m_data.dwInfoFlags |= NIIF_NOSOUND;
  return TrayShell().NotifyIcon(NIM_MODIFY, &m_data) != FALSE;
}

bool CTrayNotifyIcon::SetMenu(HMENU menu) {
  if (m_menu) ::DestroyMenu(m_menu);
  m_menu = menu;
  SetDefaultItem();
  return true;
}

void CTrayNotifyIcon::OpenMenu() {
  HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
  if (!popup) return;
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  ::SetForegroundWindow(m_owner);
  TrayShell().TrackMenu(popup, m_trackFlags, cursor.x, cursor.y, m_owner);
  ::PostMessageW(m_owner, WM_NULL, 0, 0);
}

bool CTrayNotifyIcon::OnTrayMessage(UINT id, UINT event) {
  if (id != m_data.uID) return false;
  switch (event) {
    case WM_RBUTTONUP:
      OpenMenu();
      break;
    case WM_LBUTTONUP:
      if (m_leftClickMenu) OpenMenu();
      break;
    case WM_LBUTTONDBLCLK:
      if (!m_leftClickMenu) {
        ::SetForegroundWindow(m_owner);
        HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
        UINT item = popup ? ::GetMenuDefaultItem(popup, FALSE, GMDI_GOINTOPOPUPS) : static_cast<UINT>(-1);
        if (item != static_cast<UINT>(-1)) ::SendMessageW(m_owner, WM_COMMAND, item, 0);
      }
      break;
    default:
      break;
  }
  return true;
}

bool CTrayNotifyIcon::Remove() {
  if (!m_added) return false;
  m_data.uFlags = 0;
  TrayShell().NotifyIcon(NIM_DELETE, &m_data);
  m_added = false;
  return true;
}

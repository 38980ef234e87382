#include <windows.h>
#include "CZembraTrayWindow.h"
#include <atomic>
#include "CLaunchSettings.h"
#include "SystemInfo.h"
#include "TrayShell.h"
#include "AtlException.h"
#include "ZCLFrame.h"
#include "ZCLText.h"
#include <stdexcept>

namespace {

std::atomic<HWND> g_trayWindow{nullptr};

const UINT kIcons[] = {IDI_CONNECTED, IDI_DISCONNECTED, IDI_CONNECTING, IDI_MIXED};

}  // namespace

DWORD CZembraTrayWindow::s_connectWait = 15000;

HWND GetRegisteredTrayWindow() { return g_trayWindow.load(); }

CZembraTrayWindow::CZembraTrayWindow() { m_connectEvent.Create(); }

CZembraTrayWindow::~CZembraTrayWindow() {
  ZCLGuarded(3, ZCL_SITE, [this] {
    m_icon.Remove();
    HWND registered = m_registeredAs;
    g_trayWindow.compare_exchange_strong(registered, nullptr);
    // Normally gone already (Exit); otherwise its messages would reach a
    // destroyed object.
    if (m_hWnd) DestroyWindow();
    if (m_sink) {
      CComBSTR clientId(m_sink->GetClientId().c_str());
      if (m_service) {
        if (SUCCEEDED(m_service->Disconnect(clientId))) m_connectEvent.Wait(s_connectWait);
        m_service.Release();
      }
      // A Disconnect that timed out may still be answered: the sink must
      // not reach this window or its event any more.
      m_sink->ClearOwner();
      m_callback.Release();
      m_sink = nullptr;
    }
    m_connectEvent.Close();
  });
}

HRESULT CZembraTrayWindow::ConnectService() {
  CComObjectWithoutLock<CCallBackImp>* sink = nullptr;
  HRESULT hr = CComObjectWithoutLock<CCallBackImp>::CreateInstance(&sink);
  if (FAILED(hr)) return hr;
  CComPtr<IZembraCallback> callback;
  sink->QueryInterface(IID_IZembraCallback, reinterpret_cast<void**>(&callback));
  sink->SetOwner(this, m_connectEvent.Handle());
  m_sink = sink;
  m_callback = callback;
  hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                          reinterpret_cast<void**>(&m_service));
  if (FAILED(hr)) return hr;
  return m_service->Connect(m_callback);
}

LRESULT CZembraTrayWindow::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  for (int i = 0; i < 4; ++i) m_pictures[i] = LoadSmallIcon(kIcons[i]);
  m_caption = LoadResourceString(IDS_PRODUCT);
  m_icon.Create(m_hWnd, kIconId, m_caption.c_str(), m_pictures[1], kTrayNotifyMessage, IDR_TRAYMENU);
  m_icon.SetLeftClickMenu(true);
  g_trayWindow = m_registeredAs = m_hWnd;
  m_connectEvent.Wait(s_connectWait);
  if (m_sink) m_sink->SetWindow(m_hWnd);
  ::PostMessageW(m_hWnd, kQueryDevicesMessage, 0, 0);
  return 0;
}

LRESULT CZembraTrayWindow::OnQueryDevices(UINT, WPARAM, LPARAM, BOOL&) {
  if (!m_service || !m_sink) return 0;
  CComBSTR clientId(m_sink->GetClientId().c_str());
  CComPtr<IOperation> operation;
  if (SUCCEEDED(m_service->CreateOperation(clientId, IID_IGetDevicesOperation, &operation)) && operation)
    m_service->BeginOperation(operation);
  return 0;
}

LRESULT CZembraTrayWindow::OnSinkUpdates(UINT, WPARAM, LPARAM, BOOL&) {
  if (!m_sink) return 0;
  for (const TrayUpdate& update : m_sink->TakeUpdates()) {
    if (update.kind == TrayUpdate::Summary)
      UpdateDeviceSummary(update.text, update.anyConnected, update.anyConnecting);
    else
      ShowDeviceState(update.title, update.text);
  }
  return 0;
}

void CZembraTrayWindow::UpdateDeviceSummary(const std::wstring& summary, bool anyConnected, bool anyConnecting) {
  int picture = anyConnected && anyConnecting ? 3 : anyConnected ? 0 : anyConnecting ? 2 : 1;
  m_icon.SetIcon(m_pictures[picture]);
  HMENU menu = ::LoadMenuW(WtlGetResourceInstance(), MAKEINTRESOURCEW(IDR_TRAYMENU));
  if (menu) {
    m_icon.SetMenu(menu);
    HMENU popup = ::GetSubMenu(menu, 0);
    ::SetMenuDefaultItem(popup, anyConnected || anyConnecting ? ID_OPEN_BROWSER : ID_LAUNCH_WIZARD, FALSE);
    ::EnableMenuItem(popup, ID_LAUNCH_WIZARD, MF_BYCOMMAND | (anyConnected ? MF_GRAYED : MF_ENABLED));
  }
  m_icon.SetTooltip((m_caption + L"\r\n" + summary).c_str());
}

void CZembraTrayWindow::ShowDeviceState(const std::wstring& name, const std::wstring& stateText) {
  m_icon.ShowBalloon(stateText.c_str(), name.c_str(), 3, 1, nullptr, true);
  ::PostMessageW(m_hWnd, kQueryDevicesMessage, 0, 0);
}

LRESULT CZembraTrayWindow::OnTrayNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  UINT id = static_cast<UINT>(wParam);
  UINT event = static_cast<UINT>(lParam);
  if (id != kIconId) return 0;
  if (event == NIN_BALLOONUSERCLICK) {
    if (m_pending == PendingWizard)
      ::PostMessageW(m_hWnd, WM_COMMAND, ID_LAUNCH_WIZARD, 0);
    else if (m_pending == PendingBrowser)
      ::PostMessageW(m_hWnd, WM_COMMAND, ID_OPEN_BROWSER, 0);
    m_pending = PendingNone;
  } else if (event == NIN_BALLOONTIMEOUT) {
    m_pending = PendingNone;
  }
  m_icon.OnTrayMessage(id, event);
  return 0;
}

void CZembraTrayWindow::Launch(const wchar_t* failureFormat, bool wizard) {
  std::wstring path;
  try {
    CLaunchSettings settings;
    settings.Load(CLaunchSettings::GetConfigurationPath().c_str());
    std::wstring commandLine, folder;
    if (wizard) {
      path = settings.GetWizardPath();
      commandLine = settings.GetWizardCommandLine();
      ReadTrelkPlatformPath(&folder);
    } else {
      std::wstring browser = settings.GetSelectedBrowser();
      commandLine = settings.GetBrowserCommandLine(browser);
      path = settings.GetBrowserPath(browser);
    }
    path = CLaunchSettings::ResolvePath(path);
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      throw std::runtime_error("Configuration points to invalid location");
    HINSTANCE started = TrayShell().Execute(nullptr, L"open", path.c_str(), commandLine.c_str(), folder.c_str(),
                                            SW_SHOWDEFAULT);
    // Results of 32 and below are the shell's error codes.
    if (reinterpret_cast<INT_PTR>(started) <= 32) throw std::runtime_error("ShellExecuteW failed");
  } catch (...) {
    wchar_t text[1024] = L"";
    _snwprintf(text, 1023, failureFormat, path.c_str());
    TrayShell().ShowMessage(m_hWnd, text, m_caption.c_str(), MB_OK);
  }
}

LRESULT CZembraTrayWindow::OnOpenBrowser(WORD, WORD, HWND, BOOL&) {
  Launch(L"Failed to launch Browser.\r\nPath: \"%ls\"", false);
  return 0;
}

LRESULT CZembraTrayWindow::OnLaunchWizard(WORD, WORD, HWND, BOOL&) {
  Launch(L"Failed to launch Pairwell Wizard.\r\nPath: \"%ls\"", true);
  return 0;
}

LRESULT CZembraTrayWindow::OnAbout(WORD, WORD, HWND, BOOL&) {
  if (!m_about.IsWindow()) m_about.Create(m_hWnd);
  m_about.ShowWindow(SW_SHOWNORMAL);
  return 0;
}

LRESULT CZembraTrayWindow::OnSettings(WORD, WORD, HWND, BOOL&) {
  if (m_settings.IsWindow()) {
    ::SetWindowPos(m_settings, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(m_settings);
    return 0;
  }
  // The store's and the settings' failures end in a box: nothing thrown
  // leaves a message handler.
  try {
    std::wstring path = CLaunchSettings::GetConfigurationPath();
    CLaunchSettings shown;
    shown.Load(path.c_str());
    m_settings.ReadFrom(shown);
    if (m_settings.DoModal(::GetActiveWindow()) != IDOK) return 0;
    // The file is rebuilt from defaults; what was set for the wizard by
    // hand is not shown and is carried over.
    CLaunchSettings written;
    written.Load(nullptr);
    m_settings.StoreTo(written);
    written.SetWizardPath(shown.GetWizardPath());
    written.SetWizardCommandLine(shown.GetWizardCommandLine());
    written.WriteBack(path);
  } catch (const std::exception& e) {
    TrayShell().ShowMessage(m_hWnd, ZCLAnsiToWide(e.what()).c_str(), m_caption.c_str(), MB_OK | MB_ICONERROR);
  } catch (const CAtlException& e) {
    wchar_t text[96] = L"";
    _snwprintf(text, 95, L"The settings could not be read or written (0x%08lX).", static_cast<unsigned long>(e.m_hr));
    TrayShell().ShowMessage(m_hWnd, text, m_caption.c_str(), MB_OK | MB_ICONERROR);
  }
  return 0;
}

LRESULT CZembraTrayWindow::OnExit(WORD, WORD, HWND, BOOL&) {
  DestroyWindow();
  ::PostQuitMessage(0);
  return 0;
}

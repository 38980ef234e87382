#include <windows.h>
#include <commctrl.h>
#include <exdispid.h>
#include <shlguid.h>
#include "COrvexDialixBHO.h"
#include "ComBSTR.h"
#include "ComVariant.h"
#include "NumberFinder.h"
#include "PluginUi.h"
#include "ZCLHandle.h"

namespace {

const wchar_t kOptionKey[] = L"SOFTWARE\\Orvex Dialix";
const wchar_t kOptionValue[] = L"HighlightNumbers";
const wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const wchar_t kBrowserBandsKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";

// The toolbar resource as the platform's toolbar editor writes it.
struct ToolbarResource {
  WORD version;
  WORD width;
  WORD height;
  WORD count;
  // WORD items[count]: command ids, 0 for a separator
};

std::wstring ClassIdText() {
  wchar_t text[40] = L"";
  ::StringFromGUID2(CLSID_OrvexDialixBHO, text, 40);
  return text;
}

HINSTANCE Resources() { return WtlGetResourceInstance(); }

}  // namespace

HRESULT WINAPI COrvexDialixBHO::UpdateRegistry(BOOL bRegister) {
  HRESULT hr = AtlUpdateRegistryFromResource<IDR_ORVEXDIALIXBHO>(bRegister);
  if (FAILED(hr) || bRegister) return hr;
  CRegistryKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS) {
    LONG rc = ::RegDeleteValueW(key.Get(), ClassIdText().c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(rc);
  }
  return S_OK;
}

HRESULT COrvexDialixBHO::FinalConstruct() {
  m_callback.Attach(new CCallBack());
  // The service refuses operations for a client it has not yet named: a
  // document that completes before that has its request sent from here.
  m_callback->WhenConnected([this] { RequestDevices(); });
  HRESULT hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                                  reinterpret_cast<void**>(&m_service));
  if (FAILED(hr)) return hr;
  return m_service->Connect(m_callback);
}

// Shutdown order: the browser's events, the windows, the page's click
// handler, then the service and its callback.
void COrvexDialixBHO::FinalRelease() {
  if (m_callback) m_callback->WhenConnected(nullptr);
  Unadvise();
  DestroyWindows();
  if (m_clickHandler) m_clickHandler->Detach();
  m_clickHandler.Release();
  m_browser.Release();
  m_site.Release();
  if (m_service && m_callback) {
    if (m_callback->ClientId().empty()) {
      // Released before the service named the client: the client is ended
      // when its name comes, or it would live on with no page behind it.
      CComPtr<IZembra> service = m_service;
      CCallBack* callback = m_callback;  // the hook is the callback's own
      m_callback->WhenConnected([service, callback] {
        CComBSTR client(callback->ClientId().c_str());
        service->Disconnect(client);
        callback->WhenConnected(nullptr);
      });
    } else {
      CComBSTR client(m_callback->ClientId().c_str());
      m_service->Disconnect(client);
    }
  }
  m_service.Release();
  m_callback.Release();  // lives on while the service holds it
}

// --- Browser events.

STDMETHODIMP COrvexDialixBHO::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) {
  return ZCLComMethod("COrvexDialixBHO::Invoke", ZCL_SITE, [&]() -> HRESULT {
    if (!params) return E_INVALIDARG;
    switch (dispid) {
      case DISPID_DOCUMENTCOMPLETE:
        // Arguments come last first: the frame's browser is the first one.
        if (params->cArgs >= 2) OnDocumentComplete(&params->rgvarg[1]);
        break;
      case DISPID_DOWNLOADCOMPLETE:
        OnDownloadComplete();
        break;
      case DISPID_ONQUIT:
        Unadvise();
        break;
      default:
        break;
    }
    return S_OK;
  });
}

void COrvexDialixBHO::OnDocumentComplete(VARIANT* frame) {
  if (!m_browser || !m_service || m_devicesRequested) return;  // no site: the browser is gone
  IUnknown* unknown = nullptr;
  if (frame->vt == VT_DISPATCH || frame->vt == VT_UNKNOWN) unknown = frame->punkVal;
  if (!unknown) return;
  CComPtr<IWebBrowser2> frameBrowser;
  CComPtr<IDispatch> document;
  CComPtr<IHTMLDocument2> html;
  if (FAILED(unknown->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&frameBrowser))) ||
      FAILED(frameBrowser->get_Document(&document)) || !document ||
      FAILED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))))
    return;
  m_documentSeen = true;
  RequestDevices();
}

void COrvexDialixBHO::RequestDevices() {
  if (!m_documentSeen || m_devicesRequested || !m_browser || !m_service || !m_callback) return;
  const std::wstring& clientId = m_callback->ClientId();
  if (clientId.empty()) return;
  CComBSTR client(clientId.c_str());
  CComPtr<IOperation> request;
  if (FAILED(m_service->CreateOperation(client, IID_IGetDevicesOperation, &request)) || !request ||
      FAILED(m_service->BeginOperation(request)))
    return;
  m_devicesRequested = true;
}

void COrvexDialixBHO::OnDownloadComplete() {
  if (!m_browser || !m_highlightNumbers || !m_devicesRequested) return;
  HighlightDocument();
  CComPtr<IHTMLDocument2> document = Document();
  if (!document) return;
  if (m_clickHandler) m_clickHandler->Detach();
  m_clickHandler = new CEventHandler(&COrvexDialixBHO::NumberClicked, this);
  CComVariant handler(static_cast<IDispatch*>(m_clickHandler.p));
  document->put_onclick(handler);
}

void COrvexDialixBHO::NumberClicked(void* self) { static_cast<COrvexDialixBHO*>(self)->OnNumberClick(); }

CComPtr<IHTMLDocument2> COrvexDialixBHO::Document() {
  CComPtr<IHTMLDocument2> html;
  CComPtr<IDispatch> document;
  if (m_browser && SUCCEEDED(m_browser->get_Document(&document)) && document)
    document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html));
  return html;
}

void COrvexDialixBHO::Unadvise() {
  if (m_connection && m_cookie) m_connection->Unadvise(m_cookie);
  m_connection.Release();
  m_cookie = 0;
}

// --- Site.

STDMETHODIMP COrvexDialixBHO::SetSite(IUnknown* site) {
  return ZCLComMethod("COrvexDialixBHO::SetSite", ZCL_SITE, [&]() -> HRESULT {
    // The browser may take the object off its site without OnQuit, or move
    // it: the earlier browser's connection and windows end here.
    Unadvise();
    DestroyWindows();
    if (m_clickHandler) m_clickHandler->Detach();
    m_clickHandler.Release();
    m_browser.Release();
    m_parent = nullptr;
    m_site = site;
    if (!site) return S_OK;

    CComPtr<IServiceProvider> services;
    HRESULT hr = site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services));
    if (SUCCEEDED(hr))
      hr = services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    if (FAILED(hr)) return hr;
    if (!m_browser) return E_FAIL;

    if (ShouldShowToolbar()) {
      CComVariant band(ClassIdText().c_str()), show(true), size;
      m_browser->ShowBrowserBar(&band, &show, &size);
    }

    CComPtr<IOleWindow> window;
    hr = site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window));
    if (SUCCEEDED(hr)) hr = window->GetWindow(&m_parent);
    if (FAILED(hr)) return hr;
    if (!::IsWindow(m_parent)) return E_FAIL;

    CComPtr<IConnectionPointContainer> points;
    CComPtr<IConnectionPoint> point;
    if (FAILED(m_browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) ||
        FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) || !point)
      return E_FAIL;
    hr = point->Advise(static_cast<IDispatch*>(this), &m_cookie);
    if (FAILED(hr)) return hr;
    m_connection = point;

    Load(nullptr);
    RECT empty = {0, 0, 0, 0};
    if (!Create(m_parent, &empty, L"ZORQTB_Host", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                WS_EX_TRANSPARENT)) {
      hr = AtlHresultFromLastError();
      Unadvise();
      return hr;
    }
    hr = CreateToolbar();
    if (FAILED(hr)) {
      Unadvise();
      DestroyWindows();
    }
    return hr;
  });
}

STDMETHODIMP COrvexDialixBHO::GetSite(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!m_site) return E_FAIL;
  return m_site->QueryInterface(riid, ppv);
}

// Forced visible until the browser has stored its own choice for the band.
bool COrvexDialixBHO::ShouldShowToolbar() {
  if (m_showToolbar == Show::Unknown) {
    m_showToolbar = Show::Yes;
    CRegistryKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserBandsKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        ::RegQueryValueExW(key.Get(), ClassIdText().c_str(), nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
      m_showToolbar = Show::No;
  }
  return m_showToolbar == Show::Yes;
}

// windres cannot write toolbar resources, so the layout is read here from
// raw data in the platform's format.
HRESULT COrvexDialixBHO::CreateToolbar() {
  HINSTANCE instance = Resources();
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(IDR_TOOLBAR), MAKEINTRESOURCEW(241));
  HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
  const ToolbarResource* layout = loaded ? static_cast<const ToolbarResource*>(::LockResource(loaded)) : nullptr;
  DWORD bytes = found ? ::SizeofResource(instance, found) : 0;
  if (!layout || bytes < sizeof(ToolbarResource) || layout->version != 1 ||
      bytes < sizeof(ToolbarResource) + layout->count * sizeof(WORD))
    return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
  const WORD* items = reinterpret_cast<const WORD*>(layout + 1);

  m_toolbar = ::CreateWindowExW(
      0, TOOLBARCLASSNAMEW, nullptr,
      WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | TBSTYLE_WRAPABLE |
          TBSTYLE_TRANSPARENT | CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
      0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDR_TOOLBAR)), instance, nullptr);
  if (!m_toolbar) return AtlHresultFromLastError();
  ::SendMessageW(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  ::SendMessageW(m_toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(layout->width, layout->height));
  int images = 0;
  for (WORD i = 0; i < layout->count; ++i) images += items[i] != 0;
  TBADDBITMAP bitmap = {instance, IDR_TOOLBAR};
  ::SendMessageW(m_toolbar, TB_ADDBITMAP, images, reinterpret_cast<LPARAM>(&bitmap));
  std::vector<TBBUTTON> buttons(layout->count);
  int image = 0;
  for (WORD i = 0; i < layout->count; ++i) {
    TBBUTTON& button = buttons[i];
    button = TBBUTTON{};
    if (items[i]) {
      button.iBitmap = image++;
      button.idCommand = items[i];
      button.fsState = TBSTATE_ENABLED;
      button.fsStyle = BTNS_BUTTON;
    } else {
      button.fsStyle = BTNS_SEP;
    }
  }
  ::SendMessageW(m_toolbar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));

  m_images.Reset(::ImageList_LoadImageW(instance, MAKEINTRESOURCEW(IDB_TOOLBAR_IMAGES), 24, 1, CLR_NONE,
                                        IMAGE_BITMAP, LR_DEFAULTSIZE | LR_CREATEDIBSECTION));
  if (!m_images) return AtlHresultFromLastError();
  ::SendMessageW(m_toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_images.Get()));
  ::SendMessageW(m_toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
  TBBUTTONINFOW info = {sizeof(info)};
  info.dwMask = TBIF_STYLE | TBIF_STATE;
  info.fsStyle = BTNS_BUTTON | BTNS_DROPDOWN;
  info.fsState = TBSTATE_ENABLED;
  ::SendMessageW(m_toolbar, TB_SETBUTTONINFOW, ID_OPEN_DIALIX_PAGE, reinterpret_cast<LPARAM>(&info));
  ::SetWindowTextW(m_toolbar, L"Orvex Dialix");
  ::SendMessageW(m_toolbar, TB_AUTOSIZE, 0, 0);
  return S_OK;
}

void COrvexDialixBHO::DestroyWindows() {
  if (m_toolbar) ::DestroyWindow(m_toolbar);
  m_toolbar = nullptr;
  if (m_hWnd) DestroyWindow();
  m_images.Reset();
}

// --- Band.

STDMETHODIMP COrvexDialixBHO::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_toolbar;
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::ShowDW(BOOL show) {
  if (m_toolbar) ::ShowWindow(m_toolbar, show ? SW_SHOW : SW_HIDE);
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::CloseDW(DWORD) {
  return ZCLComMethod("COrvexDialixBHO::CloseDW", ZCL_SITE, [&]() -> HRESULT {
    DestroyWindows();
    return S_OK;
  });
}

STDMETHODIMP COrvexDialixBHO::GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) {
  m_bandId = bandId;
  m_viewMode = viewMode;
  if (!info) return E_INVALIDARG;
  RECT button = {0, 0, 20, 50};
  if (m_toolbar) ::SendMessageW(m_toolbar, TB_GETRECT, ID_OPEN_DIALIX_PAGE, reinterpret_cast<LPARAM>(&button));
  LONG width = button.right - button.left, height = button.bottom - button.top;
  if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = POINTL{width, height};
  if (info->dwMask & DBIM_ACTUAL) info->ptActual = POINTL{width, height};
  if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = POINTL{0, -1};
  if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = POINTL{0, 1};
  if (info->dwMask & DBIM_TITLE) info->wszTitle[0] = L'\0';
  info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
  return S_OK;
}

// --- Persistence. A user other than the one who registered has no key:
// the option is then on, as the registration would have stored it.

STDMETHODIMP COrvexDialixBHO::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_OrvexDialixBHO;
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::Load(IStream*) {
  DWORD value = 1;
  CRegistryKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kOptionKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
    DWORD type = 0, stored = 0, bytes = sizeof(stored);
    if (::RegQueryValueExW(key.Get(), kOptionValue, nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                           &bytes) == ERROR_SUCCESS &&
        type == REG_DWORD && bytes == sizeof(stored))
      value = stored;
  }
  m_highlightNumbers = value;
  m_dirty = false;
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::Save(IStream*, BOOL clearDirty) {
  CRegistryKey key;
  LONG rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, kOptionKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                              nullptr);
  if (rc == ERROR_SUCCESS)
    rc = ::RegSetValueExW(key.Get(), kOptionValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_highlightNumbers),
                          sizeof(m_highlightNumbers));
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  if (clearDirty) m_dirty = false;
  return S_OK;
}

STDMETHODIMP COrvexDialixBHO::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = sizeof(DWORD);
  return S_OK;
}

// --- Host window.

LRESULT COrvexDialixBHO::OnOpenPage(WORD, WORD, HWND, BOOL&) {
  OpenDialixPage();
  return 0;
}

LRESULT COrvexDialixBHO::OnToggleHighlight(WORD, WORD, HWND, BOOL&) {
  m_highlightNumbers = m_highlightNumbers == 1 ? 0 : 1;
  m_dirty = true;
  Save(nullptr, TRUE);
  return 0;
}

LRESULT COrvexDialixBHO::OnNotify(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header || header->hwndFrom != m_toolbar || header->code != TBN_DROPDOWN) {
    handled = FALSE;
    return 0;
  }
  ShowDropDownMenu();
  return TBDDRET_DEFAULT;
}

void COrvexDialixBHO::ShowDropDownMenu() {
  CMenuHandle menu(::LoadMenuW(Resources(), MAKEINTRESOURCEW(IDR_TOOLBAR_MENU)));
  HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
  if (!popup) return;
  RECT button = {};
  ::SendMessageW(m_toolbar, TB_GETRECT, ID_OPEN_DIALIX_PAGE, reinterpret_cast<LPARAM>(&button));
  ::MapWindowPoints(m_toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&button), 2);
  ::CheckMenuItem(popup, ID_HIGHLIGHT_NUMBERS,
                  MF_BYCOMMAND | (m_highlightNumbers == 1 ? MF_CHECKED : MF_UNCHECKED));
  POINT at = {button.left, button.bottom};
  POINT edge = {button.left, button.top};
  if (!::MonitorFromPoint(edge, MONITOR_DEFAULTTONULL)) {
    MONITORINFO monitor = {sizeof(monitor)};
    if (::GetMonitorInfoW(::MonitorFromPoint(edge, MONITOR_DEFAULTTONEAREST), &monitor)) {
      if (at.x < monitor.rcWork.left) at.x = monitor.rcWork.left;
      if (at.x >= monitor.rcWork.right) at.x = monitor.rcWork.right - 1;
    }
  }
  // The chosen command comes back to the host window as a command message.
  PluginUiSeam().trackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, m_hWnd);
}

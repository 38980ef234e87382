#include <windows.h>
#include <olectl.h>
#include "ComControl.h"
#include "ComModule.h"
#include "ZCLFrame.h"

namespace {

const wchar_t kControlWindowClass[] = L"OrvexDialixControlWindow";

bool RegisterControlWindowClass(WNDPROC proc) {
  WNDCLASSEXW wc = {sizeof(wc)};
  HINSTANCE instance = AtlGetThisModule();
  if (::GetClassInfoExW(instance, kControlWindowClass, &wc)) return true;
  wc = WNDCLASSEXW{sizeof(wc)};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kControlWindowClass;
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

CComControlBase::CComControlBase() {}

CComControlBase::~CComControlBase() {
  if (m_hWnd) ::DestroyWindow(m_hWnd);
}

STDMETHODIMP CComControlBase::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = ControlClsid();
  return S_OK;
}

STDMETHODIMP CComControlBase::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP CComControlBase::SetClientSite(IOleClientSite* site) {
  m_clientSite = site;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  return m_clientSite.CopyTo(site);
}

STDMETHODIMP CComControlBase::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP CComControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
  return ZCLComMethod("CComControlBase::DoVerb", ZCL_SITE, [&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
      case OLEIVERB_UIACTIVATE:
        return InPlaceActivate();
      case OLEIVERB_HIDE:
        if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
        return S_OK;
      default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
  });
}

HRESULT CComControlBase::InPlaceActivate() {
  if (m_hWnd) return S_OK;
  if (!m_clientSite) return E_UNEXPECTED;
  CComPtr<IOleInPlaceSite> site;
  HRESULT hr = m_clientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
  if (FAILED(hr)) return hr;
  if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
  hr = site->OnInPlaceActivate();
  if (FAILED(hr)) return hr;
  HWND parent = nullptr;
  hr = site->GetWindow(&parent);
  if (FAILED(hr)) return hr;
  CComPtr<IOleInPlaceFrame> frame;
  CComPtr<IOleInPlaceUIWindow> document;
  RECT position = {}, clip = {};
  OLEINPLACEFRAMEINFO frameInfo = {sizeof(frameInfo)};
  hr = site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo);
  if (FAILED(hr)) return hr;
  if (!RegisterControlWindowClass(&CComControlBase::WindowProc)) return AtlHresultFromLastError();
  m_hWnd = ::CreateWindowExW(0, kControlWindowClass, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, position.left,
                             position.top, position.right - position.left,
                             position.bottom - position.top, parent, nullptr, AtlGetThisModule(),
                             this);
  if (!m_hWnd) return AtlHresultFromLastError();
  m_inPlaceSite = site;
  return S_OK;
}

STDMETHODIMP CComControlBase::InPlaceDeactivate() {
  if (m_hWnd) {
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    ::DestroyWindow(window);
  }
  if (m_inPlaceSite) {
    CComPtr<IOleInPlaceSite> site;
    site = m_inPlaceSite;
    m_inPlaceSite.Release();
    site->OnInPlaceDeactivate();
  }
  return S_OK;
}

STDMETHODIMP CComControlBase::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  m_extent = *size;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = m_extent;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_hWnd;
  return m_hWnd ? S_OK : E_FAIL;
}

STDMETHODIMP CComControlBase::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  if (m_hWnd)
    ::SetWindowPos(m_hWnd, nullptr, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

STDMETHODIMP CComControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) {
  return ZCLComMethod("CComControlBase::Draw", ZCL_SITE, [&]() -> HRESULT {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    RECT r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    OnDraw(dc, r);
    return S_OK;
  });
}

STDMETHODIMP CComControlBase::GetViewStatus(DWORD* status) {
  if (!status) return E_POINTER;
  *status = VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

STDMETHODIMP CComControlBase::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  *supported = kSafetyOptions;
  *enabled = m_safetyEnabled;
  return S_OK;
}

STDMETHODIMP CComControlBase::SetInterfaceSafetyOptions(REFIID, DWORD mask, DWORD enabled) {
  if (mask & ~kSafetyOptions) return E_FAIL;
  // From here on the host is untrusted, whatever it asks later.
  if (mask) m_safetyRequested = true;
  m_safetyEnabled = (m_safetyEnabled & ~mask) | (enabled & mask);
  return S_OK;
}

STDMETHODIMP CComControlBase::GetClassInfo(ITypeInfo** info) {
  return ZCLComMethod("CComControlBase::GetClassInfo", ZCL_SITE, [&]() -> HRESULT {
    if (!info) return E_POINTER;
    *info = nullptr;
    CComPtr<ITypeLib> library;
    HRESULT hr = ::LoadRegTypeLib(ControlLibId(), 1, 0, LOCALE_USER_DEFAULT, &library);
    if (FAILED(hr)) {
      std::wstring path = AtlGetModulePath(AtlGetThisModule());
      hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    }
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(ControlClsid(), info);
  });
}

STDMETHODIMP CComControlBase::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  *guid = GUID_NULL;
  return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
}

LRESULT CALLBACK CComControlBase::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CComControlBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (msg == WM_PAINT && self) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    ZCLGuarded(1, ZCL_SITE, [&] { self->OnDraw(dc, client); });
    ::EndPaint(window, &paint);
    return 0;
  }
  if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "COrvexDialix.h"
#include "CieOrvexDialixModule.h"
#include "ScriptFakes.h"
#include "WindowProbe.h"

namespace {

// The page's client site that also offers in-place activation into a window
// of the test's own.
class CFakeInPlaceSite : public CFakeContainer, public IOleInPlaceSite {
public:
  CFakeInPlaceSite(const wchar_t* url, HWND window) : CFakeContainer(url), m_window(window) {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (::IsEqualIID(iid, IID_IOleInPlaceSite) || ::IsEqualIID(iid, IID_IOleWindow)) {
      *ppv = static_cast<IOleInPlaceSite*>(this);
      AddRef();
      return S_OK;
    }
    return CFakeContainer::QueryInterface(iid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override { return CFakeContainer::AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return CFakeContainer::Release(); }
  STDMETHOD(GetWindow)(HWND* window) override {
    *window = m_window;
    return S_OK;
  }
  STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
  STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
  STDMETHOD(OnInPlaceActivate)() override {
    ++activations;
    return S_OK;
  }
  STDMETHOD(OnUIActivate)() override { return S_OK; }
  STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                              LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *position = RECT{40, 40, 360, 160};
    *clip = *position;
    return S_OK;
  }
  STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
  STDMETHOD(OnUIDeactivate)(BOOL) override { return S_OK; }
  STDMETHOD(OnInPlaceDeactivate)() override {
    ++deactivations;
    return S_OK;
  }
  STDMETHOD(DiscardUndoState)() override { return E_NOTIMPL; }
  STDMETHOD(DeactivateAndUndo)() override { return E_NOTIMPL; }
  STDMETHOD(OnPosRectChange)(LPCRECT) override { return S_OK; }

  int activations = 0, deactivations = 0;

private:
  HWND m_window;
};

std::wstring ScreenshotFolder() {
  wchar_t folder[MAX_PATH] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_SCREENSHOTS", folder, MAX_PATH);
  return length && length < MAX_PATH ? std::wstring(folder) : std::wstring();
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

TEST(ControlInContainer, ActivatesInPlaceAsAChildWindowAndDraws) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    HWND page = ::CreateWindowExW(0, L"STATIC", L"Orvex Dialix page", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  100, 100, 420, 260, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(page);
    CComPtr<IOrvexDialix> control;
    ASSERT_EQ(S_OK, COrvexDialix::CreateInstance(&control));
    CComPtr<IOleObject> object;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)));
    CFakeInPlaceSite* site = new CFakeInPlaceSite(L"file:///C:/page.html", page);
    CComPtr<IOleClientSite> holdSite;
    holdSite.Attach(static_cast<IOleClientSite*>(site));
    ASSERT_EQ(S_OK, object->SetClientSite(holdSite));
    ASSERT_EQ(S_OK, object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, holdSite, 0, page, nullptr));
    EXPECT_EQ(1, site->activations);

    CComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
    HWND window = nullptr;
    ASSERT_EQ(S_OK, inPlace->GetWindow(&window));
    EXPECT_EQ(page, ::GetParent(window));
    LONG style = ::GetWindowLongW(window, GWL_STYLE);
    LONG wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    EXPECT_EQ(wanted, style & wanted);
    ::UpdateWindow(page);
    ::UpdateWindow(window);
    Pump();
    std::wstring folder = ScreenshotFolder();
    if (!folder.empty()) {
      EXPECT_TRUE(WindowProbe::SaveScreen(folder + L"\\ie-control.png"));
    }

    // The container asks for safe options; nothing is stored.
    CComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)));
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(3u, supported);
    CComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)));
    CComPtr<ITypeInfo> coclass;
    EXPECT_EQ(S_OK, info->GetClassInfo(&coclass));

    EXPECT_EQ(S_OK, inPlace->InPlaceDeactivate());
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(1, site->deactivations);
    object->SetClientSite(nullptr);
    ::DestroyWindow(page);
  }
  ::CoUninitialize();
}

}  // namespace

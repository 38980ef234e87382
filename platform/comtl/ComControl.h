#pragma once
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleidl.h>
#include "ComPtr.h"

// The base of a windowed control: what a container uses works (client site,
// in-place activation into a child window, drawing, safety options, class
// information, persistence that stores nothing); the rest answers E_NOTIMPL.
// Lives on its container's apartment thread; nothing else calls it.
// The derived class lists the interfaces in its COM map and supplies OnDraw
// and its class and type-library ids.
class CComControlBase : public IPersistStreamInit,
                        public IOleControl,
                        public IOleObject,
                        public IOleInPlaceActiveObject,
                        public IViewObjectEx,
                        public IOleInPlaceObjectWindowless,
                        public IPersistStorage,
                        public ISpecifyPropertyPages,
                        public IQuickActivate,
                        public IObjectSafety,
                        public IDataObject,
                        public IProvideClassInfo2 {
public:
  // Safe for untrusted callers and for untrusted data.
  static const DWORD kSafetyOptions =
      INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

  // What the control tells containers, and its registration, of itself.
  static const DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                   OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                   OLEMISC_SETCLIENTSITEFIRST;

  CComControlBase();
  virtual ~CComControlBase();

  virtual const CLSID& ControlClsid() const = 0;
  virtual const GUID& ControlLibId() const = 0;
  // Paints the control into bounds.
  virtual void OnDraw(HDC dc, const RECT& bounds) = 0;

  // The container's client site, or null.
  IOleClientSite* ClientSite() const { return m_clientSite; }
  // True once a container asked for any safety option.
  bool SafetyRequested() const { return m_safetyRequested; }
  HWND ControlWindow() const { return m_hWnd; }

  // IPersist, IPersistStreamInit, IPersistStorage: nothing is stored.
  STDMETHOD(GetClassID)(CLSID* clsid) override;
  STDMETHOD(IsDirty)() override { return S_FALSE; }
  STDMETHOD(Load)(IStream*) override { return S_OK; }
  STDMETHOD(Save)(IStream*, BOOL) override { return S_OK; }
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;
  STDMETHOD(InitNew)() override { return S_OK; }
  STDMETHOD(InitNew)(IStorage*) override { return S_OK; }
  STDMETHOD(Load)(IStorage*) override { return S_OK; }
  STDMETHOD(Save)(IStorage*, BOOL) override { return S_OK; }
  STDMETHOD(SaveCompleted)(IStorage*) override { return S_OK; }
  STDMETHOD(HandsOffStorage)() override { return S_OK; }

  // IOleControl
  STDMETHOD(GetControlInfo)(CONTROLINFO*) override { return E_NOTIMPL; }
  STDMETHOD(OnMnemonic)(MSG*) override { return E_NOTIMPL; }
  STDMETHOD(OnAmbientPropertyChange)(DISPID) override { return S_OK; }
  STDMETHOD(FreezeEvents)(BOOL) override { return S_OK; }

  // IOleObject
  STDMETHOD(SetClientSite)(IOleClientSite* site) override;
  STDMETHOD(GetClientSite)(IOleClientSite** site) override;
  STDMETHOD(SetHostNames)(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHOD(Close)(DWORD) override;
  STDMETHOD(SetMoniker)(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHOD(InitFromData)(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetClipboardData)(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHOD(DoVerb)(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override;
  STDMETHOD(EnumVerbs)(IEnumOLEVERB**) override { return E_NOTIMPL; }
  STDMETHOD(Update)() override { return S_OK; }
  STDMETHOD(IsUpToDate)() override { return S_OK; }
  STDMETHOD(GetUserClassID)(CLSID* clsid) override { return GetClassID(clsid); }
  STDMETHOD(GetUserType)(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHOD(SetExtent)(DWORD aspect, SIZEL* size) override;
  STDMETHOD(GetExtent)(DWORD aspect, SIZEL* size) override;
  STDMETHOD(Advise)(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(Unadvise)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(EnumAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }
  STDMETHOD(GetMiscStatus)(DWORD, DWORD* status) override;
  STDMETHOD(SetColorScheme)(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject
  STDMETHOD(GetWindow)(HWND* window) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
  STDMETHOD(InPlaceDeactivate)() override;
  STDMETHOD(UIDeactivate)() override { return S_OK; }
  STDMETHOD(SetObjectRects)(LPCRECT position, LPCRECT clip) override;
  STDMETHOD(ReactivateAndUndo)() override { return E_NOTIMPL; }
  STDMETHOD(OnWindowMessage)(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }
  STDMETHOD(GetDropTarget)(IDropTarget**) override { return E_NOTIMPL; }
  STDMETHOD(TranslateAccelerator)(LPMSG) override { return S_FALSE; }
  STDMETHOD(OnFrameWindowActivate)(BOOL) override { return S_OK; }
  STDMETHOD(OnDocWindowActivate)(BOOL) override { return S_OK; }
  STDMETHOD(ResizeBorder)(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHOD(EnableModeless)(BOOL) override { return S_OK; }

  // IViewObject, IViewObject2, IViewObjectEx
  STDMETHOD(Draw)(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                  LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
  STDMETHOD(GetColorSet)(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override {
    return E_NOTIMPL;
  }
  STDMETHOD(Freeze)(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(Unfreeze)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(SetAdvise)(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
  STDMETHOD(GetAdvise)(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
  STDMETHOD(GetExtent)(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
    return GetExtent(aspect, size);
  }
  STDMETHOD(GetRect)(DWORD, LPRECTL) override { return E_NOTIMPL; }
  STDMETHOD(GetViewStatus)(DWORD* status) override;
  STDMETHOD(QueryHitPoint)(DWORD, LPCRECT, POINT, LONG, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(QueryHitRect)(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(GetNaturalExtent)(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override {
    return E_NOTIMPL;
  }

  // ISpecifyPropertyPages: none.
  STDMETHOD(GetPages)(CAUUID* pages) override;

  // IQuickActivate
  STDMETHOD(QuickActivate)(QACONTAINER*, QACONTROL*) override { return E_NOTIMPL; }
  STDMETHOD(SetContentExtent)(LPSIZEL size) override { return SetExtent(DVASPECT_CONTENT, size); }
  STDMETHOD(GetContentExtent)(LPSIZEL size) override { return GetExtent(DVASPECT_CONTENT, size); }

  // IObjectSafety
  STDMETHOD(GetInterfaceSafetyOptions)(REFIID, DWORD* supported, DWORD* enabled) override;
  STDMETHOD(SetInterfaceSafetyOptions)(REFIID, DWORD mask, DWORD enabled) override;

  // IDataObject
  STDMETHOD(GetData)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHOD(GetDataHere)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHOD(QueryGetData)(FORMATETC*) override { return E_NOTIMPL; }
  STDMETHOD(GetCanonicalFormatEtc)(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHOD(SetData)(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHOD(EnumFormatEtc)(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHOD(DAdvise)(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(DUnadvise)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(EnumDAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }

  // IProvideClassInfo2: the coclass, no outgoing interface.
  STDMETHOD(GetClassInfo)(ITypeInfo** info) override;
  STDMETHOD(GetGUID)(DWORD kind, GUID* guid) override;

private:
  HRESULT InPlaceActivate();
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

  CComPtr<IOleClientSite> m_clientSite;
  CComPtr<IOleInPlaceSite> m_inPlaceSite;
  HWND m_hWnd = nullptr;  // ours from creation to InPlaceDeactivate or destruction
  SIZEL m_extent = {5080, 5080};  // 2 by 2 inches in HIMETRIC
  bool m_safetyRequested = false;
  DWORD m_safetyEnabled = 0;
};

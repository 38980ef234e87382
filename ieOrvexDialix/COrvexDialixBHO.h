#pragma once
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <shlobj.h>
#include <string>
#include "CCallBack.h"
#include "ComBSTR.h"
#include "ComFactory.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "GdiHandles.h"
#include "NumberFinder.h"
#include "WindowImpl.h"
#include "ieOrvexDialix.h"
#include "resource.h"

// The browser helper object and toolbar band of one browser window. Lives on
// that window's thread: the browser, the service's callbacks (through COM)
// and the band's window messages all arrive there.
class COrvexDialixBHO : public CWindowImpl<COrvexDialixBHO>,
                        public CComObjectRootEx<CComSingleThreadModel>,
                        public IOrvexDialixBHO,
                        public IObjectWithSite,
                        public IDeskBand,
                        public IPersistStream,
                        public CComCoClass<COrvexDialixBHO, &CLSID_OrvexDialixBHO> {
public:
  DECLARE_WND_CLASS(L"ZORQTB_HostWindow")
  // Script 201, and at unregistration the band's value under the browser's
  // toolbar key, which the platform's registrar leaves behind.
  static HRESULT WINAPI UpdateRegistry(BOOL bRegister);

  BEGIN_COM_MAP(COrvexDialixBHO)
  COM_INTERFACE_ENTRY(IOrvexDialixBHO)
  COM_INTERFACE_ENTRY_IID(DIID_DWebBrowserEvents2, IOrvexDialixBHO)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  COM_INTERFACE_ENTRY(IDeskBand)
  COM_INTERFACE_ENTRY2(IOleWindow, IDeskBand)
  COM_INTERFACE_ENTRY2(IDockingWindow, IDeskBand)
  COM_INTERFACE_ENTRY(IPersistStream)
  COM_INTERFACE_ENTRY2(IPersist, IPersistStream)
  END_COM_MAP()

  BEGIN_MSG_MAP(COrvexDialixBHO)
  COMMAND_ID_HANDLER(ID_OPEN_DIALIX_PAGE, OnOpenPage)
  COMMAND_ID_HANDLER(ID_HIGHLIGHT_NUMBERS, OnToggleHighlight)
  MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
  END_MSG_MAP()

  // The phone-number finder of the page (NumberHighlighter.cpp).
  virtual void HighlightDocument();
  virtual void VisitNode(IHTMLDOMNode* node);
  virtual void HighlightTextNode(IHTMLDOMNode* textNode, IHTMLDOMNode* parent);
  void OnNumberClick();
  HRESULT OpenDialixPage(const wchar_t* action, const wchar_t* name, const std::wstring& value);
  HRESULT OpenDialixPage();

  HRESULT FinalConstruct();
  void FinalRelease();

  // IDispatch: the browser's events.
  STDMETHOD(GetTypeInfoCount)(UINT* count) override;
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* excepinfo, UINT* argErr) override;

  // IObjectWithSite
  STDMETHOD(SetSite)(IUnknown* site) override;
  STDMETHOD(GetSite)(REFIID riid, void** ppv) override;

  // IDeskBand
  STDMETHOD(GetWindow)(HWND* window) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
  STDMETHOD(ShowDW)(BOOL show) override;
  STDMETHOD(CloseDW)(DWORD reserved) override;
  STDMETHOD(ResizeBorderDW)(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
  STDMETHOD(GetBandInfo)(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;

  // IPersistStream: the option lives in the registry, not in the stream.
  STDMETHOD(GetClassID)(CLSID* clsid) override;
  STDMETHOD(IsDirty)() override { return m_dirty ? S_OK : S_FALSE; }
  STDMETHOD(Load)(IStream*) override;
  STDMETHOD(Save)(IStream*, BOOL clearDirty) override;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;

  DWORD HighlightNumbers() const { return m_highlightNumbers; }
  HWND ToolbarWindow() const { return m_toolbar; }

private:
  LRESULT OnOpenPage(WORD, WORD, HWND, BOOL&);
  LRESULT OnToggleHighlight(WORD, WORD, HWND, BOOL&);
  LRESULT OnNotify(UINT, WPARAM, LPARAM lParam, BOOL& handled);

  void OnDocumentComplete(VARIANT* frame);
  // Asks the service for its devices once a document has completed and the
  // client id is known; again after a request that did not start.
  void RequestDevices();
  void OnDownloadComplete();
  // Ends the browser's event connection, if one is held.
  void Unadvise();
  void DestroyWindows();
  bool ShouldShowToolbar();
  HRESULT CreateToolbar();
  void ShowDropDownMenu();
  static void NumberClicked(void* self);
  CComPtr<IHTMLDocument2> Document();

  // Held only while HighlightDocument walks the page, so that each text node
  // does not ask the browser again nor re-make the wrap's strings.
  struct PageWalk {
    explicit PageWalk(CComPtr<IHTMLDocument2> page);
    bool Ready() const { return document && tag && css; }
    CComPtr<IHTMLDocument2> document;
    CComBSTR tag, css;
  };
  PageWalk* m_walk = nullptr;

  CComPtr<IUnknown> m_site;
  CComPtr<IWebBrowser2> m_browser;
  CComPtr<IConnectionPoint> m_connection;  // where m_cookie was given
  DWORD m_cookie = 0;
  HWND m_parent = nullptr;
  HWND m_toolbar = nullptr;
  CImageListHandle m_images;
  DWORD m_bandId = 0;
  DWORD m_viewMode = 0;
  CComPtr<CCallBack> m_callback;
  CComPtr<IZembra> m_service;
  CComPtr<CEventHandler> m_clickHandler;
  bool m_documentSeen = false;
  bool m_devicesRequested = false;  // only for a request that started
  enum class Show { Unknown, Yes, No } m_showToolbar = Show::Unknown;
  DWORD m_highlightNumbers = 1;
  bool m_dirty = false;
};

#pragma once
#include <windows.h>
#include <vector>
#include "ComAggregation.h"
#include "ComControl.h"
#include "ComDispatch.h"
#include "ComError.h"
#include "ComFactory.h"
#include "ComObject.h"
#include "COrvexDialixCallBack.h"
#include "ieOrvexDialix.h"
#include "resource.h"

// The page script's face of the service. Lives on the browser's apartment
// thread; the service reaches it only through its callback object.
class COrvexDialix : public CComObjectRootEx<CComSingleThreadModel>,
                     public IDispatchImpl<IOrvexDialix, &IID_IOrvexDialix, &LIBID_ieOrvexDialixLib>,
                     public CComControlBase,
                     public ISupportErrorInfoImpl<&IID_IOrvexDialix>,
                     public CComCoClass<COrvexDialix, &CLSID_OrvexDialix> {
public:
  COrvexDialix();
  ~COrvexDialix() override;

  DECLARE_REGISTRY_RESOURCEID(IDR_ORVEXDIALIX)
  DECLARE_AGGREGATABLE(COrvexDialix)

  BEGIN_COM_MAP(COrvexDialix)
  COM_INTERFACE_ENTRY(IOrvexDialix)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(IPersistStreamInit)
  COM_INTERFACE_ENTRY2(IPersist, IPersistStreamInit)
  COM_INTERFACE_ENTRY(IOleControl)
  COM_INTERFACE_ENTRY(IOleObject)
  COM_INTERFACE_ENTRY(IOleInPlaceActiveObject)
  COM_INTERFACE_ENTRY(IViewObjectEx)
  COM_INTERFACE_ENTRY2(IViewObject2, IViewObjectEx)
  COM_INTERFACE_ENTRY2(IViewObject, IViewObjectEx)
  COM_INTERFACE_ENTRY(IOleInPlaceObjectWindowless)
  COM_INTERFACE_ENTRY2(IOleInPlaceObject, IOleInPlaceObjectWindowless)
  COM_INTERFACE_ENTRY2(IOleWindow, IOleInPlaceObjectWindowless)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  COM_INTERFACE_ENTRY(IPersistStorage)
  COM_INTERFACE_ENTRY(ISpecifyPropertyPages)
  COM_INTERFACE_ENTRY(IQuickActivate)
  COM_INTERFACE_ENTRY_IID(IID_IObjectSafety, IObjectSafety)
  COM_INTERFACE_ENTRY(IDataObject)
  COM_INTERFACE_ENTRY(IProvideClassInfo2)
  COM_INTERFACE_ENTRY2(IProvideClassInfo, IProvideClassInfo2)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  // Error information with the control's ProgID as source; 0 gives DISP_E_EXCEPTION.
  HRESULT ReportError(LPCOLESTR text, HRESULT hr);

  // CComControlBase
  const CLSID& ControlClsid() const override { return CLSID_OrvexDialix; }
  const GUID& ControlLibId() const override { return LIBID_ieOrvexDialixLib; }
  void OnDraw(HDC dc, const RECT& bounds) override;

  // IOrvexDialix
  STDMETHOD(Connect)(IDispatch* callback) override;
  STDMETHOD(Disconnect)(BSTR clientId) override;
  STDMETHOD(CreateOperation)(BSTR clientId, BSTR name, IDispatch** operation) override;
  STDMETHOD(BeginOperation)(IDispatch* operation) override;
  STDMETHOD(CancelOperation)(IDispatch* operation) override;
  STDMETHOD(SubscribeNotification)(BSTR clientId, BSTR name) override;
  STDMETHOD(UnsubscribeNotification)(BSTR clientId, BSTR name) override;
  STDMETHOD(ReadFile)(BSTR fileName, BSTR* contents) override;
  STDMETHOD(GetTrayExeDir)(BSTR* folder) override;
  STDMETHOD(RegGetCharPref)(BSTR branch, BSTR key, BSTR* value) override;
  STDMETHOD(RegSetCharPref)(BSTR branch, BSTR key, BSTR value) override;
  STDMETHOD(LaunchPWZ)() override;
  STDMETHOD(Trace)(BSTR message) override;

private:
  // The frame of every method but Trace: the page lock first, then body.
  template <class Body>
  HRESULT Guarded(const char* name, Body body);
  // S_OK when the page may drive the control (see PageAllowed in the .cpp).
  HRESULT CheckPage();
  // The service or the failure of its creation, reported.
  HRESULT NeedService();
  // (Un)subscribes by the scriptable notification name.
  HRESULT Subscription(BSTR clientId, BSTR name, bool subscribe);

  CComPtr<IZembra> m_service;
  HRESULT m_serviceCreation = E_UNEXPECTED;
  // The callback of every Connect whose client may still be connected; the
  // last is the current one. The page may leave without disconnecting any.
  std::vector<CComPtr<COrvexDialixCallBack>> m_callbacks;
};

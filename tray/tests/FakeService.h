#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "CLockable.h"
#include "ComTL.h"
#include "SZembra.h"

// Dual interfaces answer nothing through IDispatch here.
#define FAKE_NO_DISPATCH                                                                   \
  STDMETHOD(GetTypeInfoCount)(UINT * count) override {                                   \
    *count = 0;                                                                            \
    return S_OK;                                                                           \
  }                                                                                        \
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }           \
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
    return E_NOTIMPL;                                                                      \
  }

struct FakePhone {
  std::wstring name;
  int state;       // EDeviceState, or any other number
  bool failing;    // its list entry cannot be read
};

class CFakeDevice : public CComObjectRootEx<CComMultiThreadModel>, public IDevice {
public:
  BEGIN_COM_MAP(CFakeDevice)
  COM_INTERFACE_ENTRY(IDevice)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  FAKE_NO_DISPATCH
  static CComPtr<IDevice> Make(const FakePhone& phone) {
    CComObject<CFakeDevice>* p = nullptr;
    CComObject<CFakeDevice>::CreateInstance(&p);
    p->m_phone = phone;
    return CComPtr<IDevice>(p);
  }
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return Text(L"SERIAL", out); }
  STDMETHOD(get_ModelName)(BSTR* out) override { return Text(L"Model", out); }
  STDMETHOD(get_FriendlyName)(BSTR* out) override { return Text(m_phone.name.c_str(), out); }
  STDMETHOD(get_Manufacturer)(BSTR* out) override { return Text(L"Orvex", out); }
  STDMETHOD(get_BluetoothName)(BSTR* out) override { return Text(L"", out); }
  STDMETHOD(get_State)(EDeviceState* out) override {
    *out = static_cast<EDeviceState>(m_phone.state);
    return S_OK;
  }

private:
  static HRESULT Text(const wchar_t* text, BSTR* out) {
    *out = ::SysAllocString(text);
    return S_OK;
  }
  FakePhone m_phone;
};

class CFakeDeviceList : public CComObjectRootEx<CComMultiThreadModel>, public IDeviceList {
public:
  BEGIN_COM_MAP(CFakeDeviceList)
  COM_INTERFACE_ENTRY(IDeviceList)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  FAKE_NO_DISPATCH
  static CComPtr<IDeviceList> Make(const std::vector<FakePhone>& phones) {
    CComObject<CFakeDeviceList>* p = nullptr;
    CComObject<CFakeDeviceList>::CreateInstance(&p);
    p->m_phones = phones;
    return CComPtr<IDeviceList>(p);
  }
  STDMETHOD(get__NewEnum)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_Item)(LONG index, IDevice** out) override {
    if (index < 1 || index > static_cast<LONG>(m_phones.size()) || m_phones[index - 1].failing) return E_FAIL;
    return CFakeDevice::Make(m_phones[index - 1]).CopyTo(out);
  }
  STDMETHOD(get_Count)(LONG* out) override {
    *out = static_cast<LONG>(m_phones.size());
    return S_OK;
  }

private:
  std::vector<FakePhone> m_phones;
};

class CFakeOperation : public CComObjectRootEx<CComMultiThreadModel>, public IGetDevicesOperation {
public:
  BEGIN_COM_MAP(CFakeOperation)
  COM_INTERFACE_ENTRY(IGetDevicesOperation)
  COM_INTERFACE_ENTRY(IOperation)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  FAKE_NO_DISPATCH
  static CComPtr<IOperation> Make(CComPtr<IDeviceList> list) {
    CComObject<CFakeOperation>* p = nullptr;
    CComObject<CFakeOperation>::CreateInstance(&p);
    p->m_list = list;
    return CComPtr<IOperation>(static_cast<IGetDevicesOperation*>(p));
  }
  STDMETHOD(get_ClientId)(BSTR* out) override { return (*out = ::SysAllocString(L"")) ? S_OK : E_OUTOFMEMORY; }
  STDMETHOD(get_OperationId)(BSTR* out) override { return (*out = ::SysAllocString(L"op")) ? S_OK : E_OUTOFMEMORY; }
  STDMETHOD(get_OperationState)(EOperationState* out) override {
    *out = OperationCompleted;
    return S_OK;
  }
  STDMETHOD(get_OperationData)(IUnknown** out) override {
    *out = m_list;
    if (*out) (*out)->AddRef();
    return S_OK;
  }

private:
  CComPtr<IDeviceList> m_list;
};

// The service's main object as the tray sees it: it records what the tray
// asks and answers the device query with the phones it is given. Any thread.
class CFakeZembra : public CComObjectRootEx<CComMultiThreadModel>, public IZembra {
public:
  BEGIN_COM_MAP(CFakeZembra)
  COM_INTERFACE_ENTRY(IZembra)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  FAKE_NO_DISPATCH

  bool connectAtOnce = true;  // ConnectCompleted inside Connect
  std::vector<FakePhone> phones;

  STDMETHOD(Connect)(IZembraCallback* callback) override {
    {
      CLockGuard guard(&m_lock);
      m_callback = callback;
    }
    if (connectAtOnce) callback->ConnectCompleted(CComBSTR(L"client-1"));
    return S_OK;
  }
  STDMETHOD(Disconnect)(BSTR clientId) override {
    CComPtr<IZembraCallback> callback = Callback();
    {
      CLockGuard guard(&m_lock);
      m_disconnects.push_back(clientId ? clientId : L"");
    }
    if (callback) callback->DisconnectCompleted(clientId);
    return S_OK;
  }
  STDMETHOD(CreateOperation)(BSTR clientId, REFIID, IOperation** out) override {
    std::vector<FakePhone> list;
    {
      CLockGuard guard(&m_lock);
      m_queries.push_back(clientId ? clientId : L"");
      list = phones;
    }
    return CFakeOperation::Make(CFakeDeviceList::Make(list)).CopyTo(out);
  }
  STDMETHOD(BeginOperation)(IOperation* operation) override {
    CComPtr<IZembraCallback> callback = Callback();
    if (callback) callback->OperationCompleted(CComBSTR(L"client-1"), CComBSTR(L"op"), operation);
    return S_OK;
  }
  STDMETHOD(CancelOperation)(IOperation*) override { return S_OK; }
  STDMETHOD(SubscribeNotification)(BSTR, REFIID) override { return S_OK; }
  STDMETHOD(UnsubscribeNotification)(BSTR, REFIID) override { return S_OK; }

  CComPtr<IZembraCallback> Callback() {
    CLockGuard guard(&m_lock);
    return m_callback;
  }
  std::vector<std::wstring> Queries() {
    CLockGuard guard(&m_lock);
    return m_queries;
  }
  std::vector<std::wstring> Disconnects() {
    CLockGuard guard(&m_lock);
    return m_disconnects;
  }
  void SetPhones(const std::vector<FakePhone>& list) {
    CLockGuard guard(&m_lock);
    phones = list;
  }

private:
  CLockable m_lock;
  CComPtr<IZembraCallback> m_callback;
  std::vector<std::wstring> m_queries;
  std::vector<std::wstring> m_disconnects;
};

// Registers a fake as the local server of Zembra for this process.
class CFakeZembraRegistration : public IClassFactory {
public:
  CFakeZembraRegistration() {
    CComObject<CFakeZembra>::CreateInstance(&m_fake);
    m_hold = static_cast<IZembra*>(m_fake);
    ::CoRegisterClassObject(CLSID_Zembra, this, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
  }
  ~CFakeZembraRegistration() {
    if (m_cookie) ::CoRevokeClassObject(m_cookie);
  }
  CFakeZembra& Fake() { return *m_fake; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** out) override { return m_hold->QueryInterface(iid, out); }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
  CComObject<CFakeZembra>* m_fake = nullptr;
  CComPtr<IZembra> m_hold;
  DWORD m_cookie = 0;
};

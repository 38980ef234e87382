#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ComBSTR.h"
#include "ComPtr.h"
#include "ieOrvexDialix.h"

// Stand-ins for the service's objects, in the test's own apartment.

#define FAKE_NO_DISPATCH                                                                 \
  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }                      \
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }         \
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {            \
    return E_NOTIMPL;                                                                    \
  }                                                                                      \
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) \
  override {                                                                             \
    return E_NOTIMPL;                                                                    \
  }

// Reference counting and QueryInterface over a list of interface ids that
// all map to the one vtable of Itf.
template <class Itf>
class CFakeUnknown : public Itf {
public:
  explicit CFakeUnknown(std::vector<IID> iids) : m_iids(std::move(iids)) {}
  virtual ~CFakeUnknown() {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch)) {
      *ppv = static_cast<Itf*>(this);
    } else {
      for (const IID& known : m_iids)
        if (::IsEqualIID(iid, known)) *ppv = static_cast<Itf*>(this);
    }
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = --m_refs;
    if (!count) delete this;
    return count;
  }
  ULONG Refs() const { return m_refs; }

private:
  ULONG m_refs = 1;
  std::vector<IID> m_iids;
};

class CFakeContact : public CFakeUnknown<IContact> {
public:
  explicit CFakeContact(const wchar_t* id) : CFakeUnknown({IID_IContact}), m_id(id) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_DbId)(BSTR* out) override { return m_id.CopyTo(out); }
  STDMETHOD(get_PhoneId)(BSTR* out) override { return m_id.CopyTo(out); }
  STDMETHOD(get_VCard)(BSTR* out) override { return m_vcard.CopyTo(out); }
  STDMETHOD(put_VCard)(BSTR in) override { m_vcard = in; return S_OK; }
  STDMETHOD(get_TopContact)(VARIANT_BOOL* out) override { *out = m_top; return S_OK; }
  STDMETHOD(put_TopContact)(VARIANT_BOOL in) override { m_top = in == VARIANT_TRUE ? VARIANT_TRUE : VARIANT_FALSE; return S_OK; }
  STDMETHOD(get_PhotoPath)(BSTR* out) override { return CComBSTR(L"").CopyTo(out); }
  STDMETHOD(get_FormattedName)(BSTR* out) override { return m_id.CopyTo(out); }
  STDMETHOD(_GetInternalPointer)(hyper* out) override { *out = reinterpret_cast<hyper>(this); return S_OK; }

  CComBSTR m_id, m_vcard;
  VARIANT_BOOL m_top = VARIANT_FALSE;
};

// Takes only its own contacts, as the service does.
class CFakeContactList : public CFakeUnknown<IContactList> {
public:
  CFakeContactList() : CFakeUnknown({IID_IContactList}) {}
  ~CFakeContactList() override {
    for (IContact* c : m_items) c->Release();
  }
  FAKE_NO_DISPATCH
  STDMETHOD(get__NewEnum)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_Item)(LONG index, IContact** out) override {
    if (index < 1) return E_INVALIDARG;
    if (index > static_cast<LONG>(m_items.size())) return E_FAIL;
    *out = m_items[index - 1];
    (*out)->AddRef();
    return S_OK;
  }
  STDMETHOD(get_Count)(LONG* out) override { *out = static_cast<LONG>(m_items.size()); return S_OK; }
  STDMETHOD(CreateContact)(IContact** out) override {
    CFakeContact* made = new CFakeContact(L"new");
    m_made.push_back(made);
    *out = made;
    return S_OK;
  }
  STDMETHOD(AddContact)(IContact* contact, LONG* index) override {
    bool ours = false;
    for (IContact* c : m_made) ours |= c == contact;
    for (IContact* c : m_items) ours |= c == contact;
    if (!contact || !ours) return E_INVALIDARG;
    contact->AddRef();
    m_items.push_back(contact);
    *index = static_cast<LONG>(m_items.size());
    return S_OK;
  }
  STDMETHOD(RemoveContact)(LONG) override { return E_NOTIMPL; }
  void Add(const wchar_t* id) {
    CFakeContact* c = new CFakeContact(id);
    m_made.push_back(c);
    m_items.push_back(c);
  }

  std::vector<IContact*> m_items;  // one reference each
  std::vector<IContact*> m_made;   // not counted
};

class CFakeSmsList : public CFakeUnknown<ISmsList> {
public:
  CFakeSmsList() : CFakeUnknown({IID_ISmsList}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get__NewEnum)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_Item)(LONG index, ISms**) override { return index < 1 ? E_INVALIDARG : E_FAIL; }
  STDMETHOD(get_Count)(LONG* out) override { *out = 0; return S_OK; }
};

// One operation of any kind whose vtable is IOperation plus a SerialNumber
// (get-devices, get-contacts, get-messages, get-call-log).
class CFakeOperation : public CFakeUnknown<IGetContactsOperation> {
public:
  explicit CFakeOperation(REFIID kind) : CFakeUnknown({IID_IOperation, kind}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_ClientId)(BSTR* out) override { return CComBSTR(L"client").CopyTo(out); }
  STDMETHOD(get_OperationId)(BSTR* out) override { return CComBSTR(L"op-1").CopyTo(out); }
  STDMETHOD(get_OperationState)(EOperationState* out) override { *out = OperationCompleted; return S_OK; }
  STDMETHOD(get_OperationData)(IUnknown** out) override {
    *out = m_data;
    if (m_data) m_data->AddRef();
    return S_OK;
  }
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return m_serial.CopyTo(out); }
  STDMETHOD(put_SerialNumber)(BSTR in) override { m_serial = in; return S_OK; }

  CComBSTR m_serial;
  CComPtr<IUnknown> m_data;
};

// The service's main object: records what the control asks of it.
class CFakeZembra : public CFakeUnknown<IZembra> {
public:
  CFakeZembra() : CFakeUnknown({IID_IZembra}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(Connect)(IZembraCallback* callback) override {
    m_callback = callback;
    return S_OK;
  }
  STDMETHOD(Disconnect)(BSTR clientId) override {
    m_disconnected.push_back(BstrText(clientId));
    return S_OK;
  }
  STDMETHOD(CreateOperation)(BSTR, REFIID kind, IOperation** out) override {
    m_createdKind = kind;
    CFakeOperation* made = new CFakeOperation(m_answerKind ? kind : IID_IOperation);
    *out = made;
    return S_OK;
  }
  STDMETHOD(BeginOperation)(IOperation* op) override {
    m_begun = op;
    return S_OK;
  }
  STDMETHOD(CancelOperation)(IOperation* op) override {
    m_cancelled = op;
    return S_OK;
  }
  STDMETHOD(SubscribeNotification)(BSTR, REFIID kind) override {
    m_subscribed = kind;
    return S_OK;
  }
  STDMETHOD(UnsubscribeNotification)(BSTR, REFIID) override { return S_OK; }

  CComPtr<IZembraCallback> m_callback;  // the last one connected
  std::vector<std::wstring> m_disconnected;
  bool m_answerKind = true;  // false: operations answer only IOperation
  IID m_createdKind = GUID_NULL;
  IID m_subscribed = GUID_NULL;
  CComPtr<IOperation> m_begun, m_cancelled;
};

class CFakeSms : public CFakeUnknown<ISms> {
public:
  CFakeSms() : CFakeUnknown({IID_ISms}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_DbId)(BSTR* out) override { return CComBSTR(L"sms-1").CopyTo(out); }
  STDMETHOD(get_PhoneId)(BSTR* out) override { return CComBSTR(L"sms-1").CopyTo(out); }
  STDMETHOD(get_Message)(BSTR* out) override { return CComBSTR(L"Hello").CopyTo(out); }
  STDMETHOD(get_TimeStamp)(BSTR* out) override { return CComBSTR(L"").CopyTo(out); }
  STDMETHOD(get_Status)(LONG* out) override { *out = 0; return S_OK; }
  STDMETHOD(put_Status)(LONG) override { return S_OK; }
  STDMETHOD(get_Folder)(LONG* out) override { *out = 1; return S_OK; }
  STDMETHOD(get_Addresses)(IAddressList**) override { return E_NOTIMPL; }
  STDMETHOD(_GetInternalPointer)(hyper*) override { return E_NOTIMPL; }
};

// The three notification kinds of one phone, "SN-1".
class CFakeCallNotification : public CFakeUnknown<ICallNotification> {
public:
  CFakeCallNotification() : CFakeUnknown({IID_ISNotification, IID_ICallNotification}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return CComBSTR(L"SN-1").CopyTo(out); }
  STDMETHOD(get_Number)(BSTR* out) override { return CComBSTR(L"+358401").CopyTo(out); }
  STDMETHOD(get_State)(LONG* out) override { *out = 6; return S_OK; }
};

class CFakeMessageNotification : public CFakeUnknown<IMessageReceivedNotification> {
public:
  CFakeMessageNotification() : CFakeUnknown({IID_ISNotification, IID_IMessageReceivedNotification}) {
    m_sms.Attach(new CFakeSms);
  }
  FAKE_NO_DISPATCH
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return CComBSTR(L"SN-1").CopyTo(out); }
  STDMETHOD(get_Message)(ISms** out) override { return m_sms.CopyTo(out); }
  CComPtr<ISms> m_sms;
};

// Carries no call-log entry, as the service's may not.
class CFakeEventsNotification : public CFakeUnknown<IEventsUpdatedNotification> {
public:
  CFakeEventsNotification() : CFakeUnknown({IID_ISNotification, IID_IEventsUpdatedNotification}) {}
  FAKE_NO_DISPATCH
  STDMETHOD(get_SerialNumber)(BSTR* out) override { return CComBSTR(L"SN-1").CopyTo(out); }
  STDMETHOD(get_Event)(IEvent** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
};

#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>
#include "ComBSTR.h"
#include "ComPtr.h"
#include "SZembra.h"

// Free-threaded stand-ins for what the service hands the windows: counted
// objects with the free-threaded marshaler, as the service's call control
// has, so a window's thread reaches them directly in its own apartment.

template <class I, bool dispatch>
class FakeUnknown : public I {
public:
  FakeUnknown() { ::CoCreateFreeThreadedMarshaler(static_cast<I*>(this), &m_marshaler); }
  virtual ~FakeUnknown() {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (iid == IID_IUnknown || (dispatch && iid == IID_IDispatch) || iid == __uuidof(I)) {
      *ppv = static_cast<I*>(this);
      this->AddRef();
      return S_OK;
    }
    if (iid == IID_IMarshal && m_marshaler) return m_marshaler->QueryInterface(iid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --m_refs;
    if (!left) delete this;
    return left;
  }

private:
  std::atomic<ULONG> m_refs{0};
  CComPtr<IUnknown> m_marshaler;
};

template <class I>
class FakeDispatch : public FakeUnknown<I, true> {
public:
  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

inline HRESULT GiveText(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = ::SysAllocString(text.c_str());
  return S_OK;
}

class FakeContact : public FakeDispatch<IContact> {
public:
  FakeContact(const std::wstring& name, const std::wstring& photo) : m_name(name), m_photo(photo) {}
  STDMETHOD(get_DbId)(BSTR* p) override { return GiveText(L"1", p); }
  STDMETHOD(get_PhoneId)(BSTR* p) override { return GiveText(L"1", p); }
  STDMETHOD(get_VCard)(BSTR* p) override { return GiveText(L"", p); }
  STDMETHOD(put_VCard)(BSTR) override { return E_NOTIMPL; }
  STDMETHOD(get_TopContact)(VARIANT_BOOL* p) override {
    *p = VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(put_TopContact)(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHOD(get_PhotoPath)(BSTR* p) override { return GiveText(m_photo, p); }
  STDMETHOD(get_FormattedName)(BSTR* p) override { return GiveText(m_name, p); }
  STDMETHOD(_GetInternalPointer)(hyper* p) override {
    *p = 0;
    return S_OK;
  }

private:
  std::wstring m_name, m_photo;
};

class FakeAddress : public FakeDispatch<IAddress> {
public:
  FakeAddress(LONG type, const std::wstring& address) : m_type(type), m_address(address) {}
  STDMETHOD(get_Type)(LONG* p) override {
    *p = m_type;
    return S_OK;
  }
  STDMETHOD(get_Address)(BSTR* p) override { return GiveText(m_address, p); }

private:
  LONG m_type;
  std::wstring m_address;
};

class FakeAddressList : public FakeDispatch<IAddressList> {
public:
  std::vector<std::pair<LONG, std::wstring>> items;
  STDMETHOD(get__NewEnum)(IUnknown**) override { return E_NOTIMPL; }
  STDMETHOD(get_Item)(LONG index, IAddress** p) override {
    if (index < 1) return E_INVALIDARG;
    if (index > static_cast<LONG>(items.size())) return E_FAIL;
    CComPtr<IAddress> address(new FakeAddress(items[index - 1].first, items[index - 1].second));
    return address.CopyTo(p);
  }
  STDMETHOD(get_Count)(LONG* p) override {
    *p = static_cast<LONG>(items.size());
    return S_OK;
  }
};

class FakeSms : public FakeDispatch<ISms> {
public:
  std::wstring text;
  LONG folder = 1;
  std::vector<std::pair<LONG, std::wstring>> addresses;
  STDMETHOD(get_DbId)(BSTR* p) override { return GiveText(L"1", p); }
  STDMETHOD(get_PhoneId)(BSTR* p) override { return GiveText(L"1", p); }
  STDMETHOD(get_Message)(BSTR* p) override { return GiveText(text, p); }
  STDMETHOD(get_TimeStamp)(BSTR* p) override { return GiveText(L"", p); }
  STDMETHOD(get_Status)(LONG* p) override {
    *p = 0;
    return S_OK;
  }
  STDMETHOD(put_Status)(LONG) override { return S_OK; }
  STDMETHOD(get_Folder)(LONG* p) override {
    *p = folder;
    return S_OK;
  }
  STDMETHOD(get_Addresses)(IAddressList** p) override {
    CComPtr<FakeAddressList> list(new FakeAddressList);
    list->items = addresses;
    *p = list.Detach();
    return S_OK;
  }
  STDMETHOD(_GetInternalPointer)(hyper* p) override {
    *p = 0;
    return S_OK;
  }
};

class FakeMessageNotification : public FakeDispatch<IMessageReceivedNotification> {
public:
  std::wstring serial;
  CComPtr<ISms> sms;  // null: a notification without a message
  STDMETHOD(get_SerialNumber)(BSTR* p) override { return GiveText(serial, p); }
  STDMETHOD(get_Message)(ISms** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    return sms ? sms.CopyTo(p) : S_OK;
  }
};

// The service's call handler as the windows see it: records every request and
// answers as told.
class RecordingCallHandler : public FakeUnknown<ICallHandler, false> {
public:
  struct Request {
    std::wstring method, serial, number, text;
    LONG callId;
  };

  STDMETHOD(Activate)(BSTR serial, LONG callId) override {
    Record({L"Activate", Str(serial), L"", L"", callId});
    return S_OK;
  }
  STDMETHOD(Reject)(BSTR serial, LONG callId) override {
    Record({L"Reject", Str(serial), L"", L"", callId});
    return S_OK;
  }
  STDMETHOD(Call)(BSTR serial, BSTR number, LONG* callId) override {
    Record({L"Call", Str(serial), Str(number), L"", nextCallId});
    if (beforeCallReturns) beforeCallReturns(nextCallId);
    if (callResult == S_OK) *callId = nextCallId;
    return callResult;
  }
  STDMETHOD(SendSMS)(BSTR serial, BSTR number, BSTR text) override {
    Record({L"SendSMS", Str(serial), Str(number), Str(text), 0});
    return sendResult;
  }
  // Leaves the out value alone when there is no contact, as the service does.
  STDMETHOD(FindContactByNumber)(BSTR serial, BSTR number, IContact** contact) override {
    outWasNull = outWasNull && contact && *contact == nullptr;
    Record({L"FindContactByNumber", Str(serial), Str(number), L"", 0});
    if (!contactName.empty() || !contactPhoto.empty()) {
      CComPtr<IContact> made(new FakeContact(contactName, contactPhoto));
      *contact = made.Detach();
      return S_OK;
    }
    return S_FALSE;
  }

  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
  }
  std::vector<Request> RequestsOf(const std::wstring& method) {
    std::vector<Request> of;
    for (const Request& r : Requests())
      if (r.method == method) of.push_back(r);
    return of;
  }

  HRESULT callResult = S_OK;
  LONG nextCallId = 7;
  HRESULT sendResult = S_OK;
  std::wstring contactName, contactPhoto;
  std::function<void(LONG)> beforeCallReturns;
  std::atomic<bool> outWasNull{true};

private:
  static std::wstring Str(BSTR text) { return text ? text : L""; }
  void Record(const Request& r) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_requests.push_back(r);
  }
  std::mutex m_lock;
  std::vector<Request> m_requests;
};

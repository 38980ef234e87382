#include <windows.h>
#include "CEvent.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

HRESULT CEvent::FinalConstruct() {
  return ZCLComMethod("CEvent::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    m_live.Add(GetUnknown(), this);
    return S_OK;
  });
}

void CEvent::FinalRelease() { m_live.Remove(); }

void CEvent::Init(const CZembraEventLog* record, const wchar_t* serialNumber) {
  CComObjectLock<CEvent> lock(this);
  m_record.reset(record ? new CZembraEventLog(*record) : new CZembraEventLog());
  m_serialNumber = ZCLNullToEmpty(serialNumber);
}

std::wstring CEvent::GetSerialNumber() {
  CComObjectLock<CEvent> lock(this);
  return m_serialNumber;
}

template <class Out, class Getter>
HRESULT CEvent::Read(const char* name, Out* out, Getter read) {
  return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    CComObjectLock<CEvent> lock(this);
    static const CZembraEventLog kEmpty;
    return read(m_record ? *m_record : kEmpty, out);
  });
}

// Four bytes, most significant first: always eight digits.
STDMETHODIMP CEvent::get_Id(BSTR* pbstrId) {
  return Read("CEvent::get_Id", pbstrId, [](const CZembraEventLog& r, BSTR* out) {
    wchar_t text[9];
    swprintf(text, 9, L"%08x", static_cast<unsigned>(r.GetId()));
    return CopyComText(text, out);
  });
}

STDMETHODIMP CEvent::get_Type(long* pType) {
  return Read("CEvent::get_Type", pType, [](const CZembraEventLog& r, long* out) {
    *out = r.GetType();
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_Direction(long* pDirection) {
  return Read("CEvent::get_Direction", pDirection, [](const CZembraEventLog& r, long* out) {
    *out = r.GetDirection();
    return S_OK;
  });
}

// The out VARIANT may hold garbage: it is initialised, never cleared.
STDMETHODIMP CEvent::get_Duration(VARIANT* pDuration) {
  return Read("CEvent::get_Duration", pDuration, [](const CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI4;
    out->ulVal = static_cast<ULONG>(r.GetDuration());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_BytesSent(VARIANT* pBytes) {
  return Read("CEvent::get_BytesSent", pBytes, [](const CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI8;
    out->ullVal = static_cast<ULONGLONG>(r.GetBytesSent());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_BytesReceived(VARIANT* pBytes) {
  return Read("CEvent::get_BytesReceived", pBytes, [](const CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI8;
    out->ullVal = static_cast<ULONGLONG>(r.GetBytesReceived());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_Number(BSTR* pbstrNumber) {
  return Read("CEvent::get_Number", pbstrNumber,
              [](const CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetNumber(), out); });
}

STDMETHODIMP CEvent::get_Name(BSTR* pbstrName) {
  return Read("CEvent::get_Name", pbstrName,
              [](const CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetName(), out); });
}

STDMETHODIMP CEvent::get_TimeStamp(BSTR* pbstrTimeStamp) {
  return Read("CEvent::get_TimeStamp", pbstrTimeStamp,
              [](const CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetTimeStamp(), out); });
}

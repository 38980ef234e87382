#include <windows.h>
#include "CEvent.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

// Four bytes, most significant first: always eight digits.
STDMETHODIMP CEvent::get_Id(BSTR* pbstrId) {
  return Read("CEvent::get_Id", pbstrId, [](CZembraEventLog& r, BSTR* out) {
    wchar_t text[9];
    swprintf(text, 9, L"%08x", static_cast<unsigned>(r.GetId()));
    return CopyComText(text, out);
  });
}

STDMETHODIMP CEvent::get_Type(long* pType) {
  return Read("CEvent::get_Type", pType, [](CZembraEventLog& r, long* out) {
    *out = r.GetType();
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_Direction(long* pDirection) {
  return Read("CEvent::get_Direction", pDirection, [](CZembraEventLog& r, long* out) {
    *out = r.GetDirection();
    return S_OK;
  });
}

// The out VARIANT may hold garbage: it is initialised, never cleared.
STDMETHODIMP CEvent::get_Duration(VARIANT* pDuration) {
  return Read("CEvent::get_Duration", pDuration, [](CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI4;
    out->ulVal = static_cast<ULONG>(r.GetDuration());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_BytesSent(VARIANT* pBytes) {
  return Read("CEvent::get_BytesSent", pBytes, [](CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI8;
    out->ullVal = static_cast<ULONGLONG>(r.GetBytesSent());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_BytesReceived(VARIANT* pBytes) {
  return Read("CEvent::get_BytesReceived", pBytes, [](CZembraEventLog& r, VARIANT* out) {
    VariantInit(out);
    out->vt = VT_UI8;
    out->ullVal = static_cast<ULONGLONG>(r.GetBytesReceived());
    return S_OK;
  });
}

STDMETHODIMP CEvent::get_Number(BSTR* pbstrNumber) {
  return Read("CEvent::get_Number", pbstrNumber,
              [](CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetNumber(), out); });
}

STDMETHODIMP CEvent::get_Name(BSTR* pbstrName) {
  return Read("CEvent::get_Name", pbstrName,
              [](CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetName(), out); });
}

STDMETHODIMP CEvent::get_TimeStamp(BSTR* pbstrTimeStamp) {
  return Read("CEvent::get_TimeStamp", pbstrTimeStamp,
              [](CZembraEventLog& r, BSTR* out) { return CopyComText(r.GetTimeStamp(), out); });
}

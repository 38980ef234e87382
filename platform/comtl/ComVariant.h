#pragma once
#include <windows.h>
#include <oleauto.h>

// Owning VARIANT: cleared on destruction and before every assignment.
class CComVariant : public tagVARIANT {
public:
  CComVariant() { ::VariantInit(this); }
  CComVariant(const VARIANT& other) {
    ::VariantInit(this);
    Copy(&other);
  }
  CComVariant(const CComVariant& other) : CComVariant(static_cast<const VARIANT&>(other)) {}
  CComVariant(LPCOLESTR text) {
    ::VariantInit(this);
    *this = text;
  }
  CComVariant(bool value) {
    ::VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  CComVariant(int value) : CComVariant(static_cast<LONG>(value)) {}
  CComVariant(LONG value) {
    ::VariantInit(this);
    vt = VT_I4;
    lVal = value;
  }
  CComVariant(ULONG value) {
    ::VariantInit(this);
    vt = VT_UI4;
    ulVal = value;
  }
  CComVariant(LONGLONG value) {
    ::VariantInit(this);
    vt = VT_I8;
    llVal = value;
  }
  CComVariant(ULONGLONG value) {
    ::VariantInit(this);
    vt = VT_UI8;
    ullVal = value;
  }
  CComVariant(IDispatch* value) {
    ::VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = value;
    if (value) value->AddRef();
  }
  CComVariant(IUnknown* value) {
    ::VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = value;
    if (value) value->AddRef();
  }
  ~CComVariant() { Clear(); }

  CComVariant& operator=(const CComVariant& other) {
    if (this != &other) Copy(&other);
    return *this;
  }
  CComVariant& operator=(const VARIANT& other) {
    if (&other != this) Copy(&other);
    return *this;
  }
  // A string that cannot be allocated leaves VT_ERROR with E_OUTOFMEMORY.
  CComVariant& operator=(LPCOLESTR text) {
    Clear();
    vt = VT_BSTR;
    bstrVal = ::SysAllocString(text ? text : L"");
    if (!bstrVal) {
      vt = VT_ERROR;
      scode = E_OUTOFMEMORY;
    }
    return *this;
  }

  HRESULT Clear() { return ::VariantClear(this); }
  HRESULT Copy(const VARIANT* source) {
    HRESULT hr = ::VariantCopy(this, const_cast<VARIANT*>(source));
    if (FAILED(hr)) {
      vt = VT_ERROR;
      scode = hr;
    }
    return hr;
  }
  // Moves the value into dest (which is cleared first); this one becomes empty.
  HRESULT Detach(VARIANT* dest) {
    if (!dest) return E_POINTER;
    HRESULT hr = ::VariantClear(dest);
    if (FAILED(hr)) return hr;
    *dest = *static_cast<VARIANT*>(this);
    vt = VT_EMPTY;
    return S_OK;
  }
  HRESULT ChangeType(VARTYPE type, const VARIANT* source = nullptr) {
    VARIANT* from = const_cast<VARIANT*>(source ? source : this);
    return ::VariantChangeType(this, from, 0, type);
  }
};

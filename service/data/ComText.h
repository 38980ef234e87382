#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include "ComTL.h"

// A new BSTR holding the text: E_POINTER for a null out pointer,
// E_OUTOFMEMORY when it cannot be allocated. Null text copies as empty.
HRESULT CopyComText(const wchar_t* text, BSTR* copy);
inline HRESULT CopyComText(const std::wstring& text, BSTR* copy) {
  if (!copy) return E_POINTER;
  *copy = ::SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
  return *copy ? S_OK : E_OUTOFMEMORY;
}

// A new object of the service's own, final construction done, with one
// reference held by the result; null when it could not be made.
template <class T>
CComPtr<CComObject<T>> NewComObject() {
  CComObject<T>* object = nullptr;
  if (FAILED(CComObject<T>::CreateInstance(&object)) || !object) return CComPtr<CComObject<T>>();
  return CComPtr<CComObject<T>>(object);
}

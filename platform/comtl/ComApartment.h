#pragma once
#include <windows.h>
#include <objbase.h>

// Joins the calling thread to a COM apartment for one scope; leaves it only
// when joining succeeded.
class CComApartment {
public:
  explicit CComApartment(DWORD model) : m_hr(::CoInitializeEx(nullptr, model)) {}
  ~CComApartment() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  HRESULT Result() const { return m_hr; }

private:
  CComApartment(const CComApartment&) = delete;
  CComApartment& operator=(const CComApartment&) = delete;
  HRESULT m_hr;
};

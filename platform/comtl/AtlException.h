#pragma once
#include <windows.h>

// The template library's COM-error exception: what its string and variant
// holders raise when they cannot allocate, carrying the HRESULT.
class CAtlException {
public:
  explicit CAtlException(HRESULT hr = E_FAIL) : m_hr(hr) {}
  operator HRESULT() const { return m_hr; }
  HRESULT m_hr;
};

[[noreturn]] inline void AtlThrow(HRESULT hr) { throw CAtlException(hr); }

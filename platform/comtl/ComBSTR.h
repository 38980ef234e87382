#pragma once
#include <windows.h>
#include <oleauto.h>
#include <cstring>
#include <memory>
#include <string>

// Owning BSTR. A failed allocation leaves it null; callers that must report
// E_OUTOFMEMORY test it (a null source stays null too).
class CComBSTR {
public:
  CComBSTR() : m_str(nullptr) {}
  CComBSTR(LPCOLESTR text) : m_str(text ? ::SysAllocString(text) : nullptr) {}
  CComBSTR(UINT length, LPCOLESTR text) : m_str(::SysAllocStringLen(text, length)) {}
  CComBSTR(const CComBSTR& other) : m_str(other.Copy()) {}
  CComBSTR(CComBSTR&& other) noexcept : m_str(other.m_str) { other.m_str = nullptr; }
  ~CComBSTR() { ::SysFreeString(m_str); }

  CComBSTR& operator=(LPCOLESTR text) {
    if (text != m_str) {
      ::SysFreeString(m_str);
      m_str = text ? ::SysAllocString(text) : nullptr;
    }
    return *this;
  }
  CComBSTR& operator=(const CComBSTR& other) {
    if (this != std::addressof(other)) {
      ::SysFreeString(m_str);
      m_str = other.Copy();
    }
    return *this;
  }
  CComBSTR& operator=(CComBSTR&& other) noexcept {
    if (this != std::addressof(other)) {
      ::SysFreeString(m_str);
      m_str = other.m_str;
      other.m_str = nullptr;
    }
    return *this;
  }

  operator BSTR() const { return m_str; }
  // For out parameters: the string must be empty, or it would leak.
  BSTR* operator&() { return &m_str; }
  bool operator!() const { return m_str == nullptr; }

  UINT Length() const { return ::SysStringLen(m_str); }
  BSTR Copy() const {
    return m_str ? ::SysAllocStringByteLen(reinterpret_cast<const char*>(m_str),
                                           ::SysStringByteLen(m_str))
                 : nullptr;
  }
  // E_OUTOFMEMORY only when there was something to copy.
  HRESULT CopyTo(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = Copy();
    return (m_str && !*out) ? E_OUTOFMEMORY : S_OK;
  }
  void Attach(BSTR text) {
    ::SysFreeString(m_str);
    m_str = text;
  }
  BSTR Detach() {
    BSTR text = m_str;
    m_str = nullptr;
    return text;
  }
  void Empty() {
    ::SysFreeString(m_str);
    m_str = nullptr;
  }
  HRESULT Append(LPCOLESTR text, UINT length) {
    UINT old = Length();
    BSTR joined = ::SysAllocStringLen(nullptr, old + length);
    if (!joined) return E_OUTOFMEMORY;
    if (old) memcpy(joined, m_str, old * sizeof(OLECHAR));
    if (length) memcpy(joined + old, text, length * sizeof(OLECHAR));
    joined[old + length] = 0;
    Attach(joined);
    return S_OK;
  }
  HRESULT Append(LPCOLESTR text) { return text ? Append(text, lstrlenW(text)) : S_OK; }

  BSTR m_str;
};

// A string's whole text (it may hold zeros), empty for null.
inline std::wstring BstrText(BSTR text) { return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring(); }

#include <windows.h>
#include "CUid.h"
#include "ZCLException.h"
#include "ZCLLogger.h"

namespace Trelk {

CUid::CUid(const BYTE* bytes, size_t length) {
  ZCLScopeTracer trace("Trelk::CUid::CUid");
  if (bytes && length > 0) m_bytes.assign(bytes, bytes + length);
}

CUid::CUid(const CUid& other) : m_bytes(other.m_bytes), m_text(other.m_text) {
  ZCLScopeTracer trace("Trelk::CUid::CUid");
}

const wchar_t* CUid::ToString() const {
  ZCLScopeTracer trace("Trelk::CUid::ToString");
  static const wchar_t digits[] = L"0123456789abcdef";
  m_text.clear();
  m_text.reserve(m_bytes.size() * 2);
  for (BYTE b : m_bytes) {
    m_text += digits[b >> 4];
    m_text += digits[b & 0x0F];
  }
  return m_text.c_str();
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // upper case is not the stored form
}

}  // namespace

CUid CUid::Parse(const char* text) {
  CUid uid;
  if (!text) return uid;
  size_t length = strlen(text);
  if (length % 2 != 0) throw ZCLException("Invalid UID String!");
  uid.m_bytes.reserve(length / 2);
  for (size_t i = 0; i < length; i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) throw ZCLException("Invalid UID String!");
    uid.m_bytes.push_back(static_cast<BYTE>((high << 4) | low));
  }
  return uid;
}

}  // namespace Trelk

#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace Trelk {

// A phone-side item id: its bytes as the phone gives them, and their text
// form (two lower-case hexadecimal digits per byte), rendered on demand.
// A plain value: copied freely, never shared between threads.
class CUid {
public:
  CUid() {}
  CUid(const BYTE* bytes, size_t length);
  CUid(const CUid& other);
  CUid& operator=(const CUid& other) = default;

  // Renders the bytes, keeps the text and returns it (valid until the next
  // call or the uid's end). An empty uid gives an empty text.
  const wchar_t* ToString() const;

  // The text form back to bytes; null or empty text gives an empty uid.
  // Throws ZCLException "Invalid UID String!" on an odd length or on any
  // character other than 0-9 and a-f.
  static CUid Parse(const char* text);

  const BYTE* GetData() const { return m_bytes.empty() ? nullptr : m_bytes.data(); }
  size_t GetLength() const { return m_bytes.size(); }
  bool IsEmpty() const { return m_bytes.empty(); }

private:
  std::vector<BYTE> m_bytes;
  mutable std::wstring m_text;
};

}  // namespace Trelk

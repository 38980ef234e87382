#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "TrelkApi.h"

namespace Trelk {

// One address of a call, copied from the library's address record.
class CAddressInfo {
public:
  // A null record gives type 0, an empty text and zero flags.
  explicit CAddressInfo(const WEXEL_ADDRESS* record = nullptr);

  BYTE GetAddressType() const { return m_type; }
  const wchar_t* GetAddress() const { return m_address.c_str(); }
  BYTE GetFlag1() const { return m_flag1; }
  BYTE GetFlag2() const { return m_flag2; }

private:
  BYTE m_type;
  std::wstring m_address;
  BYTE m_flag1;
  BYTE m_flag2;
};

// A call as the library reported it: its five bytes and its addresses, copied,
// so that it outlives the library's record.
class CCallInfo {
public:
  // A null record gives zeros and no addresses.
  explicit CCallInfo(const WEXEL_CALL_INFO* record = nullptr);

  BYTE GetFirst() const { return m_first; }
  BYTE CallId() const { return m_callId; }
  BYTE GetThird() const { return m_third; }
  BYTE Status() const { return m_status; }
  BYTE GetFifth() const { return m_fifth; }
  size_t GetAddressCount() const { return m_addresses.size(); }
  // Throws std::out_of_range at or beyond the count.
  CAddressInfo GetAddressAt(size_t index) const { return m_addresses.at(index); }

private:
  BYTE m_first;
  BYTE m_callId;
  BYTE m_third;
  BYTE m_status;
  BYTE m_fifth;
  std::vector<CAddressInfo> m_addresses;
};

}  // namespace Trelk

#include <windows.h>
#include "CCallInfo.h"

namespace Trelk {

CAddressInfo::CAddressInfo(const WEXEL_ADDRESS* record)
    : m_type(record ? record->bAddressType : 0),
      m_address(record && record->pstrAddress ? record->pstrAddress : L""),
      m_flag1(record ? record->bFlag1 : 0),
      m_flag2(record ? record->bFlag2 : 0) {}

CCallInfo::CCallInfo(const WEXEL_CALL_INFO* record)
    : m_first(record ? record->bFirst : 0),
      m_callId(record ? record->bCallId : 0),
      m_third(record ? record->bThird : 0),
      m_status(record ? record->bStatus : 0),
      m_fifth(record ? record->bFifth : 0) {
  // A count without its array is a record with no addresses.
  if (!record || !record->pAddresses) return;
  m_addresses.reserve(record->bNumOfAddresses);
  for (BYTE i = 0; i < record->bNumOfAddresses; ++i) m_addresses.push_back(CAddressInfo(&record->pAddresses[i]));
}

}  // namespace Trelk

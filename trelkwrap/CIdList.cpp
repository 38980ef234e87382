#include <windows.h>
#include "CIdList.h"
#include <stdexcept>
#include <string>
#include "ZCLLogger.h"

namespace Trelk {

CIdListItem::CIdListItem(const TESSIM_ITEM_ID* record)
    : m_folderId(record ? record->dwFolderId : 0),
      m_temporaryId(record ? record->dwTemporaryId : 0),
      m_status(record ? record->dwStatus : 0),
      m_uid(record ? record->pbUid : nullptr, record && record->pbUid ? record->dwUidLength : 0) {
  ZCLScopeTracer trace("Trelk::CIdListItem::CIdListItem");
}

CIdList::CIdList(const TESSIM_ID_LIST* record) {
  ZCLScopeTracer trace("Trelk::CIdList::CIdList");
  if (!record || !record->pItems) return;
  m_items.reserve(record->dwNumOfItems);
  for (DWORD i = 0; i < record->dwNumOfItems; ++i) m_items.push_back(CIdListItem(&record->pItems[i]));
}

size_t CIdList::Count() const {
  ZCLScopeTracer trace("Trelk::CIdList::Count");
  return m_items.size();
}

CIdListItem CIdList::GetAt(size_t index) const {
  ZCLScopeTracer trace("Trelk::CIdList::GetAt");
  if (index >= m_items.size()) throw std::out_of_range("Trelk::CIdList::GetAt");
  return m_items[index];
}

void CIdList::Add(const CIdListItem& item) {
  ZCLScopeTracer trace("Trelk::CIdList::Add");
  m_items.push_back(item);
}

const CIdListItem* CIdList::FindByUid(const CUid& uid) const {
  ZCLScopeTracer trace("Trelk::CIdList::FindByUid");
  const std::wstring wanted = uid.ToString();
  for (const CIdListItem& item : m_items)
    if (wanted == item.GetUid().ToString()) return &item;
  return nullptr;
}

}  // namespace Trelk

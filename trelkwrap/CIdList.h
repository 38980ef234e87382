#pragma once
#include <windows.h>
#include <vector>
#include "CUid.h"
#include "TrelkApi.h"

namespace Trelk {

// One item id as the library lists it. A plain value.
class CIdListItem {
public:
  // A null record gives zeros and an empty uid; a null uid pointer reads as
  // an empty uid whatever length comes with it.
  explicit CIdListItem(const TESSIM_ITEM_ID* record = nullptr);

  DWORD GetFolderId() const { return m_folderId; }
  DWORD GetTemporaryId() const { return m_temporaryId; }
  DWORD GetStatus() const { return m_status; }
  const CUid& GetUid() const { return m_uid; }

private:
  DWORD m_folderId;
  DWORD m_temporaryId;
  DWORD m_status;
  CUid m_uid;
};

// The item ids of a listing or a commit, in the library's order. A plain value.
class CIdList {
public:
  CIdList() {}
  // A null record, or a null array behind a count, gives an empty list.
  explicit CIdList(const TESSIM_ID_LIST* record);

  size_t Count() const;
  // Throws std::out_of_range at or beyond Count.
  CIdListItem GetAt(size_t index) const;
  void Add(const CIdListItem& item);
  // The first item whose uid text equals the uid's, or null.
  const CIdListItem* FindByUid(const CUid& uid) const;

private:
  std::vector<CIdListItem> m_items;
};

}  // namespace Trelk

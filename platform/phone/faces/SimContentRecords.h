#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "SimCore.h"

// The content-access records (Dorrax.dll) as the world's items fill them:
// item ids, id lists, folders and text messages, handed out until the
// caller's Free call.
namespace PhoneSim {

// An item of an id list handed out: (folder, uid, status).
struct CListedId {
  DWORD folder;
  std::wstring uid;
  DWORD status;
};

// A uid as the world names it: its bytes in lower-case hex.
std::wstring UidText(const TESSIM_ITEM_ID* id);
void FillItemId(TESSIM_ITEM_ID* id, DWORD folder, DWORD temporaryId, const std::wstring& uid, DWORD status);
void FreeItemIds(DWORD count, TESSIM_ITEM_ID*& items);
void FillIdList(TESSIM_ID_LIST* list, const std::vector<CListedId>& ids);
std::wstring FolderName(DWORD folder);
void FillFolder(TESSIM_FOLDER_INFO* folder, DWORD id, const std::wstring& name, const std::wstring& path,
                DWORD items);
void FreeFolder(TESSIM_FOLDER_INFO* folder);
void FreeSmsItem(TESSIM_SMS_ITEM* item);
// The message a caller hands in; null texts with lengths read as empty.
CMessage MessageFrom(const TESSIM_SMS_ITEM& item);
void FillSmsItem(const CMessage& m, TESSIM_SMS_ITEM* item);

}  // namespace PhoneSim

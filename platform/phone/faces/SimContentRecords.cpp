#include <windows.h>
#include <algorithm>
#include "SimContentRecords.h"

namespace PhoneSim {

std::wstring UidText(const TESSIM_ITEM_ID* id) {
  // A null uid pointer reads as an empty uid, whatever its length says.
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  if (!id || !id->pbUid) return text;
  for (DWORD i = 0; i < id->dwUidLength; ++i) {
    text += digits[id->pbUid[i] >> 4];
    text += digits[id->pbUid[i] & 15];
  }
  return text;
}

void FillItemId(TESSIM_ITEM_ID* id, DWORD folder, DWORD temporaryId, const std::wstring& uid, DWORD status) {
  ZeroMemory(id, sizeof(*id));
  id->dwSize = sizeof(TESSIM_ITEM_ID);
  id->dwFolderId = folder;
  id->dwTemporaryId = temporaryId;
  id->dwStatus = status;
  size_t length = uid.size() / 2;
  id->pbUid = HandOutArray<BYTE>(length);
  for (size_t i = 0; i < length; ++i)
    id->pbUid[i] = static_cast<BYTE>(wcstoul(uid.substr(i * 2, 2).c_str(), nullptr, 16));
  id->dwUidLength = static_cast<DWORD>(length);
}

void FreeItemIds(DWORD count, TESSIM_ITEM_ID*& items) {
  if (items && CHandedOut::Instance().Take(items)) {
    for (DWORD i = 0; i < count; ++i) FreeHandedOut(items[i].pbUid);
    delete[] items;
  }
  items = nullptr;
}

void FillIdList(TESSIM_ID_LIST* list, const std::vector<CListedId>& ids) {
  list->dwNumOfItems = 0;
  list->pItems = HandOutArray<TESSIM_ITEM_ID>(ids.size());
  for (size_t i = 0; i < ids.size(); ++i)
    FillItemId(&list->pItems[i], ids[i].folder, static_cast<DWORD>(i + 1), ids[i].uid, ids[i].status);
  list->dwNumOfItems = static_cast<DWORD>(ids.size());
}

std::wstring FolderName(DWORD folder) {
  if (folder == TESSIM_FOLDER_INBOX) return L"Inbox";
  if (folder == TESSIM_FOLDER_OUTBOX) return L"Outbox";
  return L"Folder " + std::to_wstring(folder);
}

void FillFolder(TESSIM_FOLDER_INFO* folder, DWORD id, const std::wstring& name, const std::wstring& path,
                DWORD items) {
  folder->dwSize = sizeof(TESSIM_FOLDER_INFO);
  folder->dwFolderId = id;
  folder->dwValue = items;
  folder->pstrName = HandOutString(name);
  folder->pstrPath = HandOutString(path);
}

void FreeFolder(TESSIM_FOLDER_INFO* folder) {
  FreeHandedOut(folder->pstrName);
  FreeHandedOut(folder->pstrPath);
  if (folder->pSubFolders && CHandedOut::Instance().Take(folder->pSubFolders)) {
    for (DWORD i = 0; i < folder->dwNumOfSubFolders; ++i) FreeFolder(&folder->pSubFolders[i]);
    delete[] folder->pSubFolders;
  }
  folder->pSubFolders = nullptr;
  folder->dwNumOfSubFolders = 0;
}

void FreeSmsItem(TESSIM_SMS_ITEM* item) {
  FreeHandedOut(item->pstrText);
  item->dwTextLength = 0;
  if (item->pAddresses && CHandedOut::Instance().Take(item->pAddresses)) {
    for (BYTE i = 0; i < item->bNumOfAddresses; ++i) FreeHandedOut(item->pAddresses[i].pstrAddress);
    delete[] item->pAddresses;
  }
  item->pAddresses = nullptr;
  item->bNumOfAddresses = 0;
}

CMessage MessageFrom(const TESSIM_SMS_ITEM& item) {
  CMessage m;
  m.info = item.dwInfo;
  if (item.pstrText) m.text.assign(item.pstrText, item.dwTextLength / 2);
  if (item.pAddresses) {
    for (BYTE i = 0; i < item.bNumOfAddresses; ++i) {
      CMessageAddress a;
      a.type = item.pAddresses[i].dwAddressType;
      if (item.pAddresses[i].pstrAddress) a.address = item.pAddresses[i].pstrAddress;
      m.addresses.push_back(a);
    }
  }
  m.time = PhoneTimeOf(item);
  m.zone1 = item.lZoneOffset1;
  m.zone2 = item.lZoneOffset2;
  return m;
}

void FillSmsItem(const CMessage& m, TESSIM_SMS_ITEM* item) {
  DWORD size = item->dwSize;
  ZeroMemory(item, sizeof(*item));
  item->dwSize = size;
  item->dwInfo = m.info;
  item->pstrText = HandOutString(m.text);
  item->dwTextLength = static_cast<DWORD>(m.text.size() * sizeof(WCHAR));
  size_t count = std::min<size_t>(m.addresses.size(), 255);
  item->pAddresses = HandOutArray<TESSIM_SMS_ADDRESS>(count);
  for (size_t i = 0; i < count; ++i) {
    item->pAddresses[i].dwSize = sizeof(TESSIM_SMS_ADDRESS);
    item->pAddresses[i].dwAddressType = m.addresses[i].type;
    item->pAddresses[i].pstrAddress = HandOutString(m.addresses[i].address);
  }
  item->bNumOfAddresses = static_cast<BYTE>(count);
  item->dwDateSize = 20;
  PutPhoneTime(m.time, m.zone1, m.zone2, item);
}

}  // namespace PhoneSim

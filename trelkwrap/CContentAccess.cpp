#include <windows.h>
#include "CContentAccess.h"
#include "CTrelkException.h"
#include "TrelkBinding.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

const CLibraryFamily kTessimFamily = {
    "Trelk::CContentAccess", &TessimBinding,
    "Tessim_Initialize", [] { return Tessim_Initialize(31, 0); },
    "Tessim_Terminate", [] { return Tessim_Terminate(0); },
    "DorraxCloseTessim", [](DWORD handle) { return DorraxCloseTessim(handle); }};

namespace {

// Hands an id list the library filled back to it, also when copying it out
// failed half-way.
struct CIdListGuard {
  TESSIM_ID_LIST* list;
  bool logged;
  ~CIdListGuard() {
    if (logged)
      LoggedCall("TessimFreeIdListStructure", [&] { return TessimFreeIdListStructure(list); });
    else
      TessimFreeIdListStructure(list);
  }
};

TESSIM_ID_LIST EmptyIdList() {
  TESSIM_ID_LIST list;
  ZeroMemory(&list, sizeof(list));
  list.dwSize = sizeof(TESSIM_ID_LIST);
  return list;
}

}  // namespace

COperation::COperation(DWORD handle) : m_handle(handle), m_generation(TessimBinding().GetGeneration()) {
  ZCLScopeTracer trace("Trelk::COperation::COperation");
}

DWORD* COperation::HandleAddress() {
  m_generation = TessimBinding().GetGeneration();
  return &m_handle;
}

// The handle, when it belongs to the library loaded now.
DWORD COperation::Current() {
  if (m_handle != 0 && m_generation != TessimBinding().GetGeneration()) TrelkThrowOnFail(ELNYX_INVALID_HANDLE);
  return m_handle;
}

COperation::~COperation() {
  ZCLScopeTracer trace("Trelk::COperation::~COperation");
  End();
}

void COperation::Commit() {
  ZCLScopeTracer trace("Trelk::COperation::Commit");
  DWORD handle = Current();
  TrelkThrowOnFail(LoggedCall("TessimCommitOperations", [&] { return TessimCommitOperations(handle, nullptr); }));
}

void COperation::Commit(CIdList& written) {
  ZCLScopeTracer trace("Trelk::COperation::Commit");
  DWORD handle = Current();
  TESSIM_ID_LIST list = EmptyIdList();
  TrelkThrowOnFail(LoggedCall("TessimCommitOperations", [&] { return TessimCommitOperations(handle, &list); }));
  CIdListGuard free{&list, true};
  written = CIdList(&list);
}

void COperation::End() {
  ZCLScopeTracer trace("Trelk::COperation::End");
  if (m_handle == 0) return;
  // An operation of a library that is gone went with it.
  if (m_generation == TessimBinding().GetGeneration())
    LoggedCall("TessimEndOperation", [&] { return TessimEndOperation(m_handle); });
  m_handle = 0;
}

CItemId::CItemId(DWORD folderId, const CUid& uid) : m_bytes(uid.GetData(), uid.GetData() + uid.GetLength()) {
  ZeroMemory(&m_id, sizeof(m_id));
  m_id.dwSize = sizeof(TESSIM_ITEM_ID);
  m_id.dwFolderId = folderId;
  Link();
}

CItemId::CItemId(const CIdListItem& item) : CItemId(item.GetFolderId(), item.GetUid()) {
  m_id.dwTemporaryId = item.GetTemporaryId();
  m_id.dwStatus = item.GetStatus();
}

CItemId::CItemId(const CItemId& other) : m_bytes(other.m_bytes), m_id(other.m_id) { Link(); }

CItemId& CItemId::operator=(const CItemId& other) {
  m_bytes = other.m_bytes;
  m_id = other.m_id;
  Link();
  return *this;
}

// An empty uid goes as length 0 and no pointer.
void CItemId::Link() {
  m_id.dwUidLength = static_cast<DWORD>(m_bytes.size());
  m_id.pbUid = m_bytes.empty() ? nullptr : m_bytes.data();
}

CContentConnection::CContentConnection(const char* name, DWORD contentType, const char* mark, DWORD handle)
    : CFamilyConnection<kTessimFamily>(name, handle), m_contentType(contentType), m_mark(mark) {}

void CContentConnection::BeginOperation(COperation& operation) {
  ZCLScopeTracer trace(Traced("::BeginOperation").c_str());
  // An operation still open is ended rather than lost.
  operation.End();
  DWORD handle = Family().Handle();
  TrelkThrowOnFail(LoggedCall(CallText("TessimBeginOperation").c_str(),
                              [&] { return TessimBeginOperation(handle, 0, operation.HandleAddress()); }));
}

void CContentConnection::GetIdList(CIdList& list, DWORD folderId) {
  ZCLScopeTracer trace(Traced("::GetIdList").c_str());
  TESSIM_ID_LIST record = EmptyIdList();
  DWORD handle = Family().Handle();
  TrelkThrowOnFail(LoggedCall(CallText("TessimGetIDList").c_str(),
                              [&] { return TessimGetIDList(handle, folderId, 0, &record); }));
  CIdListGuard free{&record, false};
  list = CIdList(&record);
}

void CContentConnection::GetFolderInfo(CFolderInfo& folder) {
  ZCLScopeTracer trace(Traced("::GetFolderInfo").c_str());
  TESSIM_FOLDER_INFO record;
  ZeroMemory(&record, sizeof(record));
  record.dwSize = sizeof(TESSIM_FOLDER_INFO);
  DWORD handle = Family().Handle();
  TrelkThrowOnFail(
      LoggedCall(CallText("TessimGetFolderInfo").c_str(), [&] { return TessimGetFolderInfo(handle, &record); }));
  struct FreeFolder {
    TESSIM_FOLDER_INFO* record;
    ~FreeFolder() { TessimFreeFolderInfoStructure(record); }
  } free{&record};
  folder = CFolderInfo(&record);
}

void CContentConnection::DeleteItem(COperation& operation, CItemId& itemId) {
  ZCLScopeTracer trace(Traced("::DeleteItem").c_str());
  DWORD handle = operation.Current();
  TrelkThrowOnFail(
      LoggedCall(CallText("TessimDeleteItem").c_str(), [&] { return TessimDeleteItem(handle, itemId.Get(), 0); }));
}

// The data is handed back logged, its result not examined: the item was read.
template <class Item>
void CContentConnection::ReadRecord(COperation& operation, TESSIM_ITEM_ID* itemId, DWORD option, DWORD format,
                                    const std::function<void(const Item&)>& use) {
  Item item;
  ZeroMemory(&item, sizeof(item));
  item.dwSize = sizeof(Item);
  DWORD handle = operation.Current();
  TrelkThrowOnFail(LoggedCall(CallText("TessimReadItem").c_str(),
                              [&] { return TessimReadItem(handle, itemId, option, format, &item); }));
  struct FreeItem {
    const CContentConnection* connection;
    DWORD format;
    Item* item;
    ~FreeItem() {
      DWORD handle = connection->GetHandle();
      LoggedCall(connection->CallText("TessimFreeItemData").c_str(),
                 [&] { return TessimFreeItemData(handle, format, item); });
    }
  } free{this, format, &item};
  use(item);
}

CContactConnection::CContactConnection(DWORD handle) : CContentConnection("Trelk::CContactConnection", TESSIM_CONTENT_CONTACTS, "", handle) {}

std::vector<BYTE> CContactConnection::ReadVCard(COperation& operation, CItemId& itemId) {
  ZCLScopeTracer trace("Trelk::CContactConnection::ReadVCard");
  std::vector<BYTE> vcard;
  ReadRecord<TESSIM_CONTACT_ITEM>(operation, itemId.Get(), 0, TESSIM_FORMAT_VCARD,
                                  [&](const TESSIM_CONTACT_ITEM& item) {
                                    if (item.pbData) vcard.assign(item.pbData, item.pbData + item.dwDataLength);
                                  });
  return vcard;
}

void CContactConnection::WriteVCard(COperation& operation, CItemId& itemId, const std::vector<BYTE>& vcard) {
  ZCLScopeTracer trace("Trelk::CContactConnection::WriteVCard");
  std::vector<BYTE> data(vcard);
  TESSIM_CONTACT_ITEM item;
  ZeroMemory(&item, sizeof(item));
  item.dwSize = sizeof(TESSIM_CONTACT_ITEM);
  item.dwDataLength = static_cast<DWORD>(data.size());
  item.pbData = data.empty() ? nullptr : data.data();
  DWORD handle = operation.Current();
  TrelkThrowOnFail(LoggedCall(CallText("TessimWriteItem").c_str(), [&] {
    return TessimWriteItem(handle, itemId.Get(), 0, TESSIM_FORMAT_VCARD, &item);
  }));
  TrelkThrowOnFail(itemId.GetStatus());
}

CSMSConnection::CSMSConnection(DWORD handle) : CContentConnection("Trelk::CSMSConnection", TESSIM_CONTENT_SMS, "(SMS)", handle) {}

void CSMSConnection::WriteItem(COperation& operation, DWORD folderId, SMSMessage& message) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::WriteItem");
  TESSIM_ITEM_ID id;
  ZeroMemory(&id, sizeof(id));
  id.dwSize = sizeof(TESSIM_ITEM_ID);
  id.dwFolderId = folderId;
  TESSIM_SMS_ITEM* item = message.GetItemData();
  DWORD handle = operation.Current();
  TrelkThrowOnFail(LoggedCall(CallText("TessimWriteItem").c_str(), [&] {
    return TessimWriteItem(handle, &id, 0, TESSIM_FORMAT_SMS, item);
  }));
}

void CSMSConnection::ReadRecord(COperation& operation, TESSIM_ITEM_ID* itemId, DWORD option,
                                const std::function<void(const TESSIM_SMS_ITEM&)>& use) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::ReadRecord");
  CContentConnection::ReadRecord<TESSIM_SMS_ITEM>(operation, itemId, option, TESSIM_FORMAT_SMS, use);
}

void CSMSConnection::ReadItem(COperation& operation, TESSIM_ITEM_ID* itemId, SMSMessage& message, DWORD option) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::ReadItem");
  ReadRecord(operation, itemId, option, [&](const TESSIM_SMS_ITEM& item) {
    // Null texts behind lengths and counts read as empty; a length beyond the
    // text's terminator is not followed.
    std::wstring text;
    if (item.pstrText) text.assign(item.pstrText, wcsnlen(item.pstrText, item.dwTextLength / 2));
    message.SetText(text.c_str());
    if (item.bNumOfAddresses > 0 && item.pAddresses) message.SetNumber(item.pAddresses[0].pstrAddress);
    message.SetTime(SmsItemTime(item));
  });
}

void CContentAccess::Open(const wchar_t* serialNumber, CContentConnection& connection) {
  ZCLScopeTracer trace(Traced("::Open").c_str());
  const DWORD type = connection.GetContentType();
  connection.Open(serialNumber, [type](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return LoggedCall("DorraxOpenTessim", [&] { return DorraxOpenTessim(serial, media, type, handle); });
  });
}

void CContentAccess::OpenSMS(const wchar_t* serialNumber, CSMSConnection& connection) {
  ZCLScopeTracer trace("Trelk::CContentAccess::OpenSMS");
  Open(serialNumber, connection);
}

}  // namespace Trelk

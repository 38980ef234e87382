#include <windows.h>
#include "CContentAccess.h"
#include "CTrelkException.h"
#include "TrelkBinding.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

namespace {

const DWORD kTessimVersion = 31;

std::shared_ptr<CFamilyHandle> NewSMSHandle() {
  return CFamilyHandle::Create(TessimBinding(), [](DWORD handle) {
    return LoggedCall("DorraxCloseTessim", [&] { return DorraxCloseTessim(handle); });
  });
}

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

CSMSConnection::CSMSConnection(DWORD handle) : m_handle(NewSMSHandle()), m_owner(true) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::CSMSConnection");
  if (handle) m_handle->Adopt(handle);
}

CSMSConnection::CSMSConnection(const CSMSConnection& other) : m_handle(other.m_handle), m_owner(false) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::CSMSConnection");
}

CSMSConnection& CSMSConnection::operator=(const CSMSConnection& other) {
  if (this == &other) return *this;
  if (m_owner) Close();
  m_handle = other.m_handle;
  m_owner = false;
  return *this;
}

CSMSConnection::~CSMSConnection() {
  ZCLScopeTracer trace("Trelk::CSMSConnection::~CSMSConnection");
  if (m_owner) Close();
}

void CSMSConnection::Close() {
  ZCLScopeTracer trace("Trelk::CSMSConnection::Close");
  m_handle->Close();
}

void CSMSConnection::BeginOperation(COperation& operation) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::BeginOperation");
  // An operation still open is ended rather than lost.
  operation.End();
  DWORD handle = m_handle->Handle();
  TrelkThrowOnFail(LoggedCall("TessimBeginOperation(SMS)",
                              [&] { return TessimBeginOperation(handle, 0, operation.HandleAddress()); }));
}

void CSMSConnection::WriteItem(COperation& operation, DWORD folderId, SMSMessage& message) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::WriteItem");
  TESSIM_ITEM_ID id;
  ZeroMemory(&id, sizeof(id));
  id.dwSize = sizeof(TESSIM_ITEM_ID);
  id.dwFolderId = folderId;
  TESSIM_SMS_ITEM* item = message.GetItemData();
  DWORD handle = operation.Current();
  TrelkThrowOnFail(LoggedCall("TessimWriteItem(SMS)", [&] {
    return TessimWriteItem(handle, &id, 0, TESSIM_FORMAT_SMS, item);
  }));
}

void CSMSConnection::ReadItem(COperation& operation, TESSIM_ITEM_ID* itemId, SMSMessage& message, DWORD option) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::ReadItem");
  TESSIM_SMS_ITEM item;
  ZeroMemory(&item, sizeof(item));
  item.dwSize = sizeof(TESSIM_SMS_ITEM);
  DWORD handle = operation.Current();
  TrelkThrowOnFail(LoggedCall("TessimReadItem(SMS)", [&] {
    return TessimReadItem(handle, itemId, option, TESSIM_FORMAT_SMS, &item);
  }));
  struct FreeItem {
    DWORD handle;
    TESSIM_SMS_ITEM* item;
    ~FreeItem() { TessimFreeItemData(handle, TESSIM_FORMAT_SMS, item); }
  } free{m_handle->Peek(), &item};
  // Null texts behind lengths and counts read as empty; a length beyond the
  // text's terminator is not followed.
  std::wstring text;
  if (item.pstrText) text.assign(item.pstrText, wcsnlen(item.pstrText, item.dwTextLength / 2));
  message.SetText(text.c_str());
  if (item.bNumOfAddresses > 0 && item.pAddresses) message.SetNumber(item.pAddresses[0].pstrAddress);
  message.SetTime(SmsItemTime(item));
}

void CSMSConnection::GetIdList(CIdList& list, DWORD folderId) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::GetIdList");
  TESSIM_ID_LIST record = EmptyIdList();
  DWORD handle = m_handle->Handle();
  TrelkThrowOnFail(
      LoggedCall("TessimGetIDList(SMS)", [&] { return TessimGetIDList(handle, folderId, 0, &record); }));
  CIdListGuard free{&record, false};
  list = CIdList(&record);
}

void CSMSConnection::GetFolderInfo(CFolderInfo& folder) {
  ZCLScopeTracer trace("Trelk::CSMSConnection::GetFolderInfo");
  TESSIM_FOLDER_INFO record;
  ZeroMemory(&record, sizeof(record));
  record.dwSize = sizeof(TESSIM_FOLDER_INFO);
  DWORD handle = m_handle->Handle();
  TrelkThrowOnFail(LoggedCall("TessimGetFolderInfo(SMS)", [&] { return TessimGetFolderInfo(handle, &record); }));
  struct FreeFolder {
    TESSIM_FOLDER_INFO* record;
    ~FreeFolder() { TessimFreeFolderInfoStructure(record); }
  } free{&record};
  folder = CFolderInfo(&record);
}

CContentAccess::CContentAccess() : m_initialized(false) {
  ZCLScopeTracer trace("Trelk::CContentAccess::CContentAccess");
}

CContentAccess::~CContentAccess() {
  ZCLScopeTracer trace("Trelk::CContentAccess::~CContentAccess");
  Terminate();
}

void CContentAccess::Initialize() {
  ZCLScopeTracer trace("Trelk::CContentAccess::Initialize");
  TrelkThrowOnFail(LoggedCall("Tessim_Initialize", [&] { return Tessim_Initialize(kTessimVersion, 0); }));
  m_initialized = true;
}

void CContentAccess::Terminate() {
  ZCLScopeTracer trace("Trelk::CContentAccess::Terminate");
  if (!m_initialized) return;
  LoggedCall("Tessim_Terminate", [&] { return Tessim_Terminate(0); });
  m_initialized = false;
}

void CContentAccess::OpenSMS(const wchar_t* serialNumber, CSMSConnection& connection) {
  ZCLScopeTracer trace("Trelk::CContentAccess::OpenSMS");
  // A copy's handle is its owner's: the copy gets one of its own.
  if (connection.m_owner)
    connection.Close();
  else
    connection.m_handle = NewSMSHandle();
  connection.m_handle->Open(PhoneOpener(serialNumber, [](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return LoggedCall("DorraxOpenTessim", [&] { return DorraxOpenTessim(serial, media, TESSIM_CONTENT_SMS, handle); });
  }));
  connection.m_owner = true;
}

}  // namespace Trelk

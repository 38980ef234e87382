#include <windows.h>
#include "CZembraSync.h"
#include <cstring>
#include <string>
#include <unordered_map>
#include "CTrelkException.h"
#include "TrelkApi.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

// The engine's libraries are reached through the binding's entries, which
// carry the libraries' own names and answer their 32-bit result codes.

namespace {

const DWORD kTessimApiVersion = 31;
const DWORD kLogvexApiVersion = 10;
const size_t kMessagesPerStore = 256;

void Log5(const char* text) { ZCLLogMessage(5, nullptr).Print("%s", text); }

// A guarded library result: logged at level 5 and thrown with the label.
void Guard(DWORD result, const std::string& label) { ZCLThrowOnError(static_cast<int>(result), label); }

// A caught failure at level 2: the result-code table's text for its code
// is the line's format, the message its one argument.
void LogFailure(const ZCLException& e) {
  std::string format;
  for (char c : LNYXError2String(static_cast<DWORD>(e.GetCode()))) {
    format += c;
    if (c == '%') format += '%';  // a table text is no place for conversions
  }
  ZCLLogMessage(2, nullptr).Print(format.c_str(), e.GetMessageText().c_str());
}

Trelk::CUid UidOf(const TESSIM_ITEM_ID& id) { return Trelk::CUid(id.pbUid, id.pbUid ? id.dwUidLength : 0); }

// An item-id record naming a uid; the bytes live as long as the record.
class CItemId {
public:
  CItemId(DWORD folderId, const Trelk::CUid& uid) : m_bytes(uid.GetData(), uid.GetData() + uid.GetLength()) {
    ZeroMemory(&m_id, sizeof(m_id));
    m_id.dwSize = sizeof(TESSIM_ITEM_ID);
    m_id.dwFolderId = folderId;
    m_id.dwUidLength = static_cast<DWORD>(m_bytes.size());
    m_id.pbUid = m_bytes.empty() ? nullptr : m_bytes.data();
  }
  TESSIM_ITEM_ID* Get() { return &m_id; }

private:
  std::vector<BYTE> m_bytes;
  TESSIM_ITEM_ID m_id;
};

// An operation, ended on every path: explicitly (guarded) on success, with
// the result not examined on a failure path.
class COperation {
public:
  COperation(DWORD content, const char* calling, const char* called) {
    Log5(calling);
    Guard(TessimBeginOperation(content, 0, &m_operation), "TessimBeginOperation");
    Log5(called);
  }
  ~COperation() {
    if (m_operation) TessimEndOperation(m_operation);
  }
  DWORD Get() const { return m_operation; }
  void End(const char* calling, const char* called) {
    DWORD operation = m_operation;
    m_operation = 0;
    Log5(calling);
    Guard(TessimEndOperation(operation), "TessimEndOperation");
    Log5(called);
  }

private:
  COperation(const COperation&) = delete;
  COperation& operator=(const COperation&) = delete;
  DWORD m_operation = 0;
};

// An id list the library fills, freed on every path.
class CIdList {
public:
  CIdList() {
    ZeroMemory(&m_list, sizeof(m_list));
    m_list.dwSize = sizeof(TESSIM_ID_LIST);
  }
  ~CIdList() {
    if (m_list.pItems) TessimFreeIdListStructure(&m_list);
  }
  TESSIM_ID_LIST* Get() { return &m_list; }
  DWORD Count() const { return m_list.pItems ? m_list.dwNumOfItems : 0; }
  TESSIM_ITEM_ID& operator[](DWORD i) { return m_list.pItems[i]; }
  // The result is examined when a label is given.
  void Free(const char* calling, const char* called, const char* label = nullptr) {
    Log5(calling);
    DWORD result = TessimFreeIdListStructure(&m_list);
    m_list.pItems = nullptr;  // not handed back twice, whatever the result
    m_list.dwNumOfItems = 0;
    if (label) Guard(result, label);
    Log5(called);
  }

private:
  CIdList(const CIdList&) = delete;
  CIdList& operator=(const CIdList&) = delete;
  TESSIM_ID_LIST m_list;
};

// An item record of one format the library fills; its data is handed back
// with TessimFreeItemData once, on every path.
template <class Item, DWORD Format>
class CItemData {
public:
  explicit CItemData(DWORD content) : m_content(content) {
    ZeroMemory(&m_item, sizeof(m_item));
    m_item.dwSize = sizeof(Item);
  }
  ~CItemData() {
    if (m_filled) TessimFreeItemData(m_content, Format, &m_item);
  }
  Item* Get() {
    m_filled = true;
    return &m_item;
  }
  const Item& operator*() const { return m_item; }
  void Free(const char* calling, const char* called, const char* label) {
    Log5(calling);
    m_filled = false;
    DWORD result = TessimFreeItemData(m_content, Format, &m_item);
    if (label) Guard(result, label);
    Log5(called);
  }

private:
  CItemData(const CItemData&) = delete;
  CItemData& operator=(const CItemData&) = delete;
  DWORD m_content;
  Item m_item;
  bool m_filled = false;
};

// Commits an operation and ends it (a deletion, a read marking); `kind`
// marks the progress lines of messages ("(SMS)"), contacts have none.
void CommitAndEnd(COperation& operation, const std::string& kind) {
  auto line = [&](const char* verb, const char* call) {
    return std::string("Trelk: ") + verb + " " + call + kind + "...";
  };
  CIdList list;
  Log5(line("Calling", "TessimCommitOperations").c_str());
  Guard(TessimCommitOperations(operation.Get(), list.Get()), "TessimCommitOperations");
  Log5(line("Called", "TessimCommitOperations").c_str());
  list.Free(line("Calling", "TessimFreeIdListStructure").c_str(), line("Called", "TessimFreeIdListStructure").c_str());
  operation.End(line("Calling", "TessimEndOperation").c_str(), line("Called", "TessimEndOperation").c_str());
}

typedef CItemData<TESSIM_CONTACT_ITEM, TESSIM_FORMAT_VCARD> CContactItem;
typedef CItemData<TESSIM_SMS_ITEM, TESSIM_FORMAT_SMS> CSmsItem;

// A contact item's vCard, copied out of the library's data.
CZembraContact ContactOf(int dbId, const Trelk::CUid& uid, const TESSIM_CONTACT_ITEM& item) {
  return CZembraContact(dbId, uid, item.pbData, item.pbData ? item.dwDataLength : 0);
}

// A call-log read, ended on every path.
class CLogRead {
public:
  explicit CLogRead(DWORD log) {
    Log5("Trelk: Calling LOGVEX_ReadBegin...");
    Guard(LOGVEX_ReadBegin(log, 0, &m_read), "LOGVEX_ReadBegin");
    Log5("Trelk: Called LOGVEX_ReadBegin...");
  }
  ~CLogRead() {
    if (m_read) LOGVEX_ReadEnd(m_read);
  }
  DWORD Get() const { return m_read; }
  void End() {
    DWORD read = m_read;
    m_read = 0;
    Log5("Trelk: Calling LOGVEX_ReadEnd...");
    Guard(LOGVEX_ReadEnd(read), "LOGVEX_ReadEnd");
    Log5("Trelk: Called LOGVEX_ReadEnd...");
  }

private:
  CLogRead(const CLogRead&) = delete;
  CLogRead& operator=(const CLogRead&) = delete;
  DWORD m_read = 0;
};

}  // namespace

CZembraSync::CZembraSync(const wchar_t* deviceId, CZembraDb* db, const wchar_t* pictureFolder)
    : m_db(db),
      m_deviceId(ZCLNullToEmpty(deviceId)),
      m_pictureFolder(ZCLNullToEmpty(pictureFolder)),
      m_syncLock(CreateMutexW(nullptr, FALSE, nullptr)) {
  ZCLThrowOnFalse(m_syncLock.IsValid(), ZCL_POS + " The sync lock cannot be made");
  InitTrelk();
}

CZembraSync::~CZembraSync() {
  ZCLGuarded(2, ZCL_SITE, [&] { CloseHandles(); });
  ZCLGuarded(2, ZCL_SITE, [&] { UninitTrelk(); });
}

void CZembraSync::InitTrelk() {
  ZCLScopeTracer trace("CZembraSync::InitTrelk");
  try {
    Guard(Tessim_Initialize(kTessimApiVersion, 0), "Tessim_Initialize");
    m_contentInitialised = true;
    Guard(LOGVEX_Initialize(kLogvexApiVersion, 0), "LOGVEX_Initialize");
    m_eventLogInitialised = true;
  } catch (const ZCLException& e) {
    LogFailure(e);
    UninitTrelk();  // the constructor fails: no destructor undoes the first initialise
    throw;
  } catch (...) {
    UninitTrelk();
    ZCLThrowOnFalse(false, ZCL_POS + " Unhandled exception!");
  }
}

void CZembraSync::UninitTrelk() {
  ZCLScopeTracer trace("CZembraSync::UninitTrelk");
  if (m_contentInitialised) {
    m_contentInitialised = false;
    try {
      Log5("Trelk: Calling Tessim_Terminate...");
      Guard(Tessim_Terminate(0), "Tessim_Terminate");
      Log5("Trelk: Called Tessim_Terminate...");
    } catch (const ZCLException& e) {
      LogFailure(e);
    }
  }
  if (m_eventLogInitialised) {
    m_eventLogInitialised = false;
    try {
      Log5("Trelk: Calling LOGVEX_Terminate...");
      Guard(LOGVEX_Terminate(0), "LOGVEX_Terminate");
      Log5("Trelk: Called LOGVEX_Terminate...");
    } catch (const ZCLException& e) {
      LogFailure(e);
    }
  }
}

void CZembraSync::CloseHandles() {
  // Results not examined: a handle the library no longer knows is gone anyway.
  if (m_contacts) DorraxCloseTessim(m_contacts);
  if (m_messages) DorraxCloseTessim(m_messages);
  if (m_eventLog) LOGVEX_CloseHandle(m_eventLog);
  m_contacts = m_messages = m_eventLog = 0;
}

void CZembraSync::ReadFolderInfo(DWORD handle, FolderInfo* info, const char* calling, const char* called) {
  TESSIM_FOLDER_INFO folder;
  ZeroMemory(&folder, sizeof(folder));
  folder.dwSize = sizeof(TESSIM_FOLDER_INFO);
  Log5(calling);
  Guard(TessimGetFolderInfo(handle, &folder), "TessimGetFolderInfo");
  Log5(called);
  struct Release {
    TESSIM_FOLDER_INFO* folder;
    ~Release() { TessimFreeFolderInfoStructure(folder); }
  } release{&folder};
  FolderInfo copy;
  copy.folderId = folder.dwFolderId;
  if (folder.pSubFolders)
    for (DWORD i = 0; i < folder.dwNumOfSubFolders; ++i) copy.subFolders.push_back(folder.pSubFolders[i].dwFolderId);
  *info = copy;
}

// A handle whose folder information cannot be read is closed again, so the
// next sync opens it and reads the information anew.
void CZembraSync::OpenContent(DWORD type, DWORD* handle, FolderInfo* info, const char* const lines[4]) {
  DWORD media = TRELK_OPEN_MEDIA, opened = 0;
  Log5(lines[0]);
  Guard(DorraxOpenTessim(m_deviceId.c_str(), &media, type, &opened), "DorraxOpenTessim");
  Log5(lines[1]);
  try {
    ReadFolderInfo(opened, info, lines[2], lines[3]);
  } catch (...) {
    DorraxCloseTessim(opened);
    throw;
  }
  *handle = opened;
}

void CZembraSync::CheckContactConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckContactConnection");
  static const char* const lines[4] = {"Trelk: Calling DorraxOpenTessim...", "Trelk: Called DorraxOpenTessim...",
                                       "Trelk: Calling TessimGetFolderInfo...", "Trelk: Called TessimGetFolderInfo..."};
  if (!m_contacts) OpenContent(TESSIM_CONTENT_CONTACTS, &m_contacts, &m_contactsFolder, lines);
}

void CZembraSync::CheckSmsConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckSmsConnection");
  static const char* const lines[4] = {"Trelk: Calling DorraxOpenTessim(SMS)...", "Trelk: Called DorraxOpenTessim(SMS)...",
                                       "Trelk: Calling TessimGetFolderInfo(SMS)...",
                                       "Trelk: Called TessimGetFolderInfo(SMS)..."};
  if (!m_messages) OpenContent(TESSIM_CONTENT_SMS, &m_messages, &m_messagesFolder, lines);
}

void CZembraSync::CheckEventsConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckEventsConnection");
  if (m_eventLog) return;
  DWORD media = TRELK_OPEN_MEDIA;
  Log5("Trelk: Calling LOGVEX_OpenHandle...");
  Guard(LOGVEX_OpenHandle(m_deviceId.c_str(), &media, 0, &m_eventLog), "LOGVEX_OpenHandle");
  Log5("Trelk: Called LOGVEX_OpenHandle...");
}

// ---------------------------------------------------------------- contacts

void CZembraSync::SyncContactsFromPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Log5("Starting contact sync FROM phone...");
  try {
    ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
    CheckContactConnection();
    CIdList ids;
    Log5("Trelk: Calling TessimGetIDList...");
    Guard(TessimGetIDList(m_contacts, m_contactsFolder.folderId, 0, ids.Get()), "TessimGetIDList");
    Log5("Trelk: Called TessimGetIDList...");
    COperation operation(m_contacts, "Trelk: Calling TessimBeginOperation...", "Trelk: Called TessimBeginOperation...");
    m_contactFailed = false;
    std::unordered_map<std::wstring, CZembraDb::PhoneCopy> copies;
    m_ownWrites.clear();
    if (m_db) {
      copies = m_db->SelectPhoneCopies();
      m_ownWrites = m_db->SelectContactWrites();
    }
    {
      CZembraDbBatch batch(m_db);
      for (DWORD i = 0; i < ids.Count(); ++i) {
        CContactItem item(m_contacts);
        Log5("Trelk: Calling TessimReadItem...");
        Guard(TessimReadItem(operation.Get(), &ids[i], 0, TESSIM_FORMAT_VCARD, item.Get()), "TessimReadItem");
        Log5("Trelk: Called TessimReeadItem...");
        CZembraContact contact = ContactOf(-1, UidOf(ids[i]), *item);
        item.Free("Trelk: Calling TessimFreeItemData...", "Trelk: Called TessimFreeItemData...", nullptr);
        auto copy = copies.find(contact.GetPhoneId().ToString());
        if (copy == copies.end()) {
          SyncContactFromPhone(contact, KnownCopy::Absent);
        } else {
          const std::vector<BYTE>& stored = copy->second.vcard;
          bool same = stored.size() == contact.GetVCardSize() &&
                      (stored.empty() || memcmp(stored.data(), contact.GetVCardData(), stored.size()) == 0);
          SyncContactFromPhone(contact, same ? KnownCopy::Unchanged : KnownCopy::Changed, copy->second.id);
        }
        batch.RowDone();
      }
      batch.Finish();
    }
    if (m_db) {
      // A contact that failed may be one the purge would take for gone.
      if (m_contactFailed) {
        ZCLLogMessage(2, nullptr).Print("A contact failed to sync, contacts missing from phone are kept");
      } else {
        int deleted = m_db->DeleteNonExistingContacts();
        ZCLLogMessage(5, nullptr).Print("Deleted %d contacts from local db", deleted);
        // The whole phone was read: a remembered write it does not hold never landed.
        m_db->ForgetContactWrites();
      }
    }
    ids.Free("Trelk: Calling TessimFreeIdList...", "Trelk: Called TessimFreeIdList...");
    operation.End("Trelk: Calling TessimEndOperation...", "Trelk: Called TessimEndOperation...");
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  Log5("Contact sync FROM phone finished");
}

void CZembraSync::SyncContactFromPhone(CZembraContact& contact, KnownCopy known, int copyId) {
  try {
    ZCLLogMessage(5, nullptr).Print("Syncing contactId: %ls from phone", contact.GetPhoneId().ToString());
    if (!m_db) return;
    Log5("  Checking if contact already exists in phone contacts");
    bool exists;
    if (known == KnownCopy::Absent && AdoptOwnWrite(contact)) known = KnownCopy::Unknown;
    if (known == KnownCopy::Unknown) {
      exists = m_db->MarkPhoneContactExisting(contact);
    } else {
      exists = known != KnownCopy::Absent;
      if (exists) m_db->MarkPhoneContactExistingById(copyId);
    }
    if (exists) {
      Log5("  Contact was found and updated as existing");
      Log5("  Updating contact if vCard is modified");
      int edit = known == KnownCopy::Unchanged ? CZembraDb::PhoneEditUnchanged
                                               : m_db->UpdatePhoneAndLocalContact(contact);
      if (edit == CZembraDb::PhoneEditUnchanged) {
        Log5("  Contact vCard was unmodified, no updates done");
        return;
      }
      if (edit == CZembraDb::PhoneEditKeptPcEdit) {
        ZCLLogMessage(2, nullptr).Print("Contact %ls was changed on the phone and on the PC, keeping the PC's change",
                                        contact.GetPhoneId().ToString());
        return;
      }
      Log5("  Contact vCard was updated -> updating local contact too");
    } else {
      Log5("  Contact wasn't found. Inserting new contact");
      ZCLThrowOnFalse(m_db->InsertContact(contact) >= 0, ZCL_POS + " The contact could not be stored");
    }
    // After the rows: a picture that cannot be written must not keep the
    // contact's change out of the database.
    try {
      WriteImageFile(contact);
    } catch (const ZCLException&) {
      // logged where it failed
    }
  } catch (const ZCLException& e) {
    LogFailure(e);
    m_contactFailed = true;
  }
}

// A phone contact the database does not know may be a new contact of the
// PC's whose commit landed and still answered a failure: the phone holds
// the very card that was sent, so that contact takes its uid instead of a
// second local contact being made (and written back as a second phone one).
bool CZembraSync::AdoptOwnWrite(const CZembraContact& contact) {
  for (auto write = m_ownWrites.begin(); write != m_ownWrites.end(); ++write) {
    if (write->vcard.size() != contact.GetVCardSize() ||
        (!write->vcard.empty() && memcmp(write->vcard.data(), contact.GetVCardData(), write->vcard.size()) != 0))
      continue;
    int dbId = write->dbId;
    m_ownWrites.erase(write);
    if (!m_db->AdoptContactWrite(dbId, contact.GetPhoneId())) return false;
    ZCLLogMessage(2, nullptr).Print("Contact %ls is the earlier write of local contact %d, whose commit failed",
                                    contact.GetPhoneId().ToString(), dbId);
    return true;
  }
  return false;
}

void CZembraSync::WriteImageFile(CZembraContact& contact) {
  ZCLScopeTracer trace("CZembraSync::WriteImageFile");
  try {
    std::unique_ptr<std::vector<BYTE>> photo = contact.GetPhoto();
    if (!photo || photo->empty()) return;
    std::wstring path = m_pictureFolder;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += contact.GetPhoneId().ToString();
    CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) ZCLThrowOnError(HRESULT_FROM_WIN32(GetLastError()), "Create image file");
    DWORD written = 0;
    if (!WriteFile(file.Get(), photo->data(), static_cast<DWORD>(photo->size()), &written, nullptr) ||
        written != photo->size())
      ZCLThrowOnError(HRESULT_FROM_WIN32(GetLastError()), "Write image file");
    if (!FlushFileBuffers(file.Get())) ZCLThrowOnError(HRESULT_FROM_WIN32(GetLastError()), "Flush image file");
    contact.SetPhotoPath(path.c_str());
  } catch (const ZCLException& e) {
    LogFailure(e);
    throw;
  } catch (...) {
    ZCLThrowOnFalse(false, ZCL_POS + " Unhandled exception!");
  }
}

void CZembraSync::SyncContactsToPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Log5("Starting sync TO phone...");
  ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
  if (m_db) {
    m_db->SelectUpdatedLocalContacts(this);
    m_db->SelectNewLocalContacts(this);
    m_db->SelectDeletedLocalContacts(this);
  }
  Log5("Sync TO phone finished");
}

void CZembraSync::SelectUpdatedLocalContactsCB(CZembraContact* contact) {
  Log5("SelectUpdatedLocalContactsCB: Updating item...");
  WriteContactToPhone(*contact);
  Log5("SelectUpdatedLocalContactsCB: Updating finished");
}

void CZembraSync::SelectContactsCB(CZembraContact*) {}

void CZembraSync::SelectNewLocalContactsCB(CZembraContact* contact) {
  Log5("SelectNewLocalContactsCB: Writing new item...");
  WriteContactToPhone(*contact);
  Log5("SelectNewLocalContactsCB: Writing finished");
}

bool CZembraSync::SelectDeletedLocalContactsCB(CZembraContact* contact) {
  Log5("SelectDeletedLocalContactsCB: Deleting item..");
  return DeleteContactFromPhone(*contact);
}

void CZembraSync::WriteContactToPhone(CZembraContact& contact) {
  try {
    Log5("Updating/writing contact to phone");
    CheckContactConnection();
    if (m_db && contact.GetPhoneId().IsEmpty()) {
      // Its earlier write may be on the phone: the next read tells.
      if (m_db->HasContactWrite(contact.GetDbId())) {
        Log5("  Contact's earlier write is unconfirmed, writing it after the next read");
        return;
      }
      // Remembered before it is sent: a commit may land and still fail.
      m_db->RememberContactWrite(contact);
    }
    CIdList written;
    Trelk::CUid uid;
    {
      COperation operation(m_contacts, "Trelk: Calling TessimBeginOperation...",
                           "Trelk: Called TessimBeginOperation...");
      CItemId id(m_contactsFolder.folderId, contact.GetPhoneId());
      std::vector<BYTE> vcard(contact.GetVCardData(), contact.GetVCardData() + contact.GetVCardSize());
      TESSIM_CONTACT_ITEM item;
      ZeroMemory(&item, sizeof(item));
      item.dwSize = sizeof(TESSIM_CONTACT_ITEM);
      item.dwDataLength = static_cast<DWORD>(vcard.size());
      item.pbData = vcard.empty() ? nullptr : vcard.data();
      Log5("Trelk: Calling TessimWriteItem...");
      Guard(TessimWriteItem(operation.Get(), id.Get(), 0, TESSIM_FORMAT_VCARD, &item), "TessimWriteItem");
      Log5("Trelk: Called TessimWriteItem...");
      Guard(id.Get()->dwStatus, "Write status");
      Log5("Trelk: Calling TessimCommitOperations...");
      Guard(TessimCommitOperations(operation.Get(), written.Get()), "TessimCommitOperations");
      Log5("Trelk: Called TessimCommitOperations...");
      // The write is good only with a written item of status 0. Its phone id
      // is recorded at once, before anything else can fail, so that the
      // contact is never written a second time (a duplicate on the phone).
      ZCLThrowOnFalse(written.Count() > 0, ZCL_POS + " The commit named no written item");
      Guard(written[0].dwStatus, "Commit status");
      uid = UidOf(written[0]);
      ZCLThrowOnFalse(!uid.IsEmpty(), ZCL_POS + " The commit named no uid for the written item");
      if (m_db)
        m_db->UpdatePhoneId(CZembraContact(contact.GetDbId(), uid, contact.GetVCardData(), contact.GetVCardSize()));
      operation.End("Trelk: Calling TessimEndOperation...", "Trelk: Called TessimEndOperation...");
    }

    COperation operation(m_contacts, "Trelk: Calling TessimBegingOperation...", "Trelk: Called TessimBegingOperation...");
    Log5("  Reading updated contact from phone...");
    CContactItem item(m_contacts);
    Log5("Trelk: Calling TessimReadItem...");
    Guard(TessimReadItem(operation.Get(), &written[0], 0, TESSIM_FORMAT_VCARD, item.Get()), "TessimReadItem");
    Log5("Trelk: Called TessimReadItem...");
    CZembraContact phoneForm = ContactOf(contact.GetDbId(), uid, *item);
    item.Free("Trelk: Calling TessimFreeItemData...", "Trelk: Called TessimFreeItemData...", nullptr);
    Log5("  Updating DB with (possibly) modified contact...");
    SyncContactFromPhone(phoneForm);
    written.Free("Trelk: Calling TessimFreeIdListStructure...", "Trelk: Called TessimFreeIdListStructure...");
    operation.End("Trelk: Calling TessimEndOperation...", "Trelk: Called TessimEndOperation...");
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
}

bool CZembraSync::DeleteContactFromPhone(CZembraContact& contact) {
  bool deleted = false;
  try {
    Log5("Deleting contact from phone");
    if (contact.GetPhoneId().IsEmpty()) {
      if (m_db && m_db->HasContactWrite(contact.GetDbId())) {
        // Its failed write may have landed: the next read from the phone
        // adopts it (then it is deleted there) or shows it never did.
        Log5("  Contact's write to the phone is unconfirmed, deleting it later");
        return false;
      }
      // Never written to the phone: nothing there to delete, and the phone
      // would refuse an empty uid at every sync.
      Log5("  Contact was never on the phone, deleting it locally");
      return true;
    }
    CheckContactConnection();
    COperation operation(m_contacts, "Trelk: Calling TessimBeginOperation...", "Trelk: Called TessimBeginOperation...");
    CItemId id(m_contactsFolder.folderId, contact.GetPhoneId());
    Log5("Trelk: Calling TessimDeleteItem...");
    Guard(TessimDeleteItem(operation.Get(), id.Get(), 0), "TessimDeleteItem");
    Log5("Trelk: Called TessimDeleteItem...");
    CommitAndEnd(operation, "");
    deleted = true;
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  return deleted;
}

// ---------------------------------------------------------------- messages

void CZembraSync::SyncSmsFromPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Log5("Starting SMS sync FROM phone...");
  ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
  m_smsFolderSkipped = false;
  ReadSmsFromPhone();
  if (m_smsFolderSkipped) {
    // Its messages were not marked as still on the phone.
    ZCLLogMessage(2, nullptr).Print("A message folder was not read, deleted messages are kept");
  } else {
    DeleteNonExistingSms();
  }
  Log5("SMS sync FROM phone done");
}

void CZembraSync::ReadSmsFromPhone() {
  ZCLScopeTracer trace("CZembraSync::ReadSmsFromPhone");
  try {
    CheckSmsConnection();
    CZembraDbBatch batch(m_db);
    std::unordered_map<std::wstring, int> stored;
    if (m_db) stored = m_db->SelectSmsIds();
    // Read messages are stored a few hundred at a time; those read before a
    // failure are stored all the same.
    std::vector<CZembraSMS> pending;
    auto store = [&] {
      if (m_db && !pending.empty()) m_db->InsertSmsIfAbsent(pending);
      batch.RowDone(static_cast<int>(pending.size()));
      pending.clear();
    };
    try {
      for (DWORD folder : m_messagesFolder.subFolders) {
        CIdList ids;
        Log5("Trelk: Calling TessimGetIDList(SMS)...");
        DWORD result = TessimGetIDList(m_messages, folder, 0, ids.Get());
        Log5("Trelk: Called TessimGetIDList(SMS)...");
        if (result == TESSIM_FOLDER_NOT_LISTED) {
          m_smsFolderSkipped = true;
          continue;
        }
        Guard(result, LNYXError2String(result));
        ZCLLogMessage(5, nullptr).Print("  Folder %u: %u SMSes", static_cast<unsigned>(folder),
                                        static_cast<unsigned>(ids.Count()));
        COperation operation(m_messages, "Trelk: Calling TessimBeginOperation(SMS)...",
                             "Trelk: Called TessimBeginOperation(SMS)...");
        for (DWORD i = 0; i < ids.Count(); ++i) {
          Trelk::CUid uid = UidOf(ids[i]);
          // A stored message is marked as still on the phone, so that the
          // purge keeps it even when it was deleted on the PC only.
          auto known = stored.find(uid.ToString());
          if (known != stored.end()) {
            ZCLLogMessage(5, nullptr).Print("   SMS <%ls> already in db, discarding", uid.ToString());
            m_db->MarkSmsExistingById(known->second);
            batch.RowDone();
            continue;
          }
          CSmsItem item(m_messages);
          Log5("Trelk: Calling TessimReadItem(SMS)...");
          Guard(TessimReadItem(operation.Get(), &ids[i], 0, TESSIM_FORMAT_SMS, item.Get()), "TessimReadItem");
          Log5("Trelk: Called TessimReadItem(SMS)...");
          if ((*item).dwTextLength != 0) {
            if (((*item).dwInfo & 15) == TESSIM_SMS_KIND_TEXT && (*item).pstrText) {
              CZembraSMS sms(&ids[i], &*item);
              ZCLLogMessage(5, nullptr).Print("   Read new unicode SMS <%ls>", sms.GetPhoneId().ToString());
              pending.push_back(sms);
              if (pending.size() >= kMessagesPerStore) store();
            } else {
              Log5("   Unknown message type in SMS");
            }
          }
          item.Free("Trelk: Calling TessimFreeItemData(SMS)...", "Trelk: Called TessimFreeItemData(SMS)...",
                    "TessimFreeItemData");
        }
        store();
        ids.Free("Trelk: Calling TessimFreeIdListStructure(SMS)...", "Trelk: Called TessimFreeIdListStructure(SMS)...",
                 "TessimFreeIdListStructure");
        operation.End("Trelk: Calling TessimEndOperation(SMS)...", "Trelk: Called TessimEndOperation(SMS)...");
      }
      batch.Finish();
    } catch (...) {
      ZCLGuarded(2, ZCL_SITE, store);
      throw;
    }
  } catch (const ZCLException& e) {
    LogFailure(e);
    throw;
  } catch (...) {
    ZCLThrowOnFalse(false, ZCL_POS + " Unhandled exception!");
  }
}

void CZembraSync::DeleteNonExistingSms() {
  ZCLScopeTracer trace("CZembraSync::DeleteNonExistingSms");
  if (!m_db) return;
  int deleted = m_db->DeleteNonExistingSms();
  ZCLLogMessage(5, nullptr).Print(
      "Deleted %i SMS messages that were not found from mobile and were stamped as deleted", deleted);
}

void CZembraSync::SyncSmsToPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Log5("Syncing SMSes TO phone");
  ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
  if (m_db) {
    m_db->SelectDeletedSms(this);
    SyncSmsReadMarks();
  }
  Log5("SMS sync TO phone finished");
}

bool CZembraSync::SelectDeletedSmsCB(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraSync::SelectDeletedSmsCB");
  return DeleteSmsFromPhone(*sms);
}

void CZembraSync::SelectSmsCB(CZembraSMS*) {}

// Read markings made on the PC that the phone did not take (it failed, or
// the phone was away): each is marked again until the phone confirms it.
void CZembraSync::SyncSmsReadMarks() {
  for (const CZembraDb::SmsReadMark& mark : m_db->SelectSmsReadMarks()) {
    try {
      if (MarkSmsReadOnPhone(mark.uid))
        ZCLLogMessage(5, nullptr).Print("   SMS <%ls> marked as read", mark.uid.ToString());
      m_db->ForgetSmsReadMark(mark.id);
    } catch (const ZCLException& e) {
      LogFailure(e);
    }
  }
}

// False when the phone no longer holds the message: nothing left to mark.
bool CZembraSync::MarkSmsReadOnPhone(const Trelk::CUid& uid) {
  if (uid.IsEmpty()) return false;
  CheckSmsConnection();
  COperation operation(m_messages, "Trelk: Calling TessimBeginOperation(SMS)...",
                       "Trelk: Called TessimBeginOperation(SMS)...");
  CItemId id(0, uid);
  CSmsItem item(m_messages);
  Log5("Trelk: Calling TessimReadItem(SMS)...");
  DWORD result = TessimReadItem(operation.Get(), id.Get(), TESSIM_READ_MARK_AS_READ, TESSIM_FORMAT_SMS, item.Get());
  if (result == ELNYX_FILE_NOT_FOUND) return false;
  Guard(result, "TessimReadItem");
  Log5("Trelk: Called TessimReadItem(SMS)...");
  item.Free("Trelk: Calling TessimFreeItemData(SMS)...", "Trelk: Called TessimFreeItemData(SMS)...",
            "TessimFreeItemData");
  CommitAndEnd(operation, "(SMS)");
  return true;
}

bool CZembraSync::DeleteSmsFromPhone(CZembraSMS& sms) {
  bool deleted = false;
  try {
    Log5("Deleting SMS from phone");
    CheckSmsConnection();
    COperation operation(m_messages, "Trelk: Calling TessimBeginOperation(SMS)...",
                         "Trelk: Called TessimBeginOperation(SMS)...");
    CItemId id(0, sms.GetPhoneId());
    Log5("Trelk: Calling TessimDeleteItem(SMS)...");
    Guard(TessimDeleteItem(operation.Get(), id.Get(), 0), "TessimDeleteItem");
    Log5("Trelk: Called TessimDeleteItem(SMS)...");
    CommitAndEnd(operation, "(SMS)");
    deleted = true;
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  return deleted;
}

// ---------------------------------------------------------------- call log

void CZembraSync::SyncEvents() {
  try {
    CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
    ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
    Log5("Syncing event logs from phone");
    CheckEventsConnection();
    CLogRead read(m_eventLog);
    int count = 0;
    Log5("Trelk: Calling LOGVEX_ReadNext...");
    CZembraDbBatch batch(m_db);
    for (;;) {
      // Cleared before each read: nothing of the last entry may pass for this one.
      LOGVEX_LOG_ITEM item;
      ZeroMemory(&item, sizeof(item));
      item.dwSize = sizeof(LOGVEX_LOG_ITEM);
      DWORD result = LOGVEX_ReadNext(read.Get(), 0, &item);
      if (result == ELNYX_ALL_LISTED) break;
      Guard(result, "LOGVEX_ReadNext");
      Log5("Trelk: Called LOGVEX_ReadNext...");
      struct Release {
        LOGVEX_LOG_ITEM* item;
        bool done;
        ~Release() {
          if (!done) LOGVEX_FreeLogItem(item);
        }
      } release{&item, false};
      CZembraEventLog entry(&item);
      int stored = m_db ? m_db->StoreEvent(entry) : entry.GetId();
      release.done = true;
      Log5("Trelk: Calling LOGVEX_FreeLogItem...");
      LOGVEX_FreeLogItem(&item);
      Log5("Trelk: Called LOGVEX_FreeLogItem...");
      if (stored == -1) {
        Log5("Insert returned -1, breaking loop");
        break;
      }
      ++count;
      batch.RowDone();
    }
    batch.Finish();
    read.End();
    ZCLLogMessage(5, nullptr).Print("Successfully inserted %d new log items", count);
  } catch (const ZCLException& e) {
    LogFailure(e);
  } catch (...) {
  }
}

void CZembraSync::SelectEventsCB(CZembraEventLog*) {}

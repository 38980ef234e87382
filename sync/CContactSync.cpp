#include <windows.h>
#include "ZCLFrame.h"
#include "CContactSync.h"
#include <cstring>
#include <memory>
#include <unordered_map>
#include "SyncSupport.h"
#include "ZCLHandle.h"
#include "ZCLLogger.h"

using ZembraSync::LogFailure;
using ZembraSync::Progress;

namespace {

bool SameBytes(const std::vector<BYTE>& bytes, const CZembraContact& contact) {
  return bytes.size() == contact.GetVCardSize() &&
         (bytes.empty() || memcmp(bytes.data(), contact.GetVCardData(), bytes.size()) == 0);
}

CZembraContact ContactOf(int dbId, const Trelk::CUid& uid, const std::vector<BYTE>& vcard) {
  return CZembraContact(dbId, uid, vcard.empty() ? nullptr : vcard.data(), vcard.size());
}

}  // namespace

CContactSync::CContactSync(const std::wstring& serial, CZembraDb* db, const std::wstring& pictureFolder,
                           Trelk::CContentAccess& access)
    : m_serial(serial), m_db(db), m_pictureFolder(pictureFolder), m_access(access) {}

void CContactSync::CheckConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckContactConnection");
  ZembraSync::OpenContent(m_access, m_serial, m_connection, m_folder);
}

void CContactSync::FromPhone() {
  CheckConnection();
  Trelk::CIdList ids;
  m_connection.GetIdList(ids, m_folder.GetFolderId());
  Trelk::COperation operation;
  m_connection.BeginOperation(operation);
  m_contactFailed = false;
  std::unordered_map<std::wstring, CZembraDb::PhoneCopy> copies;
  m_ownWrites.clear();
  if (m_db) {
    copies = m_db->SelectPhoneCopies();
    m_ownWrites = m_db->SelectContactWrites();
  }
  {
    CZembraDbBatch batch(m_db);
    for (size_t i = 0; i < ids.Count(); ++i) {
      Trelk::CItemId id(ids.GetAt(i));
      CZembraContact contact = ContactOf(-1, ids.GetAt(i).GetUid(), m_connection.ReadVCard(operation, id));
      auto copy = copies.find(contact.GetPhoneId().ToString());
      if (copy == copies.end()) {
        SyncContactFromPhone(contact, KnownCopy::Absent);
      } else {
        bool same = SameBytes(copy->second.vcard, contact);
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
  operation.End();
}

void CContactSync::SyncContactFromPhone(CZembraContact& contact, KnownCopy known, int copyId) {
  try {
    ZCLLogMessage(5, nullptr).Print("Syncing contactId: %ls from phone", contact.GetPhoneId().ToString());
    if (!m_db) return;
    Progress("  Checking if contact already exists in phone contacts");
    bool exists;
    if (known == KnownCopy::Absent && AdoptOwnWrite(contact)) known = KnownCopy::Unknown;
    if (known == KnownCopy::Unknown) {
      exists = m_db->MarkPhoneContactExisting(contact);
    } else {
      exists = known != KnownCopy::Absent;
      if (exists) m_db->MarkPhoneContactExistingById(copyId);
    }
    if (exists) {
      Progress("  Contact was found and updated as existing");
      Progress("  Updating contact if vCard is modified");
      int edit = known == KnownCopy::Unchanged ? CZembraDb::PhoneEditUnchanged
                                               : m_db->UpdatePhoneAndLocalContact(contact);
      if (edit == CZembraDb::PhoneEditUnchanged) {
        Progress("  Contact vCard was unmodified, no updates done");
        return;
      }
      if (edit == CZembraDb::PhoneEditKeptPcEdit) {
        ZCLLogMessage(2, nullptr).Print("Contact %ls was changed on the phone and on the PC, keeping the PC's change",
                                        contact.GetPhoneId().ToString());
        return;
      }
      Progress("  Contact vCard was updated -> updating local contact too");
    } else {
      Progress("  Contact wasn't found. Inserting new contact");
      m_db->InsertContact(contact);
    }
    // After the rows: a picture that cannot be written must not keep the
    // contact's change out of the database.
    ZCLGuarded(5, ZCL_SITE, [&] { WriteImageFile(contact); });
  } catch (const ZCLException& e) {
    LogFailure(e);
    m_contactFailed = true;
  }
}

// A phone contact the database does not know may be a new contact of the
// PC's whose commit landed and still answered a failure: the phone holds
// the very card that was sent, so that contact takes its uid instead of a
// second local contact being made (and written back as a second phone one).
bool CContactSync::AdoptOwnWrite(const CZembraContact& contact) {
  for (auto write = m_ownWrites.begin(); write != m_ownWrites.end(); ++write) {
    if (!SameBytes(write->vcard, contact)) continue;
    int dbId = write->dbId;
    m_ownWrites.erase(write);
    if (!m_db->AdoptContactWrite(dbId, contact.GetPhoneId())) return false;
    ZCLLogMessage(2, nullptr).Print("Contact %ls is the earlier write of local contact %d, whose commit failed",
                                    contact.GetPhoneId().ToString(), dbId);
    return true;
  }
  return false;
}

void CContactSync::WriteImageFile(CZembraContact& contact) {
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

void CContactSync::WriteToPhone(CZembraContact& contact) {
  try {
    Progress("Updating/writing contact to phone");
    CheckConnection();
    if (m_db && contact.GetPhoneId().IsEmpty()) {
      // Its earlier write may be on the phone: the next read tells.
      if (m_db->HasContactWrite(contact.GetDbId())) {
        Progress("  Contact's earlier write is unconfirmed, writing it after the next read");
        return;
      }
      // Remembered before it is sent: a commit may land and still fail.
      m_db->RememberContactWrite(contact);
    }
    Trelk::CIdList written;
    Trelk::CUid uid;
    {
      Trelk::COperation operation;
      m_connection.BeginOperation(operation);
      Trelk::CItemId id(m_folder.GetFolderId(), contact.GetPhoneId());
      std::vector<BYTE> vcard(contact.GetVCardData(), contact.GetVCardData() + contact.GetVCardSize());
      m_connection.WriteVCard(operation, id, vcard);
      operation.Commit(written);
      // The write is good only with a written item of status 0. Its phone id
      // is recorded at once, before anything else can fail, so that the
      // contact is never written a second time (a duplicate on the phone).
      ZCLThrowOnFalse(written.Count() > 0, ZCL_POS + " The commit named no written item");
      TrelkThrowOnFail(written.GetAt(0).GetStatus());
      uid = written.GetAt(0).GetUid();
      ZCLThrowOnFalse(!uid.IsEmpty(), ZCL_POS + " The commit named no uid for the written item");
      if (m_db)
        m_db->UpdatePhoneId(CZembraContact(contact.GetDbId(), uid, contact.GetVCardData(), contact.GetVCardSize()));
      operation.End();
    }

    Trelk::COperation operation;
    m_connection.BeginOperation(operation);
    Progress("  Reading updated contact from phone...");
    Trelk::CItemId id(written.GetAt(0));
    CZembraContact phoneForm = ContactOf(contact.GetDbId(), uid, m_connection.ReadVCard(operation, id));
    Progress("  Updating DB with (possibly) modified contact...");
    SyncContactFromPhone(phoneForm);
    operation.End();
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
}

bool CContactSync::DeleteFromPhone(CZembraContact& contact) {
  try {
    Progress("Deleting contact from phone");
    if (contact.GetPhoneId().IsEmpty()) {
      if (m_db && m_db->HasContactWrite(contact.GetDbId())) {
        // Its failed write may have landed: the next read from the phone
        // adopts it (then it is deleted there) or shows it never did.
        Progress("  Contact's write to the phone is unconfirmed, deleting it later");
        return false;
      }
      // Never written to the phone: nothing there to delete, and the phone
      // would refuse an empty uid at every sync.
      Progress("  Contact was never on the phone, deleting it locally");
      return true;
    }
    CheckConnection();
    ZembraSync::DeleteOnPhone(m_connection, m_folder.GetFolderId(), contact.GetPhoneId());
    return true;
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  return false;
}

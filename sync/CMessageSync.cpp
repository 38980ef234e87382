#include <windows.h>
#include "CMessageSync.h"
#include <unordered_map>
#include <vector>
#include "CTrelkException.h"
#include "SyncSupport.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

using ZembraSync::LogFailure;
using ZembraSync::Progress;

namespace {

const size_t kMessagesPerStore = 256;

}  // namespace

CMessageSync::CMessageSync(const std::wstring& serial, CZembraDb* db, Trelk::CContentAccess& access)
    : m_serial(serial), m_db(db), m_access(access) {}

void CMessageSync::CheckConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckSmsConnection");
  ZembraSync::OpenContent(m_access, m_serial, m_connection, m_folder);
}

void CMessageSync::FromPhone() {
  m_folderSkipped = false;
  ReadFromPhone();
  if (m_folderSkipped) {
    // Its messages were not marked as still on the phone.
    ZCLLogMessage(2, nullptr).Print("A message folder was not read, deleted messages are kept");
  } else {
    DeleteNonExisting();
  }
  Progress("SMS sync FROM phone done");
}

void CMessageSync::ReadFromPhone() {
  ZCLScopeTracer trace("CZembraSync::ReadSmsFromPhone");
  try {
    CheckConnection();
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
      for (size_t f = 0; f < m_folder.GetSubFolderCount(); ++f) {
        DWORD folder = m_folder.GetSubFolder(f).GetFolderId();
        Trelk::CIdList ids;
        try {
          m_connection.GetIdList(ids, folder);
        } catch (const Trelk::CTrelkException& e) {
          if (static_cast<DWORD>(e.GetCode()) != TESSIM_FOLDER_NOT_LISTED) throw;
          m_folderSkipped = true;
          continue;
        }
        ZCLLogMessage(5, nullptr).Print("  Folder %u: %u SMSes", static_cast<unsigned>(folder),
                                        static_cast<unsigned>(ids.Count()));
        Trelk::COperation operation;
        m_connection.BeginOperation(operation);
        for (size_t i = 0; i < ids.Count(); ++i) {
          Trelk::CIdListItem listed = ids.GetAt(i);
          // A stored message is marked as still on the phone, so that the
          // purge keeps it even when it was deleted on the PC only.
          auto known = stored.find(listed.GetUid().ToString());
          if (known != stored.end()) {
            ZCLLogMessage(5, nullptr).Print("   SMS <%ls> already in db, discarding", listed.GetUid().ToString());
            m_db->MarkSmsExistingById(known->second);
            batch.RowDone();
            continue;
          }
          Trelk::CItemId id(listed);
          m_connection.ReadRecord(operation, id.Get(), 0, [&](const TESSIM_SMS_ITEM& item) {
            if (item.dwTextLength == 0) return;
            if ((item.dwInfo & 15) == TESSIM_SMS_KIND_TEXT && item.pstrText) {
              CZembraSMS sms(id.Get(), &item);
              ZCLLogMessage(5, nullptr).Print("   Read new unicode SMS <%ls>", sms.GetPhoneId().ToString());
              pending.push_back(sms);
            } else {
              Progress("   Unknown message type in SMS");
            }
          });
          if (pending.size() >= kMessagesPerStore) store();
        }
        store();
        operation.End();
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

void CMessageSync::DeleteNonExisting() {
  ZCLScopeTracer trace("CZembraSync::DeleteNonExistingSms");
  if (!m_db) return;
  int deleted = m_db->DeleteNonExistingSms();
  ZCLLogMessage(5, nullptr).Print(
      "Deleted %i SMS messages that were not found from mobile and were stamped as deleted", deleted);
}

// Read markings made on the PC that the phone did not take (it failed, or
// the phone was away): each is marked again until the phone confirms it.
void CMessageSync::SyncReadMarks() {
  if (!m_db) return;
  for (const CZembraDb::SmsReadMark& mark : m_db->SelectSmsReadMarks()) {
    try {
      if (MarkReadOnPhone(mark.uid)) ZCLLogMessage(5, nullptr).Print("   SMS <%ls> marked as read", mark.uid.ToString());
      m_db->ForgetSmsReadMark(mark.id);
    } catch (const ZCLException& e) {
      LogFailure(e);
    }
  }
}

// False when the phone no longer holds the message: nothing left to mark.
bool CMessageSync::MarkReadOnPhone(const Trelk::CUid& uid) {
  if (uid.IsEmpty()) return false;
  CheckConnection();
  Trelk::COperation operation;
  m_connection.BeginOperation(operation);
  Trelk::CItemId id(0, uid);
  try {
    m_connection.ReadRecord(operation, id.Get(), TESSIM_READ_MARK_AS_READ, [](const TESSIM_SMS_ITEM&) {});
  } catch (const Trelk::CTrelkException& e) {
    if (static_cast<DWORD>(e.GetCode()) == ELNYX_FILE_NOT_FOUND) return false;
    throw;
  }
  ZembraSync::CommitAndEnd(operation);
  return true;
}

bool CMessageSync::DeleteFromPhone(CZembraSMS& sms) {
  try {
    Progress("Deleting SMS from phone");
    CheckConnection();
    ZembraSync::DeleteOnPhone(m_connection, 0, sms.GetPhoneId());
    return true;
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  return false;
}

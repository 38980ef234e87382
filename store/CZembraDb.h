#pragma once
#include <windows.h>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>
#include "CLockable.h"
#include "CZembraContact.h"
#include "CZembraEventLog.h"
#include "CZembraSMS.h"
#include "IZembraDbCB.h"
#include "ZCLException.h"

struct sqlite3;
struct sqlite3_stmt;

// The local database of one phone ("OrvexDialix.db" in its data folder).
// Owned by the phone's device object. Reached from the device manager's
// thread, the task-queue thread and call control's threads: every public
// operation holds the one recursive lock, never across a callback.
class CZembraDb {
public:
  CZembraDb();
  ~CZembraDb();

  // Opens or creates the file and prepares the statements; never throws.
  // A failure is logged and leaves the database closed.
  void Open(const wchar_t* path);
  void Open(const char* utf8Path);  // the 8-bit text is UTF-8
  void Close();
  bool IsOpen();

  // Contacts.
  int InsertContact(CZembraContact& contact);  // the new id, or -1; never throws
  int InsertLocalContact(const CZembraContact& contact);
  int InsertPhoneContact(const CZembraContact& contact);
  int UpdateContact(const CZembraContact& contact);  // an edit on the PC
  int UpdateLocalContact(const CZembraContact& contact, bool updated);
  int UpdatePhoneContactVCard(const CZembraContact& contact);
  bool MarkPhoneContactExisting(const CZembraContact& contact);
  int UpdatePhoneId(const CZembraContact& contact);
  void DeleteContact(int dbId);
  void DeleteLocalContactRow(int dbId);
  void DeletePhoneContactRow(int dbId);
  int DeleteNonExistingContacts();
  void SelectContacts(IZembraDbCB* callback);
  void SelectNewLocalContacts(IZembraDbCB* callback);
  void SelectUpdatedLocalContacts(IZembraDbCB* callback);
  void SelectDeletedLocalContacts(IZembraDbCB* callback);
  std::vector<CZembraContact> FindContactsByNumber(const wchar_t* number);

  // Text messages.
  int InsertSms(CZembraSMS& sms);
  bool UpdateSms(const CZembraSMS& sms);
  void SetSmsDeleted(int dbId, int state);
  void DeleteSms(int dbId);
  int DeleteNonExistingSms();
  bool SmsExists(const Trelk::CUid& uid);
  void SelectSms(IZembraDbCB* callback);
  void SelectDeletedSms(IZembraDbCB* callback);

  // Call log.
  int InsertEvent(const CZembraEventLog& entry);
  void SelectEvents(IZembraDbCB* callback);

  // What the sync engine and the message-received task need
  // (CZembraDbSync.cpp; the contact write in CZembraDbContacts.cpp).
  enum PhoneEdit { PhoneEditUnchanged = 0, PhoneEditApplied = 1, PhoneEditKeptPcEdit = 2 };
  // A contact as the phone holds it, into the phone copy and the local row
  // together (both or neither). A local row with a pending PC edit is left
  // as it is (PhoneEditKeptPcEdit): the edit goes to the phone next. Throws
  // when the phone copy changed but no local row of that phone id exists.
  int UpdatePhoneAndLocalContact(const CZembraContact& contact);
  // Marks the stored message of that uid as still on the phone.
  bool MarkSmsExisting(const Trelk::CUid& uid);
  // Inserts the message unless one of its uid is stored: the new id, or -1.
  int InsertSmsIfAbsent(CZembraSMS& sms);
  // The same for many, under one lock and one look at the stored uids; the
  // number inserted. Each message that was stored gets its id.
  int InsertSmsIfAbsent(std::vector<CZembraSMS>& messages);

  // What a sync pass reads once instead of asking row by row (the tables
  // have no index on phone_id). By uid text.
  struct PhoneCopy {
    int id = -1;
    std::vector<BYTE> vcard;
  };
  std::unordered_map<std::wstring, PhoneCopy> SelectPhoneCopies();
  std::unordered_map<std::wstring, int> SelectSmsIds();
  // Marks by row id, as found in the maps above.
  void MarkPhoneContactExistingById(int id);
  void MarkSmsExistingById(int id);
  // InsertEvent that keeps stored history: a stored entry of the same id but
  // of another call (another time, type or direction: the phone reused the
  // id after its log was cleared) moves to a free id below every other.
  int StoreEvent(const CZembraEventLog& entry);

  // The SQL of prepared statement 1 to 35 as SQLite holds it; null when closed.
  const char* GetStatementText(int number);
  static const char* GetSchemaText(int index);  // 0 to 4

private:
  CZembraDb(const CZembraDb&) = delete;
  CZembraDb& operator=(const CZembraDb&) = delete;

  enum OwnStatement {
    UpdateContactById,
    UpdateLocalContactKeepTop,
    ClearUpdatedIfUnchanged,
    DeleteNonExistingLocal,
    DeleteNonExistingPhone,
    FindByNumber,
    ListedSmsAddresses,
    SavepointBegin,
    SavepointRelease,
    SavepointRollback,
    OwnStatementCount
  };
  friend class CZembraDbRun;
  friend class CZembraDbSavepoint;
  friend class CZembraDbBatch;

  enum SyncStatement {
    LocalContactFromPhone,
    PendingLocalEdits,
    SmsExistingByPhoneId,
    EventById,
    EventMoveAside,
    PhoneCopies,
    PhoneCopyExistingById,
    SmsIds,
    SmsExistingById,
    SyncStatementCount
  };
  // Prepared on first use; finalized with the others.
  sqlite3_stmt* SyncStmt(SyncStatement which);
  void BeginBatch();
  void EndBatch();
  void CommitBatch();

  bool CheckDatabase();
  bool CreateTables();
  void PrepareStatements();
  void Prepare(const char* sql, sqlite3_stmt** statement);
  void FinalizeStatements();
  void CloseHandle();
  void Reset(const std::string& cause);
  [[noreturn]] void OnSqlError(ZCLSqlException e);
  void OpenLocked(const std::string& path);

  // Runs one public operation under the lock: reopens a closed database at
  // most once, and turns an SQL failure into OnSqlError at the outermost level.
  template <class F>
  auto Guarded(F&& body) -> decltype(body());

  void ForgetWritten(int dbId);
  void ConfirmWrittenOrKeep(int dbId, const std::vector<BYTE>& written);

  std::string m_path;
  std::vector<sqlite3_stmt*> m_statements;
  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_stmt[36] = {};
  sqlite3_stmt* m_own[OwnStatementCount] = {};
  sqlite3_stmt* m_sync[SyncStatementCount] = {};
  int m_batchDepth = 0;

  CLockable m_lock;
  int m_depth = 0;
  bool m_reopenTried = false;
  // Contacts whose phone id was recorded since their write began: the
  // sync engine records it only after a good commit.
  std::set<int> m_writtenToPhone;
};

// Groups the rows of a sync pass into transactions of a few hundred rows:
// one commit per row made a first sync many times slower. What was committed
// before a failure stays; the scope's end commits the rest, and never rolls
// back (other threads' changes may share the transaction). Null: no database.
// Used by one thread; the database it groups is shared as ever.
class CZembraDbBatch {
public:
  explicit CZembraDbBatch(CZembraDb* db, int rowsPerCommit = 256);
  ~CZembraDbBatch();
  void RowDone(int rows = 1);

private:
  CZembraDbBatch(const CZembraDbBatch&) = delete;
  CZembraDbBatch& operator=(const CZembraDbBatch&) = delete;
  CZembraDb* m_db;
  int m_rowsPerCommit;
  int m_rows = 0;
};

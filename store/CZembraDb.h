#pragma once
#include <windows.h>
#include <functional>
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
#include "ZCLSqlException.h"
#include "ZembraSqliteHandles.h"

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
  // The new id; on an SQL failure neither row is written, the contact keeps
  // the id it had and the failure is raised.
  int InsertContact(CZembraContact& contact);
  int InsertLocalContact(const CZembraContact& contact);
  int InsertPhoneContact(const CZembraContact& contact);
  int UpdateContact(const CZembraContact& contact);  // an edit on the PC
  int UpdateLocalContact(const CZembraContact& contact, bool updated);
  int UpdatePhoneContactVCard(const CZembraContact& contact);
  bool MarkPhoneContactExisting(const CZembraContact& contact);  // false: no phone copy of that uid
  int UpdatePhoneId(const CZembraContact& contact);
  void DeleteContact(int dbId);
  void DeleteLocalContactRow(int dbId);
  void DeletePhoneContactRow(int dbId);
  int DeleteNonExistingContacts();
  void SelectContacts(IZembraDbCB* callback);
  void SelectNewLocalContacts(IZembraDbCB* callback);
  void SelectUpdatedLocalContacts(IZembraDbCB* callback);
  void SelectDeletedLocalContacts(IZembraDbCB* callback);
  // The contacts not marked deleted with a TEL number that matches (see
  // CPhoneNumber::Matches): top contacts first, then by database id.
  std::vector<CZembraContact> FindContactsByNumber(const wchar_t* number);

  // Text messages.
  int InsertSms(CZembraSMS& sms);
  bool UpdateSms(const CZembraSMS& sms);  // false: no stored message of that uid and time
  void SetSmsDeleted(int dbId, int state);
  void DeleteSms(int dbId);
  int DeleteNonExistingSms();
  bool SmsExists(const Trelk::CUid& uid);  // false: absent
  void SelectSms(IZembraDbCB* callback);
  void SelectDeletedSms(IZembraDbCB* callback);

  // Call log.
  // The entry's id. An entry stored under another row throws a
  // ZCLSqlException that IsEntryNotStored recognises: the call-log read stops there.
  int InsertEvent(const CZembraEventLog& entry);
  static bool IsEntryNotStored(const ZCLSqlException& e);
  void SelectEvents(IZembraDbCB* callback);

  // What the sync engine and the message-received task need
  // (CZembraDbSync.cpp; the contact write in CZembraDbContacts.cpp).
  enum PhoneEdit { PhoneEditUnchanged = 0, PhoneEditApplied = 1, PhoneEditKeptPcEdit = 2 };
  // A contact as the phone holds it, into the phone copy and the local row
  // together (both or neither). A local row with a pending PC edit is left
  // as it is (PhoneEditKeptPcEdit): the edit goes to the phone next. Throws
  // when the phone copy changed but no local row of that phone id exists.
  int UpdatePhoneAndLocalContact(const CZembraContact& contact);
  // Marks the stored message of that uid as still on the phone; false when absent.
  bool MarkSmsExisting(const Trelk::CUid& uid);
  // Inserts the message unless one of its uid is stored: the new id, or -1
  // for one already present (not a failure: failures throw).
  int InsertSmsIfAbsent(CZembraSMS& sms);
  // The same for many, under one lock and one look at the stored uids; the
  // number inserted. Each message that was stored gets its id.
  int InsertSmsIfAbsent(std::vector<CZembraSMS>& messages);

  // New contacts sent to the phone and not yet confirmed: a commit may reach
  // the phone and still answer a failure. Remembered before the commit;
  // forgotten when the phone id is recorded, or after a complete read of the
  // phone that did not find the card (the write did not land).
  struct ContactWrite {
    int dbId = -1;
    std::vector<BYTE> vcard;
  };
  void RememberContactWrite(const CZembraContact& contact);
  // Those whose local contact still has no phone id.
  std::vector<ContactWrite> SelectContactWrites();
  bool HasContactWrite(int dbId);  // false: none remembered
  // The phone holds the remembered card under `uid`: the contact takes that
  // phone id, unless it got one meanwhile (false).
  bool AdoptContactWrite(int dbId, const Trelk::CUid& uid);
  void ForgetContactWrites();

  // Read markings (status StatusRead) the phone has not confirmed; UpdateSms
  // records them, the sync to the phone retries them.
  struct SmsReadMark {
    int id = -1;
    Trelk::CUid uid;
  };
  std::vector<SmsReadMark> SelectSmsReadMarks();
  void ForgetSmsReadMark(int smsId);
  void ForgetSmsReadMark(const Trelk::CUid& uid);  // never throws

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

  // Every prepared statement, by name: the verbatim ones in the order of
  // their numbers (GetStatementText), then ours; those from
  // LocalContactFromPhone on are prepared on first use.
  enum Statement {
    InsertLocalRow,
    InsertPhoneRow,
    UpdateLocalByPhoneId,
    UpdatePhoneCard,
    PhoneRowExisting,
    DeleteGoneLocalRows,
    DeleteGonePhoneRows,
    ClearPhoneExisting,
    UpdatedLocalRows,
    SetTopByPhoneId,
    ClearUpdated,
    DeletedLocalRows,
    LocalRows,
    NewLocalRows,
    SetLocalPhoneId,
    SetPhoneRowPhoneId,
    DeletePhoneRowById,
    DeleteLocalRowById,
    MarkLocalDeleted,
    InsertSmsRow,
    InsertSmsAddress,
    UpdateSmsStatus,
    DeleteGoneSmsRows,
    DeleteGoneSmsAddresses,
    ClearSmsExisting,
    DeletedSmsRows,
    DeleteSmsRowById,
    DeleteSmsAddressesOf,
    SetSmsDeletedById,
    ListedSms,
    InsertEventRow,
    EventRows,
    SmsAddressesOf,
    LocalRowsLike,
    SmsByPhoneId,
    // Ours: each mends a fault of the verbatim ones.
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
    // The number table (CZembraDbNumbers.cpp).
    NumbersOfTail,
    ContactById,
    ForgetNumbers,
    CardOfContact,
    AddNumber,
    // What the sync engine needs (CZembraDbSync.cpp).
    LocalContactFromPhone,
    PendingLocalEdits,
    SmsExistingByPhoneId,
    EventById,
    EventMoveAside,
    PhoneCopies,
    PhoneCopyExistingById,
    SmsIds,
    SmsExistingById,
    RememberWrite,
    ContactWrites,
    ContactWriteOf,
    LocalPhoneIdOf,
    ForgetWrite,
    ForgetAllWrites,
    AddReadMark,
    DropReadMark,
    ReadMarks,
    ForgetReadMark,
    ForgetReadMarkOfUid,
    StatementCount
  };
  static const int kVerbatimStatements = SmsByPhoneId + 1;
  static const Statement kFirstOwnStatement = UpdateContactById;
  static const Statement kFirstNumberStatement = NumbersOfTail;
  static const Statement kFirstSyncStatement = LocalContactFromPhone;
  friend class CZembraDbRun;
  friend class CZembraDbSavepoint;
  friend class CZembraDbBatch;

  // The prepared statement; null when the database is closed. The sync
  // engine's are prepared here on first use.
  sqlite3_stmt* Stmt(Statement which);
  void PrepareSyncStatement(Statement which);
  // A batch belongs to the thread that began it; its transaction is open
  // only while that thread works. Another thread's operation first commits
  // the batch's rows and then runs on its own, so it is durable when it
  // returns and no failure of the batch can take it back.
  bool BeginBatch();  // false: another thread's batch is open, this one runs row by row
  void CommitBatch();
  void EndBatch();  // throws when rows of the batch were lost
  void SettleBatch();
  // COMMIT, tried again while busy; on a failure whatever SQLite left of the
  // transaction is rolled back (only the batch's rows are ever in it).
  void CommitTransaction();

  void CheckDatabase();  // makes the tables when the contacts table is missing
  void EnsurePendingTables();
  void CreateTables();
  void PrepareStatements();
  void Prepare(const char* sql, Statement which);
  void FinalizeStatements();
  void CloseConnection();
  void Reset(const std::string& cause);
  [[noreturn]] void OnSqlError(ZCLSqlException e);
  void OpenLocked(const std::string& path);

  // Runs one public operation under the lock: reopens a closed database at
  // most once, and turns an SQL failure into OnSqlError at the outermost level.
  template <class F>
  auto Guarded(F&& body) -> decltype(body());

  // The number table beside the contacts (CZembraDbNumbers.cpp). Every write
  // of a contacts_local row calls RefreshContactNumbers for that row inside
  // the write's savepoint, so the table never disagrees with the contacts;
  // a write that matches rows by anything but the id collects them with
  // ChangedContactRows.
  void EnsureContactNumbers();
  void PrepareNumberStatements();
  void RefreshContactNumbers(int dbId);
  std::vector<int> ChangedContactRows(const std::function<void()>& write);
  std::vector<int> ContactIdsMatching(const wchar_t* number);

  void ForgetWritten(int dbId);
  void ConfirmWrittenOrKeep(int dbId, const std::vector<BYTE>& written);

  std::string m_path;
  CSqliteConnection m_db;
  CSqliteStatement m_statements[StatementCount];
  int m_batchDepth = 0;
  DWORD m_batchThread = 0;
  bool m_batchOpen = false;    // a transaction begun for the batch is open
  bool m_batchBroken = false;  // rows of the batch were rolled back before its commit

  CLockable m_lock;
  int m_depth = 0;
  bool m_reopenTried = false;
  // Contacts whose phone id was recorded since their write began: the
  // sync engine records it only after a good commit.
  std::set<int> m_writtenToPhone;
};

// Groups the rows of a sync pass into transactions: one commit per row made a
// first sync many times slower. A group holds rowsPerCommit rows at first and
// grows to an eighth of the rows the pass has done, up to kLargestGroup: each
// commit rewrites index pages spread over the whole store, so groups of a few
// hundred made filling 100,000 contacts grow faster than the store did, while
// a short pass still commits every few hundred rows. What was committed before
// a failure stays. Finish commits the rest and throws when any row of the
// batch was lost (a pass must not act on marks that are gone); a scope left
// without Finish commits what it can and logs a failure. Other threads' writes
// never share the batch's transaction. Null: no database.
// Used by the thread that made it; the database it groups is shared as ever.
class CZembraDbBatch {
public:
  explicit CZembraDbBatch(CZembraDb* db, int rowsPerCommit = 256);
  ~CZembraDbBatch();
  void RowDone(int rows = 1);
  void Finish();
  static constexpr int kLargestGroup = 2048;

  // Where a pass of rows done one by one, or a few at a time, is committed.
  class CommitPoints {
  public:
    explicit CommitPoints(int rowsPerCommit) : m_rowsPerCommit(rowsPerCommit), m_next(GroupSize(0)) {}
    // True when the rows just done end a group.
    bool RowsDone(int rows);
    int Next() const { return m_next; }  // the row count at which the open group ends

  private:
    int GroupSize(int rowsDone) const;
    int m_rowsPerCommit;
    int m_done = 0;
    int m_next;
  };

private:
  CZembraDbBatch(const CZembraDbBatch&) = delete;
  CZembraDbBatch& operator=(const CZembraDbBatch&) = delete;
  CZembraDb* m_db;
  CommitPoints m_points;
  bool m_joined = false;
};

#pragma once
#include <windows.h>
#include <functional>
#include <set>
#include <string>
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
  // The contacts not marked deleted with a TEL number that matches (see
  // CPhoneNumber::Matches): top contacts first, then by database id.
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
  std::vector<sqlite3_stmt*> m_statements;
  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_stmt[36] = {};
  sqlite3_stmt* m_own[OwnStatementCount] = {};
  enum NumberStatement { NumbersOfTail, ContactById, ForgetNumbers, CardOfContact, AddNumber, NumberStatementCount };
  sqlite3_stmt* m_numbers[NumberStatementCount] = {};

  CLockable m_lock;
  int m_depth = 0;
  bool m_reopenTried = false;
  // Contacts whose phone id was recorded since their write began: the
  // sync engine records it only after a good commit.
  std::set<int> m_writtenToPhone;
};

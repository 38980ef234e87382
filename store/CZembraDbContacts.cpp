#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "CZembraDbRun.h"
#include "ZCLLogger.h"

using namespace ZembraDb;

namespace {

struct ContactRow {
  int id = -1;
  PhoneIdText phoneId;
  std::vector<BYTE> vcard;
  int top = 0;
};

CZembraContact ContactOf(const ContactRow& row) {
  CZembraContact contact(row.id, ParsePhoneId(row.phoneId), row.vcard.data(), row.vcard.size());
  contact.SetTopContact(row.top);
  return contact;
}

}  // namespace

int CZembraDb::InsertLocalContact(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    int id;
    {
      CZembraDbRun run(*this, Stmt(InsertLocalRow));
      if (c.GetPhoneId().IsEmpty())
        run.Null(1);
      else
        run.PhoneId(1, c.GetPhoneId());
      run.Text(2, c.GetGivenName()).Text(3, c.GetFamilyName()).Blob(4, c).Int(5, 0);
      run.Int(6, c.GetTopContact() ? 1 : 0);
      id = static_cast<int>(run.Insert());
      run.Done();
    }
    RefreshContactNumbers(id);
    change.Release();
    return id;
  });
}

int CZembraDb::InsertPhoneContact(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(InsertPhoneRow));
    run.Int(1, c.GetDbId()).PhoneId(2, c.GetPhoneId()).Blob(3, c).Int(4, 1);
    int id = static_cast<int>(run.Insert());
    run.Done();
    return id;
  });
}

int CZembraDb::InsertContact(CZembraContact& c) {
  int before = c.GetDbId();
  try {
    return Guarded([&] {
      CZembraDbSavepoint change(*this);
      int id = InsertLocalContact(c);
      c.SetDbId(id);
      InsertPhoneContact(c);
      change.Release();
      return id;
    });
  } catch (const ZCLSqlException&) {
    // Both rows or neither: the record must not claim a row that is gone.
    c.SetDbId(before);
    throw;
  }
}

int CZembraDb::UpdateContact(const CZembraContact& c) {
  int changed = Guarded([&] {
    CZembraDbSavepoint change(*this);
    int n;
    {
      CZembraDbRun run(*this, Stmt(UpdateContactById));
      run.Text(1, c.GetGivenName()).Text(2, c.GetFamilyName()).Blob(3, c);
      run.Int(4, c.GetTopContact() ? 1 : 0).Int(5, c.GetDbId());
      n = run.Change();
      run.Done();
    }
    RefreshContactNumbers(c.GetDbId());
    change.Release();
    return n;
  });
  ZCLThrowOnFalse(changed > 0, ZCL_POS + " The contact to update is not in the database");
  return changed;
}

int CZembraDb::UpdateLocalContact(const CZembraContact& c, bool updated) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    int n = 0;
    std::vector<int> rows = ChangedContactRows([&] {
      // A change read from the phone keeps the user's top mark: the phone has none.
      CZembraDbRun run(*this, updated ? Stmt(UpdateLocalByPhoneId) : Stmt(UpdateLocalContactKeepTop));
      run.Text(1, c.GetGivenName()).Text(2, c.GetFamilyName()).Blob(3, c).Int(4, updated ? 1 : 0);
      if (updated)
        run.Int(5, c.GetTopContact() ? 1 : 0).PhoneId(6, c.GetPhoneId());
      else
        run.PhoneId(5, c.GetPhoneId());
      n = run.Change();
      run.Done();
    });
    for (int id : rows) RefreshContactNumbers(id);
    change.Release();
    return n;
  });
}

int CZembraDb::UpdatePhoneContactVCard(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(UpdatePhoneCard));
    run.Blob(1, c).PhoneId(2, c.GetPhoneId()).Blob(3, c);
    int n = run.Change();
    run.Done();
    return n;
  });
}

bool CZembraDb::MarkPhoneContactExisting(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(PhoneRowExisting));
    run.PhoneId(1, c.GetPhoneId());
    int n = run.Change();
    run.Done();
    return n == 1;
  });
}

int CZembraDb::UpdatePhoneId(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    int local, phone;
    {
      CZembraDbRun run(*this, Stmt(SetLocalPhoneId));
      run.PhoneId(1, c.GetPhoneId()).Int(2, c.GetDbId());
      local = run.Change();
      run.Done();
    }
    {
      CZembraDbRun run(*this, Stmt(SetPhoneRowPhoneId));
      run.PhoneId(1, c.GetPhoneId()).Int(2, c.GetDbId());
      phone = run.Change();
      run.Done();
    }
    RunById(*this, Stmt(ForgetWrite), c.GetDbId());
    change.Release();
    if (local != phone) ZCLLogMessage(2, nullptr).Print("UpdatePhoneId updated inconsistently, database out of sync!");
    if (local > 0) m_writtenToPhone.insert(c.GetDbId());
    return local;
  });
}

void CZembraDb::DeleteContact(int dbId) {
  Guarded([&] {
    CZembraDbSavepoint change(*this);
    RunById(*this, Stmt(MarkLocalDeleted), dbId);
    RefreshContactNumbers(dbId);
    change.Release();
  });
}

void CZembraDb::DeleteLocalContactRow(int dbId) {
  Guarded([&] {
    CZembraDbSavepoint change(*this);
    RunById(*this, Stmt(DeleteLocalRowById), dbId);
    RefreshContactNumbers(dbId);
    change.Release();
  });
}

void CZembraDb::DeletePhoneContactRow(int dbId) {
  Guarded([&] { RunById(*this, Stmt(DeletePhoneRowById), dbId); });
}

int CZembraDb::DeleteNonExistingContacts() {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    std::vector<int> gone = ChangedContactRows([&] { CZembraDbRun(*this, Stmt(DeleteNonExistingLocal)).Change(); });
    for (int id : gone) RefreshContactNumbers(id);
    int deleted;
    {
      CZembraDbRun run(*this, Stmt(DeleteNonExistingPhone));
      deleted = run.Change();
      run.Done();
    }
    CZembraDbRun(*this, Stmt(ClearPhoneExisting)).Change();
    change.Release();
    return deleted;
  });
}

namespace {

// Every row of a contact select (columns id, phone_id, ..., vcard 4, top 6).
std::vector<ContactRow> ReadContactRows(CZembraDbRun& run) {
  return run.ReadAll([](sqlite3_stmt* s) {
    ContactRow row;
    row.id = sqlite3_column_int(s, 0);
    row.phoneId = ColumnPhoneId(s, 1);
    row.vcard = ColumnBlob(s, 4);
    row.top = sqlite3_column_int(s, 6);
    return row;
  });
}

}  // namespace

void CZembraDb::SelectContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    CZembraDbRun run(*this, Stmt(LocalRows));
    return ReadContactRows(run);
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    if (callback) callback->SelectContactsCB(&contact);
  }
}

void CZembraDb::ConfirmWrittenOrKeep(int dbId, const std::vector<BYTE>& written) {
  Guarded([&] {
    if (m_writtenToPhone.erase(dbId) == 0) return;  // the write failed: stays marked
    CZembraDbRun run(*this, Stmt(ClearUpdatedIfUnchanged));
    run.Int(1, dbId).Blob(2, written.data(), written.size()).Change();
    run.Done();
  });
}

void CZembraDb::ForgetWritten(int dbId) {
  CLockGuard guard(&m_lock);
  m_writtenToPhone.erase(dbId);
}

void CZembraDb::SelectNewLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    CZembraDbRun run(*this, Stmt(NewLocalRows));
    return ReadContactRows(run);
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    ForgetWritten(row.id);
    if (callback) callback->SelectNewLocalContactsCB(&contact);
    // An edit made before the first write went with it.
    ConfirmWrittenOrKeep(row.id, row.vcard);
  }
}

void CZembraDb::SelectUpdatedLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    return CZembraDbRun(*this, Stmt(UpdatedLocalRows)).ReadAll([](sqlite3_stmt* s) {
      ContactRow row;
      row.id = sqlite3_column_int(s, 0);
      row.phoneId = ColumnPhoneId(s, 1);
      row.vcard = ColumnBlob(s, 2);
      return row;
    });
  });
  for (const ContactRow& row : rows) {
    // A contact not yet on the phone is written once, by the new-contact pass.
    if (row.phoneId.null) continue;
    CZembraContact contact = ContactOf(row);
    ForgetWritten(row.id);
    // The phone copy is left as the phone last showed it: only the sync
    // engine, after a good commit, brings it up to date, so a failed write
    // cannot make the next read from the phone overwrite the edit.
    if (callback) callback->SelectUpdatedLocalContactsCB(&contact);
    ConfirmWrittenOrKeep(row.id, row.vcard);
  }
}

void CZembraDb::SelectDeletedLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    return CZembraDbRun(*this, Stmt(DeletedLocalRows)).ReadAll([](sqlite3_stmt* s) {
      ContactRow row;
      row.id = sqlite3_column_int(s, 0);
      row.phoneId = ColumnPhoneId(s, 1);
      return row;
    });
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    if (!callback || !callback->SelectDeletedLocalContactsCB(&contact)) continue;
    Guarded([&] {
      CZembraDbSavepoint change(*this);
      RunById(*this, Stmt(DeleteLocalRowById), row.id);
      RefreshContactNumbers(row.id);
      RunById(*this, Stmt(DeletePhoneRowById), row.id);
      change.Release();
    });
  }
}

std::vector<CZembraContact> CZembraDb::FindContactsByNumber(const wchar_t* number) {
  std::vector<CZembraContact> found;
  std::vector<ContactRow> rows = Guarded([&] {
    std::vector<ContactRow> matched;
    for (int id : ContactIdsMatching(number)) {
      CZembraDbRun run(*this, Stmt(ContactById));
      run.Int(1, id);
      std::vector<ContactRow> one = ReadContactRows(run);
      matched.insert(matched.end(), one.begin(), one.end());
    }
    return matched;
  });
  for (const ContactRow& row : rows) found.push_back(ContactOf(row));
  return found;
}

int CZembraDb::UpdatePhoneAndLocalContact(const CZembraContact& c) {
  return Guarded([&] {
    // One change: a failure halfway leaves the phone copy as it was, so the
    // next read from the phone finds the edit again.
    CZembraDbSavepoint change(*this);
    if (UpdatePhoneContactVCard(c) <= 0) {
      change.Release();
      return static_cast<int>(PhoneEditUnchanged);
    }
    int local = 0;
    std::vector<int> rows = ChangedContactRows([&] {
      CZembraDbRun run(*this, Stmt(LocalContactFromPhone));
      run.Text(1, c.GetGivenName()).Text(2, c.GetFamilyName()).Blob(3, c).PhoneId(4, c.GetPhoneId());
      local = run.Change();
      run.Done();
    });
    for (int id : rows) RefreshContactNumbers(id);
    int result = PhoneEditApplied;
    if (local != 1) {
      int pending = 0;
      {
        CZembraDbRun run(*this, Stmt(PendingLocalEdits));
        run.PhoneId(1, c.GetPhoneId());
        if (run.Next()) pending = sqlite3_column_int(run.Statement(), 0);
        run.Done();
      }
      if (local != 0 || pending == 0)
        ZCLThrowOnFalse(false, ZCL_POS + " Local contact update returned wrong number of rows!");
      result = PhoneEditKeptPcEdit;
    }
    change.Release();
    return result;
  });
}

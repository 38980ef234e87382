#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include <unordered_map>
#include "CZembraDbRun.h"

using namespace ZembraDb;

int CZembraDb::InsertSms(CZembraSMS& sms) {
  int before = sms.GetId();
  try {
    return Guarded([&] {
      CZembraDbSavepoint change(*this);
      int id;
      {
        CZembraDbRun run(*this, Stmt(InsertSmsRow));
        run.PhoneId(1, sms.GetPhoneId()).Text(2, sms.GetMessage()).Int(3, sms.GetStatus());
        run.Int(4, sms.GetFolder()).Text(5, sms.GetTimeStamp());
        id = static_cast<int>(run.Insert());
        run.Done();
      }
      sms.SetId(id);
      for (const CZembraSMSAddress* address : sms.GetAddresses()) {
        CZembraDbRun run(*this, Stmt(InsertSmsAddress));
        run.Int(1, id).Int(2, address->GetType()).Text(3, address->GetAddress()).Change();
        run.Done();
      }
      change.Release();
      return id;
    });
  } catch (...) {
    sms.SetId(before);
    throw;
  }
}

// A read marking is kept with the status until the phone confirms it; any
// other status takes a pending one back.
bool CZembraDb::UpdateSms(const CZembraSMS& sms) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    int n;
    {
      CZembraDbRun run(*this, Stmt(UpdateSmsStatus));
      run.Int(1, sms.GetStatus()).Int(2, 1).PhoneId(3, sms.GetPhoneId()).Text(4, sms.GetTimeStamp());
      n = run.Change();
      run.Done();
    }
    {
      CZembraDbRun run(*this, Stmt(sms.GetStatus() == CZembraSMS::StatusRead ? AddReadMark : DropReadMark));
      run.PhoneId(1, sms.GetPhoneId()).Text(2, sms.GetTimeStamp()).Change();
      run.Done();
    }
    change.Release();
    return n == 1;
  });
}

void CZembraDb::SetSmsDeleted(int dbId, int state) {
  Guarded([&] {
    CZembraDbRun run(*this, Stmt(SetSmsDeletedById));
    run.Int(1, state).Int(2, dbId).Change();
    run.Done();
  });
}

void CZembraDb::DeleteSms(int dbId) {
  Guarded([&] {
    CZembraDbSavepoint change(*this);
    RunById(*this, Stmt(DeleteSmsAddressesOf), dbId);
    RunById(*this, Stmt(DeleteSmsRowById), dbId);
    change.Release();
  });
}

int CZembraDb::DeleteNonExistingSms() {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    CZembraDbRun(*this, Stmt(DeleteGoneSmsAddresses)).Change();
    int deleted;
    {
      CZembraDbRun run(*this, Stmt(DeleteGoneSmsRows));
      deleted = run.Change();
      run.Done();
    }
    CZembraDbRun(*this, Stmt(ClearSmsExisting)).Change();
    change.Release();
    return deleted;
  });
}

bool CZembraDb::SmsExists(const Trelk::CUid& uid) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(SmsByPhoneId));
    run.PhoneId(1, uid);
    bool found = run.Next() && sqlite3_data_count(run.Statement()) > 0;
    run.Done();
    return found;
  });
}

namespace {

struct SmsRow {
  int id = -1;
  PhoneIdText phoneId;
  std::wstring message;
  int status = 0;
  int folder = 0;
  std::wstring timeStamp;
  std::vector<std::pair<int, std::wstring>> addresses;
  int deleted = 0;
};

}  // namespace

void CZembraDb::SelectSms(IZembraDbCB* callback) {
  std::vector<SmsRow> rows = Guarded([&] {
    std::vector<SmsRow> read = CZembraDbRun(*this, Stmt(ListedSms)).ReadAll([](sqlite3_stmt* s) {
      SmsRow row;
      row.id = sqlite3_column_int(s, 0);
      row.phoneId = ColumnPhoneId(s, 1);
      row.message = ColumnText16(s, 2);
      row.status = sqlite3_column_int(s, 3);
      row.folder = sqlite3_column_int(s, 4);
      row.timeStamp = ColumnText16(s, 5);
      return row;
    });
    std::unordered_map<int, size_t> byId;
    for (size_t i = 0; i < read.size(); ++i) byId[read[i].id] = i;
    CZembraDbRun run(*this, Stmt(ListedSmsAddresses));
    while (run.Next()) {
      sqlite3_stmt* s = run.Statement();
      auto it = byId.find(sqlite3_column_int(s, 0));
      if (it != byId.end()) read[it->second].addresses.emplace_back(sqlite3_column_int(s, 1), ColumnText16(s, 2));
    }
    run.Done();
    return read;
  });
  for (const SmsRow& row : rows) {
    CZembraSMS sms;
    sms.SetId(row.id);
    sms.SetPhoneId(ParsePhoneId(row.phoneId));
    sms.SetMessage(row.message.c_str());
    sms.SetStatus(row.status);
    sms.SetFolder(row.folder);
    sms.SetTimeStamp(row.timeStamp.c_str());
    for (const auto& address : row.addresses) sms.AddAddress(address.first, address.second.c_str());
    if (callback) callback->SelectSmsCB(&sms);
  }
}

void CZembraDb::SelectDeletedSms(IZembraDbCB* callback) {
  std::vector<SmsRow> rows = Guarded([&] {
    return CZembraDbRun(*this, Stmt(DeletedSmsRows)).ReadAll([](sqlite3_stmt* s) {
      SmsRow row;
      row.id = sqlite3_column_int(s, 0);
      row.phoneId = ColumnPhoneId(s, 1);
      row.deleted = sqlite3_column_int(s, 2);
      return row;
    });
  });
  for (const SmsRow& row : rows) {
    CZembraSMS sms;
    sms.SetPhoneId(ParsePhoneId(row.phoneId));
    if (!callback || !callback->SelectDeletedSmsCB(&sms)) continue;
    if (row.deleted == 1)
      DeleteSms(row.id);
    else
      SetSmsDeleted(row.id, 0);
  }
}

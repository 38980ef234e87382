#pragma once
#include <windows.h>
#include <shellapi.h>
#include <sqlite3.h>
#include <string>
#include <vector>
#include "CZembraContact.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

namespace storetest {

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
  explicit TempFolder(const std::wstring& leaf = L"store") {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    // Wine reuses process ids, and its clean-up leaves folders whose names
    // begin with "%" or "." behind: the time keeps a folder of its own.
    m_path = std::wstring(base) + L"dialix-" + leaf + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount64());
    CreateDirectoryW(m_path.c_str(), nullptr);
  }
  ~TempFolder() {
    std::wstring from = m_path + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
  const std::wstring& Path() const { return m_path; }
  std::wstring Db() const { return m_path + L"\\OrvexDialix.db"; }

private:
  std::wstring m_path;
};

// A second connection to the same file, for injecting faults and reading back.
class SideConnection {
public:
  explicit SideConnection(const std::wstring& path) { sqlite3_open(ZCLWideToUtf8(path).c_str(), m_db.Put()); }
  int Exec(const std::string& sql) { return sqlite3_exec(m_db.Get(), sql.c_str(), nullptr, nullptr, nullptr); }
  // The first column of every row, as text ("NULL" for NULL).
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    CSqliteStatement s;
    if (sqlite3_prepare_v2(m_db.Get(), sql.c_str(), -1, s.Put(), nullptr) != SQLITE_OK) return values;
    while (sqlite3_step(s.Get()) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(s.Get(), 0);
      values.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    return values;
  }
  std::string Value(const std::string& sql) {
    auto values = Column(sql);
    return values.empty() ? "<none>" : values[0];
  }
  // Every row of every table, as text: equal dumps, equal contents.
  std::string Dump() {
    std::string text;
    for (const std::string& table : Column("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
      CSqliteStatement s;
      if (sqlite3_prepare_v2(m_db.Get(), ("SELECT * FROM " + table + " ORDER BY rowid").c_str(), -1, s.Put(),
                             nullptr) != SQLITE_OK)
        return "<" + table + " unreadable>";
      text += table + ":\n";
      while (sqlite3_step(s.Get()) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(s.Get()); ++i) {
          const unsigned char* t = sqlite3_column_text(s.Get(), i);
          text += t ? reinterpret_cast<const char*>(t) : "NULL";
          text += '|';
        }
        text += '\n';
      }
    }
    return text;
  }

private:
  CSqliteConnection m_db;
};

inline CZembraContact Contact(const std::string& vcard, const char* phoneId = nullptr, int dbId = -1) {
  return CZembraContact(dbId, Trelk::CUid::Parse(phoneId), reinterpret_cast<const BYTE*>(vcard.data()),
                        vcard.size());
}

inline std::string VCardText(const CZembraContact& c) {
  return std::string(reinterpret_cast<const char*>(c.GetVCardData()), c.GetVCardSize());
}

}  // namespace storetest

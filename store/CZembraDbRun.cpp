#include <windows.h>
#include "CZembraDbRun.h"
#include "ZCLLogger.h"
#include "ZCLText.h"

namespace ZembraDb {

std::wstring ColumnText16(sqlite3_stmt* s, int column) {
  const void* text = sqlite3_column_text16(s, column);
  return ZCLNullToEmpty(static_cast<const wchar_t*>(text));
}

std::vector<BYTE> ColumnBlob(sqlite3_stmt* s, int column) {
  const BYTE* data = static_cast<const BYTE*>(sqlite3_column_blob(s, column));
  int size = sqlite3_column_bytes(s, column);
  if (!data || size <= 0) return std::vector<BYTE>();
  return std::vector<BYTE>(data, data + size);
}

PhoneIdText ColumnPhoneId(sqlite3_stmt* s, int column) {
  PhoneIdText id;
  const unsigned char* text = sqlite3_column_text(s, column);
  if (text) {
    id.null = false;
    id.text = reinterpret_cast<const char*>(text);
  }
  return id;
}

Trelk::CUid ParsePhoneId(const PhoneIdText& id) { return Trelk::CUid::Parse(id.null ? nullptr : id.text.c_str()); }

void ThrowClosed() { ZCLSqlThrow(SQLITE_MISUSE, "database is not open"); }

void ThrowEntryNotStored(int id, INT64 row) {
  ZCLSqlThrow(SQLITE_MISMATCH, "call-log entry " + std::to_string(id) + " was stored as row " + std::to_string(row));
}

}  // namespace ZembraDb

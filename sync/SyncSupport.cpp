#include <windows.h>
#include "SyncSupport.h"
#include "CTrelkException.h"
#include "ZCLLogger.h"

namespace ZembraSync {

void Progress(const char* text) { ZCLLogMessage(5, nullptr).Print("%s", text); }

void LogFailure(const ZCLException& e) {
  std::string format;
  for (char c : LNYXError2String(static_cast<DWORD>(e.GetCode()))) {
    format += c;
    if (c == '%') format += '%';  // a table text is no place for conversions
  }
  ZCLLogMessage(2, nullptr).Print(format.c_str(), e.GetMessageText().c_str());
}

void OpenContent(Trelk::CContentAccess& access, const std::wstring& serial, Trelk::CContentConnection& connection,
                 Trelk::CFolderInfo& folder) {
  if (connection.GetHandle()) return;
  access.Open(serial.c_str(), connection);
  try {
    connection.GetFolderInfo(folder);
  } catch (...) {
    connection.Close();
    throw;
  }
}

// The commit asks for the written ids all the same: the library hands them
// out, and they are given back at once.
void CommitAndEnd(Trelk::COperation& operation) {
  Trelk::CIdList written;
  operation.Commit(written);
  operation.End();
}

void DeleteOnPhone(Trelk::CContentConnection& connection, DWORD folderId, const Trelk::CUid& uid) {
  Trelk::COperation operation;
  connection.BeginOperation(operation);
  Trelk::CItemId id(folderId, uid);
  connection.DeleteItem(operation, id);
  CommitAndEnd(operation);
}

}  // namespace ZembraSync

#pragma once
#include <windows.h>
#include <string>
#include "CContentAccess.h"
#include "ZCLException.h"

// What the engine's three kinds of synchronisation share.
namespace ZembraSync {

// A progress line (level 5).
void Progress(const char* text);

// A caught failure at level 2: the result-code table's text for its code is
// the line's format, the message its one argument.
void LogFailure(const ZCLException& e);

// Opens the connection on its first use and reads its folder information; a
// folder that cannot be read closes it again, so that the next sync opens it
// and reads the information anew.
void OpenContent(Trelk::CContentAccess& access, const std::wstring& serial, Trelk::CContentConnection& connection,
                 Trelk::CFolderInfo& folder);

// Commits the operation (the written ids are not needed) and ends it.
void CommitAndEnd(Trelk::COperation& operation);

// Deletes the item on the phone in an operation of its own.
void DeleteOnPhone(Trelk::CContentConnection& connection, DWORD folderId, const Trelk::CUid& uid);

}  // namespace ZembraSync

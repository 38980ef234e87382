#pragma once
#include <windows.h>
#include <memory>
#include "CFamilyHandle.h"
#include "CFolderInfo.h"
#include "CIdList.h"
#include "SMSMessage.h"
#include "TrelkApi.h"

namespace Trelk {

// One operation (a transaction) of the content-access library; ended by End
// or the destructor, so an operation left by an exception is ended too. An
// operation of a library that was reloaded since fails with
// ELNYX_INVALID_HANDLE and is only forgotten at its end.
// Used by one thread at a time.
class COperation {
public:
  explicit COperation(DWORD handle = 0);
  ~COperation();

  // Commits without asking for the written ids.
  void Commit();
  // Commits; the list becomes the ids of the items written, the first first.
  void Commit(CIdList& written);
  void End();

  DWORD GetHandle() const { return m_handle; }
  // For the library's begin call, which fills it: the handle then belongs to
  // the library loaded now.
  DWORD* HandleAddress();
  // The handle, when it belongs to the library loaded now; throws otherwise.
  DWORD Current();

private:
  COperation(const COperation&) = delete;
  COperation& operator=(const COperation&) = delete;
  DWORD m_handle;
  DWORD m_generation;
};

// A connection to one phone's text messages. An owning connection closes its
// handle when destroyed; a copy shares the handle without owning it, and sees
// it opened again after a reload of the library. Used by one thread at a
// time; the listener's copy is read on the library's notification thread.
class CSMSConnection {
public:
  explicit CSMSConnection(DWORD handle = 0);
  CSMSConnection(const CSMSConnection& other);  // not owning
  CSMSConnection& operator=(const CSMSConnection& other);  // not owning
  ~CSMSConnection();

  void Close();
  void BeginOperation(COperation& operation);
  // Writes the message as a new item of the folder; its id comes with the commit.
  void WriteItem(COperation& operation, DWORD folderId, SMSMessage& message);
  // Reads the item into the message and hands the library's data back.
  void ReadItem(COperation& operation, TESSIM_ITEM_ID* itemId, SMSMessage& message, DWORD option);
  // The ids of the items of the folder the option names.
  void GetIdList(CIdList& list, DWORD folderId);
  void GetFolderInfo(CFolderInfo& folder);

  DWORD GetHandle() const { return m_handle->Peek(); }
  bool IsOwner() const { return m_owner; }
  CFamilyHandle& Family() const { return *m_handle; }

private:
  friend class CContentAccess;
  std::shared_ptr<CFamilyHandle> m_handle;
  bool m_owner;
};

// The content-access library's lifetime and the opening of a phone's
// messages. Used by one thread at a time.
class CContentAccess {
public:
  CContentAccess();
  ~CContentAccess();

  void Initialize();
  void Terminate();
  // Opens the phone's messages into the connection, which then owns the handle
  // (a handle it owned before is closed first).
  void OpenSMS(const wchar_t* serialNumber, CSMSConnection& connection);
  bool IsInitialized() const { return m_initialized; }

private:
  CContentAccess(const CContentAccess&) = delete;
  CContentAccess& operator=(const CContentAccess&) = delete;
  bool m_initialized;
};

}  // namespace Trelk

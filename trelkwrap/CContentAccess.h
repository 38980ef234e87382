#pragma once
#include <windows.h>
#include <functional>
#include <vector>
#include "CFamilyConnection.h"
#include "CFolderInfo.h"
#include "CIdList.h"
#include "SMSMessage.h"
#include "TrelkApi.h"

namespace Trelk {

extern const CLibraryFamily kTessimFamily;

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

// An item-id record naming an item for the library; it owns the uid bytes
// the record points at. A plain value.
class CItemId {
public:
  CItemId(DWORD folderId, const CUid& uid);
  // The item as a listing or a commit named it.
  explicit CItemId(const CIdListItem& item);
  CItemId(const CItemId& other);
  CItemId& operator=(const CItemId& other);

  TESSIM_ITEM_ID* Get() { return &m_id; }
  // The status the library set in the record.
  DWORD GetStatus() const { return m_id.dwStatus; }

private:
  void Link();
  std::vector<BYTE> m_bytes;
  TESSIM_ITEM_ID m_id;
};

// A connection to one kind of a phone's content, named by its content type.
// Calls are logged with the kind's mark after the call's name ("(SMS)" for
// messages, none for contacts). Used by one thread at a time; a listener's
// copy is read on the library's notification thread.
class CContentConnection : public CFamilyConnection<kTessimFamily> {
public:
  // `name` is the connection class's, for its traces.
  CContentConnection(const char* name, DWORD contentType, const char* mark, DWORD handle = 0);

  DWORD GetContentType() const { return m_contentType; }
  void BeginOperation(COperation& operation);
  // The ids of the items of the folder.
  void GetIdList(CIdList& list, DWORD folderId);
  void GetFolderInfo(CFolderInfo& folder);
  void DeleteItem(COperation& operation, CItemId& itemId);

protected:
  // Reads the item in the format into a record of the format's type, hands it
  // to `use` and gives the library's data back, on every path.
  template <class Item>
  void ReadRecord(COperation& operation, TESSIM_ITEM_ID* itemId, DWORD option, DWORD format,
                  const std::function<void(const Item&)>& use);
  // The call's name with the kind's mark, for its log lines.
  std::string CallText(const char* call) const { return std::string(call) + m_mark; }

private:
  DWORD m_contentType;
  const char* m_mark;
};

// A connection to one phone's contacts, read and written as vCards.
class CContactConnection : public CContentConnection {
public:
  explicit CContactConnection(DWORD handle = 0);

  // The vCard bytes of the item.
  std::vector<BYTE> ReadVCard(COperation& operation, CItemId& itemId);
  // Writes the vCard to the item the id names (a new item when its uid is
  // empty); a write the library refuses in the record's status throws too.
  void WriteVCard(COperation& operation, CItemId& itemId, const std::vector<BYTE>& vcard);
};

// A connection to one phone's text messages.
class CSMSConnection : public CContentConnection {
public:
  explicit CSMSConnection(DWORD handle = 0);

  // Writes the message as a new item of the folder; its id comes with the commit.
  void WriteItem(COperation& operation, DWORD folderId, SMSMessage& message);
  // Reads the item into the message and hands the library's data back.
  void ReadItem(COperation& operation, TESSIM_ITEM_ID* itemId, SMSMessage& message, DWORD option);
  // Reads the item's whole record for `use`, then hands the library's data back.
  void ReadRecord(COperation& operation, TESSIM_ITEM_ID* itemId, DWORD option,
                  const std::function<void(const TESSIM_SMS_ITEM&)>& use);
};

// The content-access library's lifetime and the opening of a phone's
// contacts and messages. Used by one thread at a time.
class CContentAccess : public CFamilyLibrary<kTessimFamily> {
public:
  // Opens the phone's content of the connection's type into the connection,
  // which then owns the handle (a handle it owned before is closed first).
  void Open(const wchar_t* serialNumber, CContentConnection& connection);
  void OpenSMS(const wchar_t* serialNumber, CSMSConnection& connection);
};

}  // namespace Trelk

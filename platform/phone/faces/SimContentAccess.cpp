#include <windows.h>
#include <map>
#include <set>
#include "CLockable.h"
#include "SimContentRecords.h"
#include "SimCore.h"

// The content-access family of the simulated library (Dorrax.dll): a phone's
// contacts and text messages, read and written inside operations whose writes
// and deletes take effect at their commit, and the arrival of a message in the
// received folder announced from the core's thread.

using namespace PhoneSim;

namespace {

const DWORD kTessimVersion = 31;

struct CContentHandle {
  std::wstring serial;
  DWORD type;  // TESSIM_CONTENT_CONTACTS or TESSIM_CONTENT_SMS
};

// A write or delete waiting for its operation's commit.
struct CPendingChange {
  bool remove = false;
  CContact contact;   // contacts
  CMessage message;   // messages
};

struct COperationState {
  DWORD content;
  std::vector<CPendingChange> changes;  // not yet applied, in order
  // What a commit applied before the world failed it: reported with the rest
  // by the commit that completes.
  std::vector<CListedId> written, deleted;
};

// Called from the callers' threads and, for notifications, the core's thread;
// m_lock guards the received messages last seen, the tables lock themselves.
class CContentAccessFamily : public CSimFamily, public IWorldObserver {
public:
  DWORD Open(CPhoneWorld& world, const std::wstring& serial, DWORD type, DWORD* handle) {
    // Read before the lock: the world's files are not ours to hold it over.
    std::set<std::wstring> inbox;
    if (type == TESSIM_CONTENT_SMS) inbox = InboxUids(world, serial);
    {
      CLockGuard guard(&m_lock);
      // Messages already received when the first handle opened are not new.
      if (type == TESSIM_CONTENT_SMS && !m_seen.count(serial)) m_seen[serial] = inbox;
    }
    *handle = m_contents.Add(CContentHandle{serial, type});
    return 0;
  }

  DWORD Close(DWORD handle) {
    CContentHandle closed;
    if (!m_contents.Find(handle, &closed) || !m_contents.Remove(handle)) return ELNYX_INVALID_HANDLE;
    m_operations.RemoveIf([&](const COperationState& op) { return op.content == handle; });
    m_sinks.RemoveHandle(handle);
    // With the phone's last message handle its baseline goes: the next
    // opening takes a new one.
    bool more = false;
    for (const auto& c : m_contents.Items())
      more = more || (c.second.serial == closed.serial && c.second.type == TESSIM_CONTENT_SMS);
    if (!more) {
      CLockGuard guard(&m_lock);
      m_seen.erase(closed.serial);
    }
    return 0;
  }

  // The content of an open handle whose phone is still connected.
  DWORD Content(CPhoneWorld& world, DWORD handle, CContentHandle* content) {
    if (!m_contents.Find(handle, content)) return ELNYX_INVALID_HANDLE;
    CPhone phone;
    if (!world.ReadPhone(content->serial, &phone) || !phone.connected) return ELNYX_CONNECTION_LOST;
    return 0;
  }

  DWORD BeginOperation(DWORD content, DWORD* operation) {
    *operation = m_operations.Add(COperationState{content, {}, {}, {}});
    return 0;
  }

  // The operation's content, checked as Content does.
  DWORD Operation(CPhoneWorld& world, DWORD operation, CContentHandle* content) {
    COperationState state;
    if (!m_operations.Find(operation, &state)) return ELNYX_INVALID_HANDLE;
    return Content(world, state.content, content);
  }

  bool AddChange(DWORD operation, const CPendingChange& change) {
    return m_operations.Update(operation, [&](COperationState& op) { op.changes.push_back(change); });
  }

  // The first change the operation has not applied yet; false when none is left.
  bool NextChange(DWORD operation, CPendingChange* change) {
    bool pending = false;
    m_operations.Update(operation, [&](COperationState& op) {
      pending = !op.changes.empty();
      if (pending) *change = op.changes.front();
    });
    return pending;
  }

  // Records the outcome of the change NextChange gave and drops it.
  void ChangeApplied(DWORD operation, bool removed, const CListedId& outcome) {
    m_operations.Update(operation, [&](COperationState& op) {
      op.changes.erase(op.changes.begin());
      (removed ? op.deleted : op.written).push_back(outcome);
    });
  }

  // The outcomes of the applied changes, the written items first.
  std::vector<CListedId> TakeOutcomes(DWORD operation) {
    std::vector<CListedId> outcomes;
    m_operations.Update(operation, [&](COperationState& op) {
      outcomes.swap(op.written);
      outcomes.insert(outcomes.end(), op.deleted.begin(), op.deleted.end());
      op.deleted.clear();
    });
    return outcomes;
  }

  bool EndOperation(DWORD operation) { return m_operations.Remove(operation); }
  bool IsOpen(DWORD handle) { return m_contents.Contains(handle); }
  CSinkRegistry& Sinks() { return m_sinks; }

  // A message that came into the received folder since the last look is
  // announced, with its id, to the sinks on that phone's message handles.
  void OnWorldChanged(CPhoneWorld& world) override {
    std::map<std::wstring, std::set<DWORD>> handles;
    for (const auto& c : m_contents.Items())
      if (c.second.type == TESSIM_CONTENT_SMS) handles[c.second.serial].insert(c.first);
    for (const auto& phone : handles) {
      CPhone identity;
      if (!world.ReadPhone(phone.first, &identity) || !identity.connected) continue;
      std::vector<CMessage> inbox = world.ListMessages(phone.first, TESSIM_FOLDER_INBOX);
      std::set<std::wstring> now;
      for (const CMessage& m : inbox) now.insert(m.uid);
      std::set<std::wstring> before;
      {
        CLockGuard guard(&m_lock);
        before = m_seen[phone.first];
        m_seen[phone.first] = now;
      }
      for (const CMessage& m : inbox) {
        if (before.count(m.uid)) continue;
        TESSIM_ITEM_ID id;
        FillItemId(&id, TESSIM_FOLDER_INBOX, 0, m.uid, TessimSmsStatus(m.info));
        const std::set<DWORD>& on = phone.second;
        m_sinks.ForEach([&](DWORD h) { return on.count(h) != 0; },
                        [&](void* sink) {
                          // Each sink gets a record of its own to read.
                          TESSIM_ITEM_ID copy = id;
                          static_cast<ITessimNotify*>(sink)->OnTessimNotify(TESSIM_REASON_ITEM_ADDED, copy.dwStatus,
                                                                            &copy);
                        });
        FreeHandedOut(id.pbUid);
      }
    }
  }

  static std::set<std::wstring> InboxUids(CPhoneWorld& world, const std::wstring& serial) {
    std::set<std::wstring> uids;
    for (const CMessage& m : world.ListMessages(serial, TESSIM_FOLDER_INBOX)) uids.insert(m.uid);
    return uids;
  }

protected:
  void OnStarted() override { CSimCore::Instance().AddObserver(this); }

  void OnStopping() override {
    CSimCore::Instance().RemoveObserver(this);
    m_contents.Clear();
    m_operations.Clear();
    {
      CLockGuard guard(&m_lock);
      m_seen.clear();
    }
    m_sinks.Clear();
  }

private:
  CLockable m_lock;
  CHandleTable<CContentHandle> m_contents;
  CHandleTable<COperationState> m_operations;
  std::map<std::wstring, std::set<std::wstring>> m_seen;  // received messages by phone
  CSinkRegistry m_sinks;  // ITessimNotify
};

CContentAccessFamily& ContentAccess() {
  static CContentAccessFamily* family = new CContentAccessFamily();
  return *family;
}

#define CA_ENTRY(name)                                                 \
  SIM_ENTRY(ContentAccess(), name);                                    \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED

// A message as the phone keeps it once written: in the folder the caller's
// item id names; a folder of 0 keeps the folder it lay in.
DWORD CommitMessage(CPhoneWorld& world, const std::wstring& serial, CMessage message, std::wstring* uid) {
  if (message.folder == TESSIM_FOLDER_ROOT) {
    CMessage old;
    if (!world.FindMessage(serial, message.uid, &old)) return ELNYX_FILE_NOT_FOUND;
    message.folder = old.folder;
  }
  *uid = world.WriteMessage(serial, message);
  return uid->empty() ? ELNYX_INVALID_PARAMETER : 0;
}

}  // namespace

SIM_FAMILY_LIFETIME(ContentAccess(), Tessim_Initialize, Tessim_Terminate, kTessimVersion)

DWORD WINAPI TessimGetAPIVersion() { return kTessimVersion; }

DWORD WINAPI DorraxOpenTessim(const WCHAR* pstrSerialNumber, DWORD*, DWORD dwContentType, DWORD* phContent) {
  try {
    CA_ENTRY("DorraxOpenTessim");
    if (!phContent) return ELNYX_INVALID_POINTER;
    if (dwContentType != TESSIM_CONTENT_CONTACTS && dwContentType != TESSIM_CONTENT_SMS)
      return ELNYX_INVALID_PARAMETER;
    CPhone phone;
    if (!pstrSerialNumber || !world->ReadPhone(pstrSerialNumber, &phone) || !phone.connected)
      return ELNYX_DEVICE_NOT_FOUND;
    return ContentAccess().Open(*world, pstrSerialNumber, dwContentType, phContent);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI DorraxCloseTessim(DWORD hContent) {
  try {
    CA_ENTRY("DorraxCloseTessim");
    return ContentAccess().Close(hContent);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimGetFolderInfo(DWORD hContent, TESSIM_FOLDER_INFO* pFolder) {
  try {
    CA_ENTRY("TessimGetFolderInfo");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Content(*world, hContent, &content)) return rc;
    if (!pFolder) return ELNYX_INVALID_POINTER;
    if (pFolder->dwSize != sizeof(TESSIM_FOLDER_INFO)) return ELNYX_INVALID_PARAMETER;
    TESSIM_FOLDER_INFO root;
    ZeroMemory(&root, sizeof(root));
    try {
      if (content.type == TESSIM_CONTENT_CONTACTS) {
        FillFolder(&root, TESSIM_FOLDER_ROOT, L"Contacts", L"\\",
                   static_cast<DWORD>(world->ListContacts(content.serial).size()));
      } else {
        std::vector<CMessage> all = world->ListMessages(content.serial, 0);
        FillFolder(&root, TESSIM_FOLDER_ROOT, L"Messages", L"\\", static_cast<DWORD>(all.size()));
        std::vector<DWORD> folders = world->ListMessageFolders(content.serial);
        root.pSubFolders = HandOutArray<TESSIM_FOLDER_INFO>(folders.size());
        root.dwNumOfSubFolders = static_cast<DWORD>(folders.size());
        for (size_t i = 0; i < folders.size(); ++i) {
          DWORD count = static_cast<DWORD>(
              std::count_if(all.begin(), all.end(), [&](const CMessage& m) { return m.folder == folders[i]; }));
          FillFolder(&root.pSubFolders[i], folders[i], FolderName(folders[i]), L"\\" + FolderName(folders[i]), count);
        }
      }
    } catch (...) {
      FreeFolder(&root);
      throw;
    }
    *pFolder = root;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimFreeFolderInfoStructure(TESSIM_FOLDER_INFO* pFolder) {
  try {
    SIM_FAULT("TessimFreeFolderInfoStructure");
    if (!pFolder) return ELNYX_INVALID_POINTER;
    FreeFolder(pFolder);
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

// The option names the folder to list; the root lists every item.
DWORD WINAPI TessimGetIDList(DWORD hContent, DWORD dwFolderId, DWORD, TESSIM_ID_LIST* pList) {
  try {
    CA_ENTRY("TessimGetIDList");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Content(*world, hContent, &content)) return rc;
    if (!pList) return ELNYX_INVALID_POINTER;
    if (pList->dwSize != sizeof(TESSIM_ID_LIST)) return ELNYX_INVALID_PARAMETER;
    std::vector<CListedId> ids;
    if (content.type == TESSIM_CONTENT_CONTACTS) {
      if (dwFolderId != TESSIM_FOLDER_ROOT) return TESSIM_FOLDER_NOT_LISTED;
      for (const CContact& c : world->ListContacts(content.serial)) ids.push_back(CListedId{TESSIM_FOLDER_ROOT, c.uid, 0});
    } else {
      std::vector<DWORD> folders = world->ListMessageFolders(content.serial);
      if (dwFolderId != TESSIM_FOLDER_ROOT && std::find(folders.begin(), folders.end(), dwFolderId) == folders.end())
        return TESSIM_FOLDER_NOT_LISTED;
      for (const CMessage& m : world->ListMessages(content.serial, dwFolderId))
        ids.push_back(CListedId{m.folder, m.uid, TessimSmsStatus(m.info)});
    }
    FillIdList(pList, ids);
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimFreeIdListStructure(TESSIM_ID_LIST* pList) {
  try {
    SIM_FAULT("TessimFreeIdListStructure");
    if (!pList) return ELNYX_INVALID_POINTER;
    FreeItemIds(pList->dwNumOfItems, pList->pItems);
    pList->dwNumOfItems = 0;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimBeginOperation(DWORD hContent, DWORD, DWORD* phOperation) {
  try {
    CA_ENTRY("TessimBeginOperation");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Content(*world, hContent, &content)) return rc;
    if (!phOperation) return ELNYX_INVALID_POINTER;
    return ContentAccess().BeginOperation(hContent, phOperation);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimReadItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwOption, DWORD dwFormat, void* pItem) {
  try {
    CA_ENTRY("TessimReadItem");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Operation(*world, hOperation, &content)) return rc;
    if (!pItemId || !pItem) return ELNYX_INVALID_POINTER;
    std::wstring uid = UidText(pItemId);
    if (content.type == TESSIM_CONTENT_CONTACTS) {
      TESSIM_CONTACT_ITEM* item = static_cast<TESSIM_CONTACT_ITEM*>(pItem);
      if (dwFormat != TESSIM_FORMAT_VCARD || item->dwSize != sizeof(TESSIM_CONTACT_ITEM)) return ELNYX_INVALID_PARAMETER;
      CContact contact;
      if (!world->ReadContact(content.serial, uid, &contact)) return ELNYX_FILE_NOT_FOUND;
      item->pbData = HandOutArray<BYTE>(contact.vcard.size());
      std::copy(contact.vcard.begin(), contact.vcard.end(), item->pbData);
      item->dwDataLength = static_cast<DWORD>(contact.vcard.size());
      pItemId->dwStatus = 0;
      return 0;
    }
    TESSIM_SMS_ITEM* item = static_cast<TESSIM_SMS_ITEM*>(pItem);
    if (dwFormat != TESSIM_FORMAT_SMS || item->dwSize != sizeof(TESSIM_SMS_ITEM)) return ELNYX_INVALID_PARAMETER;
    CMessage message;
    if (!world->FindMessage(content.serial, uid, &message)) return ELNYX_FILE_NOT_FOUND;
    if (dwOption == TESSIM_READ_MARK_AS_READ && TessimSmsStatus(message.info) == TESSIM_SMS_STATUS_UNREAD) {
      message.info = TessimSmsWithStatus(message.info, TESSIM_SMS_STATUS_READ);
      world->WriteMessage(content.serial, message);
    }
    if (dwOption == TESSIM_READ_MARK_AS_READ) SIM_AFTER_FAULT("TessimReadItem");
    try {
      FillSmsItem(message, item);
    } catch (...) {
      FreeSmsItem(item);
      throw;
    }
    pItemId->dwStatus = 0;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimWriteItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD, DWORD dwFormat, void* pItem) {
  try {
    CA_ENTRY("TessimWriteItem");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Operation(*world, hOperation, &content)) return rc;
    if (!pItemId || !pItem) return ELNYX_INVALID_POINTER;
    CPendingChange change;
    std::wstring uid = UidText(pItemId);
    if (content.type == TESSIM_CONTENT_CONTACTS) {
      const TESSIM_CONTACT_ITEM* item = static_cast<const TESSIM_CONTACT_ITEM*>(pItem);
      if (dwFormat != TESSIM_FORMAT_VCARD || item->dwSize != sizeof(TESSIM_CONTACT_ITEM)) return ELNYX_INVALID_PARAMETER;
      CContact existing;
      // An item named by uid is overwritten; one without a uid is new.
      if (!uid.empty() && !world->ReadContact(content.serial, uid, &existing)) return ELNYX_FILE_NOT_FOUND;
      change.contact.uid = uid;
      if (item->pbData) change.contact.vcard.assign(reinterpret_cast<const char*>(item->pbData), item->dwDataLength);
    } else {
      const TESSIM_SMS_ITEM* item = static_cast<const TESSIM_SMS_ITEM*>(pItem);
      if (dwFormat != TESSIM_FORMAT_SMS || item->dwSize != sizeof(TESSIM_SMS_ITEM)) return ELNYX_INVALID_PARAMETER;
      CMessage existing;
      if (!uid.empty() && !world->FindMessage(content.serial, uid, &existing)) return ELNYX_FILE_NOT_FOUND;
      if (uid.empty() && pItemId->dwFolderId == TESSIM_FOLDER_ROOT) return ELNYX_FOLDER_NOT_FOUND;
      change.message = MessageFrom(*item);
      change.message.uid = uid;
      change.message.folder = pItemId->dwFolderId;
    }
    if (!ContentAccess().AddChange(hOperation, change)) return ELNYX_INVALID_HANDLE;
    pItemId->dwStatus = 0;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimDeleteItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD) {
  try {
    CA_ENTRY("TessimDeleteItem");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Operation(*world, hOperation, &content)) return rc;
    if (!pItemId) return ELNYX_INVALID_POINTER;
    std::wstring uid = UidText(pItemId);
    if (uid.empty()) return ELNYX_INVALID_PARAMETER;
    CPendingChange change;
    change.remove = true;
    change.contact.uid = uid;
    change.message.uid = uid;
    return ContentAccess().AddChange(hOperation, change) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimWriteField(DWORD, TESSIM_ITEM_ID*, DWORD, void*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimWriteField")
DWORD WINAPI TessimDeleteField(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimDeleteField")

// Applies the operation's writes and deletes in their order and lists them,
// the written items first, each with its outcome as status. A change the world
// fails to store stops the commit with the failure's code; it and the changes
// after it stay for the next commit.
DWORD WINAPI TessimCommitOperations(DWORD hOperation, TESSIM_ID_LIST* pWritten) {
  try {
    CA_ENTRY("TessimCommitOperations");
    CContentHandle content;
    if (DWORD rc = ContentAccess().Operation(*world, hOperation, &content)) return rc;
    if (pWritten && pWritten->dwSize != sizeof(TESSIM_ID_LIST)) return ELNYX_INVALID_PARAMETER;
    bool contacts = content.type == TESSIM_CONTENT_CONTACTS;
    CPendingChange change;
    while (ContentAccess().NextChange(hOperation, &change)) {
      CListedId outcome;
      if (change.remove) {
        bool gone = contacts ? world->DeleteContact(content.serial, change.contact.uid)
                             : world->DeleteMessage(content.serial, change.message.uid);
        outcome = CListedId{TESSIM_FOLDER_ROOT, change.contact.uid, gone ? 0 : ELNYX_FILE_NOT_FOUND};
      } else if (contacts) {
        std::wstring uid = world->WriteContact(content.serial, change.contact);
        outcome = CListedId{TESSIM_FOLDER_ROOT, uid, uid.empty() ? ELNYX_INVALID_PARAMETER : 0};
      } else {
        std::wstring uid;
        DWORD status = CommitMessage(*world, content.serial, change.message, &uid);
        outcome = CListedId{change.message.folder, uid, status};
      }
      ContentAccess().ChangeApplied(hOperation, change.remove, outcome);
    }
    std::vector<CListedId> outcomes = ContentAccess().TakeOutcomes(hOperation);
    // The changes are on the phone; a reply lost now leaves the caller without their uids.
    SIM_AFTER_FAULT("TessimCommitOperations");
    if (pWritten) FillIdList(pWritten, outcomes);
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimEndOperation(DWORD hOperation) {
  try {
    CA_ENTRY("TessimEndOperation");
    return ContentAccess().EndOperation(hOperation) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimFreeItemData(DWORD, DWORD dwFormat, void* pItem) {
  try {
    SIM_FAULT("TessimFreeItemData");
    if (!pItem) return ELNYX_INVALID_POINTER;
    if (dwFormat == TESSIM_FORMAT_SMS) {
      FreeSmsItem(static_cast<TESSIM_SMS_ITEM*>(pItem));
    } else if (dwFormat == TESSIM_FORMAT_VCARD) {
      TESSIM_CONTACT_ITEM* item = static_cast<TESSIM_CONTACT_ITEM*>(pItem);
      FreeHandedOut(item->pbData);
      item->dwDataLength = 0;
    } else {
      return ELNYX_INVALID_PARAMETER;
    }
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimRegisterNotifyCallback(DWORD, DWORD, TESSIM_NOTIFY_CALLBACK)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterNotifyCallback")
DWORD WINAPI TessimRegisterOperationCallback(DWORD, DWORD, TESSIM_OPERATION_CALLBACK)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterOperationCallback")

DWORD WINAPI TessimRegisterNotifyIF(DWORD hContent, DWORD dwOperation, ITessimNotify* pSink) {
  try {
    CA_ENTRY("TessimRegisterNotifyIF");
    return RegisterSink(ContentAccess().Sinks(), ContentAccess().IsOpen(hContent), hContent, dwOperation, pSink);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI TessimRegisterOperationNotifyIF(DWORD, DWORD, ITessimOperationNotify*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterOperationNotifyIF")
DWORD WINAPI TessimFindBegin(DWORD, DWORD, const WCHAR*, DWORD*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindBegin")
DWORD WINAPI TessimFindNext(DWORD, DWORD, TESSIM_ITEM_ID*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindNext")
DWORD WINAPI TessimFindEnd(DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindEnd")
DWORD WINAPI TessimGetFolderPath(DWORD, DWORD, WCHAR**) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimGetFolderPath")
DWORD WINAPI TessimCreateFolder(DWORD, DWORD, const WCHAR*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimCreateFolder")
DWORD WINAPI TessimDeleteFolder(DWORD, DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimDeleteFolder")

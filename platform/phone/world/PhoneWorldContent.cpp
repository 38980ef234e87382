#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include "PhoneWorldStore.h"

// A phone's contacts (one vCard per uid) and text messages (one file per
// message, by folder), the uids they are given, and the phones' times.

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kContactsFolder[] = L"contacts";
const wchar_t kMessagesFolder[] = L"messages";
const wchar_t kNextUidFile[] = L"nextuid";
const size_t kMaxUidBytes = 64;

// "<uid><suffix>" file names back to uids.
std::vector<std::wstring> UidsIn(const std::wstring& folder, const std::wstring& suffix) {
  std::vector<std::wstring> uids;
  for (const std::wstring& name : FolderEntries(folder, false)) {
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::wstring uid = name.substr(0, name.size() - suffix.size());
    if (CPhoneWorld::IsValidUid(uid)) uids.push_back(uid);
  }
  return uids;
}

bool IsFolderNumber(const std::wstring& name, DWORD* number) {
  if (name.empty() || name.size() > 9 || name.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  *number = static_cast<DWORD>(wcstoul(name.c_str(), nullptr, 10));
  return true;
}

std::string FormatMessage(const CMessage& m) {
  std::ostringstream s;
  s << "info=" << m.info << "\n"
    << "time=" << m.time.Format() << "\n"
    << "zone=" << m.zone1 << " " << m.zone2 << "\n";
  for (const CMessageAddress& a : m.addresses) s << "address=" << a.type << " " << EscapeValue(a.address) << "\n";
  s << "text=" << EscapeValue(m.text) << "\n";
  return s.str();
}

CMessage ParseMessage(const std::string& text) {
  CMessage m;
  m.info = 0;
  ForEachValue(text, [&](const std::string& key, const std::string& value) {
    if (key == "info") m.info = ToNumber(value);
    else if (key == "time") CPhoneTime::Parse(value, &m.time);
    else if (key == "zone") {
      long a = 0, b = 0;
      if (sscanf(value.c_str(), "%ld %ld", &a, &b) == 2) {
        m.zone1 = a;
        m.zone2 = b;
      }
    } else if (key == "address") {
      CMessageAddress address;
      size_t blank = value.find(' ');
      address.type = ToNumber(value.substr(0, blank));
      if (blank != std::string::npos) address.address = UnescapeValue(value.substr(blank + 1));
      m.addresses.push_back(address);
    } else if (key == "text") {
      m.text = UnescapeValue(value);
    }
  });
  return m;
}

}  // namespace

CPhoneTime CPhoneTime::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CPhoneTime t;
  t.year = now.wYear;
  t.month = static_cast<BYTE>(now.wMonth);
  t.day = static_cast<BYTE>(now.wDay);
  t.hour = static_cast<BYTE>(now.wHour);
  t.minute = static_cast<BYTE>(now.wMinute);
  t.second = static_cast<BYTE>(now.wSecond);
  return t;
}

std::string CPhoneTime::Format() const {
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u", year, month, day, hour, minute, second);
  return text;
}

bool CPhoneTime::Parse(const std::string& text, CPhoneTime* time) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (sscanf(text.c_str(), "%u-%u-%uT%u:%u:%u", &y, &mo, &d, &h, &mi, &s) != 6 || y > 0xFFFF || mo > 12 || d > 31 ||
      h > 23 || mi > 59 || s > 60)
    return false;
  time->year = static_cast<WORD>(y);
  time->month = static_cast<BYTE>(mo);
  time->day = static_cast<BYTE>(d);
  time->hour = static_cast<BYTE>(h);
  time->minute = static_cast<BYTE>(mi);
  time->second = static_cast<BYTE>(s);
  return true;
}

LONG LocalZoneMinutes() {
  TIME_ZONE_INFORMATION zone;
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  return -zone.Bias;
}

bool CPhoneWorld::IsValidUid(const std::wstring& uid) {
  return !uid.empty() && uid.size() % 2 == 0 && uid.size() <= kMaxUidBytes * 2 &&
         uid.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

namespace {

std::wstring ContactPath(const std::wstring& phoneFolder, const std::wstring& uid) {
  return Join(Join(phoneFolder, kContactsFolder), uid + L".vcf");
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteExisting(const std::wstring& path) {
  if (!DeleteFileW(path.c_str())) ThrowWorldError(ZCL_POS, GetLastError(), "The phone's item cannot be deleted:", path);
}

}  // namespace

std::wstring CPhoneWorld::NewUidUnlocked(const std::wstring& phoneFolder) {
  // Uids are never given twice on one phone, across contents, processes and
  // runs: a lost counter, or a uid a caller chose, skips the uids in use, and
  // the raised counter is written before the uid is handed out.
  std::wstring path = Join(phoneFolder, kNextUidFile);
  std::string text;
  DWORD next = ReadWhole(path, &text) ? ToNumber(text) : 0;
  if (next == 0) next = 1;
  wchar_t uid[16];
  for (;; ++next) {
    swprintf(uid, 16, L"%08lx", static_cast<unsigned long>(next));
    if (!Exists(ContactPath(phoneFolder, uid)) && MessagePathUnlocked(phoneFolder, uid).empty()) break;
  }
  WriteUnlocked(path, std::to_string(next + 1));
  return uid;
}

std::vector<CContact> CPhoneWorld::ListContacts(const std::wstring& serial) {
  std::vector<CContact> contacts;
  if (!IsValidSerial(serial)) return contacts;
  CLock lock(*this);
  std::wstring phoneFolder;
  if (!OwnFolderUnlocked(serial, &phoneFolder)) return contacts;
  std::wstring folder = Join(phoneFolder, kContactsFolder);
  for (const std::wstring& uid : UidsIn(folder, L".vcf")) {
    CContact contact;
    contact.uid = uid;
    if (ReadWhole(Join(folder, uid + L".vcf"), &contact.vcard)) contacts.push_back(contact);
  }
  return contacts;
}

bool CPhoneWorld::ReadContact(const std::wstring& serial, const std::wstring& uid, CContact* contact) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  CLock lock(*this);
  std::wstring phoneFolder;
  if (!OwnFolderUnlocked(serial, &phoneFolder) || !ReadWhole(ContactPath(phoneFolder, uid), &contact->vcard))
    return false;
  contact->uid = uid;
  return true;
}

std::wstring CPhoneWorld::WriteContact(const std::wstring& serial, const CContact& contact) {
  if (!IsValidSerial(serial) || (!contact.uid.empty() && !IsValidUid(contact.uid))) return std::wstring();
  std::wstring uid;
  {
    CLock lock(*this);
    std::wstring phoneFolder = WritableFolderUnlocked(serial);
    Changed();
    uid = contact.uid.empty() ? NewUidUnlocked(phoneFolder) : contact.uid;
    WriteUnlocked(ContactPath(phoneFolder, uid), contact.vcard);
  }
  Notify();
  return uid;
}

bool CPhoneWorld::DeleteContact(const std::wstring& serial, const std::wstring& uid) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  {
    CLock lock(*this);
    std::wstring phoneFolder;
    if (!OwnFolderUnlocked(serial, &phoneFolder)) return false;
    std::wstring path = ContactPath(phoneFolder, uid);
    if (!Exists(path)) return false;
    Changed();
    DeleteExisting(path);
  }
  Notify();
  return true;
}

std::vector<DWORD> CPhoneWorld::ListMessageFolders(const std::wstring& serial) {
  std::vector<DWORD> folders = {1, 2};
  if (!IsValidSerial(serial)) return folders;
  CLock lock(*this);
  std::wstring phoneFolder;
  if (!OwnFolderUnlocked(serial, &phoneFolder)) return folders;
  std::wstring root = Join(phoneFolder, kMessagesFolder);
  for (const std::wstring& name : FolderEntries(root, true)) {
    DWORD number = 0;
    if (IsFolderNumber(name, &number) && number != 0 &&
        std::find(folders.begin(), folders.end(), number) == folders.end() &&
        !UidsIn(Join(root, name), L".txt").empty())
      folders.push_back(number);
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::vector<CMessage> CPhoneWorld::ListMessages(const std::wstring& serial, DWORD folder) {
  std::vector<CMessage> messages;
  if (!IsValidSerial(serial)) return messages;
  CLock lock(*this);
  std::wstring phoneFolder;
  if (!OwnFolderUnlocked(serial, &phoneFolder)) return messages;
  std::wstring root = Join(phoneFolder, kMessagesFolder);
  for (const std::wstring& name : FolderEntries(root, true)) {
    DWORD number = 0;
    if (!IsFolderNumber(name, &number) || number == 0 || (folder != 0 && number != folder)) continue;
    for (const std::wstring& uid : UidsIn(Join(root, name), L".txt")) {
      std::string text;
      if (!ReadWhole(Join(Join(root, name), uid + L".txt"), &text)) continue;
      CMessage message = ParseMessage(text);
      message.uid = uid;
      message.folder = number;
      messages.push_back(message);
    }
  }
  std::sort(messages.begin(), messages.end(), [](const CMessage& a, const CMessage& b) { return a.uid < b.uid; });
  return messages;
}

std::wstring CPhoneWorld::MessagePathUnlocked(const std::wstring& phoneFolder, const std::wstring& uid) {
  std::wstring root = Join(phoneFolder, kMessagesFolder);
  for (const std::wstring& name : FolderEntries(root, true)) {
    std::wstring path = Join(Join(root, name), uid + L".txt");
    if (Exists(path)) return path;
  }
  return std::wstring();
}

bool CPhoneWorld::FindMessage(const std::wstring& serial, const std::wstring& uid, CMessage* message) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  CLock lock(*this);
  std::wstring phoneFolder;
  if (!OwnFolderUnlocked(serial, &phoneFolder)) return false;
  std::wstring path = MessagePathUnlocked(phoneFolder, uid);
  std::string text;
  if (path.empty() || !ReadWhole(path, &text)) return false;
  *message = ParseMessage(text);
  message->uid = uid;
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  IsFolderNumber(folder.substr(folder.find_last_of(L'\\') + 1), &message->folder);
  return true;
}

std::wstring CPhoneWorld::WriteMessage(const std::wstring& serial, const CMessage& message) {
  if (!IsValidSerial(serial) || message.folder == 0 || message.folder > 999999999 ||
      (!message.uid.empty() && !IsValidUid(message.uid)))
    return std::wstring();
  std::wstring uid;
  {
    CLock lock(*this);
    std::wstring phoneFolder = WritableFolderUnlocked(serial);
    Changed();
    uid = message.uid.empty() ? NewUidUnlocked(phoneFolder) : message.uid;
    std::wstring old = MessagePathUnlocked(phoneFolder, uid);
    std::wstring path =
        Join(Join(Join(phoneFolder, kMessagesFolder), std::to_wstring(message.folder)), uid + L".txt");
    // A message moving to another folder is written there before it leaves
    // the old one: a failure between the two keeps it, never loses it.
    WriteUnlocked(path, FormatMessage(message));
    if (!old.empty() && lstrcmpiW(old.c_str(), path.c_str()) != 0) DeleteExisting(old);
  }
  Notify();
  return uid;
}

bool CPhoneWorld::DeleteMessage(const std::wstring& serial, const std::wstring& uid) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  {
    CLock lock(*this);
    std::wstring phoneFolder;
    if (!OwnFolderUnlocked(serial, &phoneFolder)) return false;
    std::wstring path = MessagePathUnlocked(phoneFolder, uid);
    if (path.empty()) return false;
    Changed();
    DeleteExisting(path);
  }
  Notify();
  return true;
}

}  // namespace PhoneSim

#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <sstream>
#include "FileSystem.h"
#include "PhoneWorldStore.h"

// The phones of the world: each one's identity file, and the device notices
// asked for as such.

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kPhoneFile[] = L"phone.txt";
const wchar_t kNoticesFile[] = L"notices.txt";
const size_t kNoticesKept = 100;
const wchar_t kRemovedFolder[] = L"removed";

std::string FormatPhone(const CPhone& p) {
  std::ostringstream s;
  s << "serial=" << EscapeValue(p.serial) << "\n"
    << "model=" << EscapeValue(p.model) << "\n"
    << "manufacturer=" << EscapeValue(p.manufacturer) << "\n"
    << "friendly=" << EscapeValue(p.friendlyName) << "\n"
    << "connected=" << (p.connected ? 1 : 0) << "\n"
    << "info=" << p.info << "\n"
    << "type=" << p.typeCode << "\n"
    << "detail1=" << EscapeValue(p.detail1) << "\n"
    << "detail2=" << EscapeValue(p.detail2) << "\n"
    << "detail3=" << EscapeValue(p.detail3) << "\n"
    << "detailvalue=" << p.detailValue << "\n"
    << "capabilities=" << p.capabilities << "\n";
  for (const CConnection& c : p.connections) {
    // "conn.id" opens a connection; the lines after it fill it.
    s << "conn.id=" << c.deviceId << "\n"
      << "conn.media=" << c.media << "\n"
      << "conn.state=" << c.state << "\n"
      << "conn.name=" << EscapeValue(c.name) << "\n"
      << "conn.address=" << EscapeValue(c.address) << "\n";
  }
  return s.str();
}

CPhone ParsePhone(const std::string& text) {
  CPhone p;
  ForEachValue(text, [&](const std::string& key, const std::string& value) {
    if (key == "serial") p.serial = UnescapeValue(value);
    else if (key == "model") p.model = UnescapeValue(value);
    else if (key == "manufacturer") p.manufacturer = UnescapeValue(value);
    else if (key == "friendly") p.friendlyName = UnescapeValue(value);
    else if (key == "connected") p.connected = ToNumber(value) != 0;
    else if (key == "info") p.info = ToNumber(value);
    else if (key == "type") p.typeCode = ToNumber(value);
    else if (key == "detail1") p.detail1 = UnescapeValue(value);
    else if (key == "detail2") p.detail2 = UnescapeValue(value);
    else if (key == "detail3") p.detail3 = UnescapeValue(value);
    else if (key == "detailvalue") p.detailValue = ToNumber(value);
    else if (key == "capabilities") p.capabilities = ToNumber(value);
    else if (key == "conn.id") {
      p.connections.push_back(CConnection());
      p.connections.back().deviceId = ToNumber(value);
    } else if (!p.connections.empty()) {
      CConnection& c = p.connections.back();
      if (key == "conn.media") c.media = ToNumber(value);
      else if (key == "conn.state") c.state = ToNumber(value);
      else if (key == "conn.name") c.name = UnescapeValue(value);
      else if (key == "conn.address") c.address = UnescapeValue(value);
    }
  });
  return p;
}

std::vector<CNotice> ParseNotices(const std::string& text) {
  std::vector<CNotice> notices;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    // "<sequence> <reason> <media> <info>\t<serial>"
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::istringstream numbers(line.substr(0, tab));
    CNotice notice;
    if (!(numbers >> notice.sequence >> notice.reason >> notice.media >> notice.info)) continue;
    notice.serial = UnescapeValue(line.substr(tab + 1));
    notices.push_back(notice);
  }
  return notices;
}

}  // namespace

bool CPhone::operator==(const CPhone& o) const {
  return serial == o.serial && model == o.model && manufacturer == o.manufacturer &&
         friendlyName == o.friendlyName && connected == o.connected && info == o.info &&
         connections == o.connections && typeCode == o.typeCode && detail1 == o.detail1 &&
         detail2 == o.detail2 && detail3 == o.detail3 && detailValue == o.detailValue &&
         capabilities == o.capabilities;
}

bool CPhoneWorld::IsValidSerial(const std::wstring& serial) { return !serial.empty(); }

bool CPhoneWorld::OwnFolderUnlocked(const std::wstring& serial, std::wstring* folder) {
  *folder = PhoneFolder(serial);
  std::string text;
  return !ReadWhole(Join(*folder, kPhoneFile), &text) || ParsePhone(text).serial == serial;
}

std::wstring CPhoneWorld::WritableFolderUnlocked(const std::wstring& serial) {
  std::wstring folder;
  if (!OwnFolderUnlocked(serial, &folder))
    ThrowWorldError(ZCL_POS, ERROR_ALREADY_EXISTS, "Another serial number's phone has the folder", folder);
  return folder;
}

bool CPhoneWorld::PlugPhone(const CPhone& phone) {
  if (!IsValidSerial(phone.serial)) return false;
  {
    CLock lock(*this);
    std::wstring folder = WritableFolderUnlocked(phone.serial);
    Changed();
    WriteUnlocked(Join(folder, kPhoneFile), FormatPhone(phone));
  }
  Notify();
  return true;
}

bool CPhoneWorld::UnplugPhone(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return false;
  {
    CLock lock(*this);
    std::wstring path = Join(PhoneFolder(serial), kPhoneFile);
    std::string text;
    if (!ReadWhole(path, &text)) return false;
    CPhone phone = ParsePhone(text);
    if (phone.serial != serial) return false;
    phone.connected = false;
    Changed();
    WriteUnlocked(path, FormatPhone(phone));
  }
  Notify();
  return true;
}

bool CPhoneWorld::RemovePhone(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return false;
  {
    CLock lock(*this);
    std::wstring folder;
    if (!OwnFolderUnlocked(serial, &folder) || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
      return false;
    Changed();
    // Moved out of the phones first, in one step, so that a file that cannot
    // be deleted leaves no half phone behind; what stays there is no phone.
    std::wstring removed = Join(m_folder, kRemovedFolder);
    MakeFolders(removed);
    static LONG removals = 0;
    wchar_t name[64];
    swprintf(name, 64, L"%lu.%lu.%ld", GetCurrentProcessId(), GetCurrentThreadId(), InterlockedIncrement(&removals));
    std::wstring away = Join(removed, name);
    if (!MoveFileExW(folder.c_str(), away.c_str(), 0))
      ThrowWorldError(ZCL_POS, GetLastError(), "The phone's folder cannot be removed:", folder);
    DeleteFolderTree(away);
  }
  Notify();
  return true;
}

bool CPhoneWorld::ReadPhone(const std::wstring& serial, CPhone* phone) {
  if (!IsValidSerial(serial)) return false;
  std::string text;
  if (!ReadLocked(Join(PhoneFolder(serial), kPhoneFile), &text)) return false;
  *phone = ParsePhone(text);
  return phone->serial == serial;
}

std::vector<CPhone> CPhoneWorld::ListPhones(bool connectedOnly) {
  std::vector<CPhone> phones;
  CLock lock(*this);
  std::wstring root = Join(m_folder, kPhonesFolder);
  for (const std::wstring& name : FolderEntries(root, true)) {
    std::string text;
    if (!ReadWhole(Join(Join(root, name), kPhoneFile), &text)) continue;
    CPhone phone = ParsePhone(text);
    // Only a phone found again under its own serial number is listed.
    if (phone.serial.empty() || _wcsicmp(EscapeFileName(phone.serial).c_str(), name.c_str()) != 0) continue;
    if (phone.connected || !connectedOnly) phones.push_back(phone);
  }
  std::sort(phones.begin(), phones.end(), [](const CPhone& a, const CPhone& b) { return a.serial < b.serial; });
  return phones;
}

void CPhoneWorld::AnnounceDevice(DWORD reason, const std::wstring& serial, DWORD media, DWORD info) {
  {
    CLock lock(*this);
    std::string text;
    ReadWhole(Join(m_folder, kNoticesFile), &text);
    std::vector<CNotice> notices = ParseNotices(text);
    CNotice notice;
    notice.sequence = notices.empty() ? 1 : notices.back().sequence + 1;
    notice.reason = reason;
    notice.media = media;
    notice.info = info;
    notice.serial = serial;
    notices.push_back(notice);
    if (notices.size() > kNoticesKept) notices.erase(notices.begin(), notices.end() - kNoticesKept);
    std::ostringstream out;
    for (const CNotice& n : notices)
      out << n.sequence << " " << n.reason << " " << n.media << " " << n.info << "\t" << EscapeValue(n.serial) << "\n";
    Changed();
    WriteUnlocked(Join(m_folder, kNoticesFile), out.str());
  }
  Notify();
}

std::vector<CNotice> CPhoneWorld::ReadNotices(DWORD afterSequence) {
  std::string text;
  if (!ReadLocked(Join(m_folder, kNoticesFile), &text)) return std::vector<CNotice>();
  std::vector<CNotice> notices = ParseNotices(text), after;
  for (const CNotice& n : notices)
    if (n.sequence > afterSequence) after.push_back(n);
  return after;
}

DWORD CPhoneWorld::LastNoticeSequence() {
  std::vector<CNotice> notices = ReadNotices(0);
  return notices.empty() ? 0 : notices.back().sequence;
}

}  // namespace PhoneSim

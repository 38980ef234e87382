#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <sstream>

namespace PhoneSim {

namespace {

const wchar_t kPhonesFolder[] = L"phones";
const wchar_t kGenerationFile[] = L"generation";
const wchar_t kFaultsFile[] = L"faults.txt";
const wchar_t kPhoneFile[] = L"phone.txt";
const wchar_t kNoticesFile[] = L"notices.txt";
const size_t kNoticesKept = 100;
const int kRenameAttempts = 20;
const DWORD kRenameRetryMs = 5;

std::wstring Join(const std::wstring& a, const std::wstring& b) {
  if (a.empty()) return b;
  wchar_t last = a[a.size() - 1];
  return (last == L'\\' || last == L'/') ? a + b : a + L"\\" + b;
}

void MakeFolders(const std::wstring& folder) {
  if (folder.empty() || GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  size_t slash = folder.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) MakeFolders(folder.substr(0, slash));
  CreateDirectoryW(folder.c_str(), nullptr);
}

}  // namespace

void DeleteFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = Join(folder, name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteFolderTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

namespace {

bool ReadWhole(const std::wstring& path, std::string* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  text->clear();
  char buffer[4096];
  DWORD read = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    text->append(buffer, read);
  }
  CloseHandle(file);
  return ok;
}

std::string Escape(const std::wstring& value) { return EscapeValue(value); }
std::wstring Unescape(const std::string& value) { return UnescapeValue(value); }

DWORD ToNumber(const std::string& value) { return static_cast<DWORD>(strtoul(value.c_str(), nullptr, 0)); }

// The lines of a text, each without its line break.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[line.size() - 1] == '\r') line.erase(line.size() - 1);
    lines.push_back(line);
  }
  return lines;
}

// Each "key=value" line of a text, in order; other lines are passed over.
template <class Take>
void ForEachValue(const std::string& text, Take take) {
  for (const std::string& line : Lines(text)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) take(line.substr(0, eq), line.substr(eq + 1));
  }
}

std::string FormatPhone(const CPhone& p) {
  std::ostringstream s;
  s << "serial=" << Escape(p.serial) << "\n"
    << "model=" << Escape(p.model) << "\n"
    << "manufacturer=" << Escape(p.manufacturer) << "\n"
    << "friendly=" << Escape(p.friendlyName) << "\n"
    << "connected=" << (p.connected ? 1 : 0) << "\n"
    << "info=" << p.info << "\n"
    << "type=" << p.typeCode << "\n"
    << "detail1=" << Escape(p.detail1) << "\n"
    << "detail2=" << Escape(p.detail2) << "\n"
    << "detail3=" << Escape(p.detail3) << "\n"
    << "detailvalue=" << p.detailValue << "\n"
    << "capabilities=" << p.capabilities << "\n";
  for (const CConnection& c : p.connections) {
    // "conn.id" opens a connection; the lines after it fill it.
    s << "conn.id=" << c.deviceId << "\n"
      << "conn.media=" << c.media << "\n"
      << "conn.state=" << c.state << "\n"
      << "conn.name=" << Escape(c.name) << "\n"
      << "conn.address=" << Escape(c.address) << "\n";
  }
  return s.str();
}

CPhone ParsePhone(const std::string& text) {
  CPhone p;
  ForEachValue(text, [&](const std::string& key, const std::string& value) {
    if (key == "serial") p.serial = Unescape(value);
    else if (key == "model") p.model = Unescape(value);
    else if (key == "manufacturer") p.manufacturer = Unescape(value);
    else if (key == "friendly") p.friendlyName = Unescape(value);
    else if (key == "connected") p.connected = ToNumber(value) != 0;
    else if (key == "info") p.info = ToNumber(value);
    else if (key == "type") p.typeCode = ToNumber(value);
    else if (key == "detail1") p.detail1 = Unescape(value);
    else if (key == "detail2") p.detail2 = Unescape(value);
    else if (key == "detail3") p.detail3 = Unescape(value);
    else if (key == "detailvalue") p.detailValue = ToNumber(value);
    else if (key == "capabilities") p.capabilities = ToNumber(value);
    else if (key == "conn.id") {
      p.connections.push_back(CConnection());
      p.connections.back().deviceId = ToNumber(value);
    } else if (!p.connections.empty()) {
      CConnection& c = p.connections.back();
      if (key == "conn.media") c.media = ToNumber(value);
      else if (key == "conn.state") c.state = ToNumber(value);
      else if (key == "conn.name") c.name = Unescape(value);
      else if (key == "conn.address") c.address = Unescape(value);
    }
  });
  return p;
}

std::wstring ObjectName(const std::wstring& folder, const wchar_t* kind) {
  wchar_t full[MAX_PATH * 2] = {0};
  DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH * 2, full, nullptr);
  std::wstring path = (n > 0 && n < MAX_PATH * 2) ? full : folder;
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  DWORD hash = 2166136261u;
  for (wchar_t c : path) {
    wchar_t l = c == L'/' ? L'\\' : static_cast<wchar_t>(towlower(c));
    hash = (hash ^ static_cast<DWORD>(l)) * 16777619u;
  }
  wchar_t name[64];
  swprintf(name, 64, L"TrelkSim.World.%08X.%ls", static_cast<unsigned>(hash), kind);
  return name;
}

}  // namespace

std::string EscapeValue(const std::wstring& value) {
  std::string in = ToUtf8(value), out;
  for (char c : in) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

std::wstring UnescapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      char n = value[++i];
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n;
    } else {
      out += value[i];
    }
  }
  return FromUtf8(out);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

bool CPhone::operator==(const CPhone& o) const {
  return serial == o.serial && model == o.model && manufacturer == o.manufacturer &&
         friendlyName == o.friendlyName && connected == o.connected && info == o.info &&
         connections == o.connections && typeCode == o.typeCode && detail1 == o.detail1 &&
         detail2 == o.detail2 && detail3 == o.detail3 && detailValue == o.detailValue &&
         capabilities == o.capabilities;
}

std::wstring CPhoneWorld::DefaultFolder() {
  wchar_t buffer[MAX_PATH] = {0};
  DWORD n = GetEnvironmentVariableW(L"TRELKSIM_WORLD", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return buffer;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TrelkSim", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    wchar_t value[MAX_PATH + 1] = {0};
    DWORD type = 0, size = sizeof(value) - sizeof(wchar_t);  // room for a missing terminator
    LONG rc = RegQueryValueExW(key, L"World", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && value[0]) return value;
  }
  n = GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
  std::wstring base = (n > 0 && n < MAX_PATH) ? buffer : L"C:\\ProgramData";
  return Join(base, L"TrelkSim\\World");
}

CPhoneWorld::CPhoneWorld(const std::wstring& folder) : m_folder(folder) {
  MakeFolders(Join(m_folder, kPhonesFolder));
  m_mutex = CreateMutexW(nullptr, FALSE, ObjectName(m_folder, L"Lock").c_str());
  m_changed = CreateEventW(nullptr, TRUE, FALSE, ObjectName(m_folder, L"Changed").c_str());
}

CPhoneWorld::~CPhoneWorld() {
  if (m_mutex) CloseHandle(m_mutex);
  if (m_changed) CloseHandle(m_changed);
}

CPhoneWorld::CLock::CLock(CPhoneWorld& world) : m_mutex(world.m_mutex) {
  // A writer that died holding the mutex leaves whole files behind (writes are
  // renames), so an abandoned mutex is taken as it is.
  if (m_mutex) WaitForSingleObject(m_mutex, INFINITE);
}

CPhoneWorld::CLock::~CLock() {
  if (m_mutex) ReleaseMutex(m_mutex);
}

std::wstring CPhoneWorld::PhoneFolder(const std::wstring& serial) const {
  return Join(Join(m_folder, kPhonesFolder), serial);
}

void CPhoneWorld::WriteUnlocked(const std::wstring& path, const std::string& text) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) MakeFolders(path.substr(0, slash));
  wchar_t suffix[48];
  swprintf(suffix, 48, L".%lu.%lu.tmp", GetCurrentProcessId(), GetCurrentThreadId());
  std::wstring temp = path + suffix;
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  BOOL ok = text.empty() || WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  // A reader outside the world's mutex (a tool, a scanner) may hold the file
  // for a moment: the rename is tried again a few times.
  bool moved = false;
  for (int attempt = 0; ok && !moved && attempt < kRenameAttempts; ++attempt) {
    moved = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!moved) Sleep(kRenameRetryMs);
  }
  if (!moved) DeleteFileW(temp.c_str());
}

// Readers hold the mutex too: a file open for reading may keep a writer's
// rename from replacing it.
bool CPhoneWorld::ReadLocked(const std::wstring& path, std::string* text) {
  CLock lock(*this);
  return ReadWhole(path, text);
}

DWORD CPhoneWorld::Generation() {
  std::string text;
  return ReadLocked(Join(m_folder, kGenerationFile), &text) ? ToNumber(text) : 0;
}

void CPhoneWorld::Changed() {
  std::string text;
  DWORD generation = ReadWhole(Join(m_folder, kGenerationFile), &text) ? ToNumber(text) : 0;
  WriteUnlocked(Join(m_folder, kGenerationFile), std::to_string(generation + 1));
}

void CPhoneWorld::Notify() {
  // Wakes every process waiting now; one busy elsewhere sees the raised
  // generation at its next look.
  if (m_changed) PulseEvent(m_changed);
}

bool CPhoneWorld::IsValidSerial(const std::wstring& serial) {
  return !serial.empty() && serial != L"." && serial != L".." &&
         serial.find_first_of(L"\\/:*?\"<>|\r\n") == std::wstring::npos;
}

bool CPhoneWorld::PlugPhone(const CPhone& phone) {
  if (!IsValidSerial(phone.serial)) return false;
  {
    CLock lock(*this);
    WriteUnlocked(Join(PhoneFolder(phone.serial), kPhoneFile), FormatPhone(phone));
    Changed();
  }
  Notify();
  return true;
}

bool CPhoneWorld::UnplugPhone(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return false;
  {
    CLock lock(*this);
    std::string text;
    if (!ReadWhole(Join(PhoneFolder(serial), kPhoneFile), &text)) return false;
    CPhone phone = ParsePhone(text);
    phone.connected = false;
    WriteUnlocked(Join(PhoneFolder(serial), kPhoneFile), FormatPhone(phone));
    Changed();
  }
  Notify();
  return true;
}

bool CPhoneWorld::RemovePhone(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return false;
  {
    CLock lock(*this);
    std::wstring folder = PhoneFolder(serial);
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    DeleteFolderTree(folder);
    Changed();
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
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Join(Join(m_folder, kPhonesFolder), L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return phones;
  do {
    std::wstring name = data.cFileName;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
    CPhone phone;
    if (ReadPhone(name, &phone) && (phone.connected || !connectedOnly)) phones.push_back(phone);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(phones.begin(), phones.end(), [](const CPhone& a, const CPhone& b) { return a.serial < b.serial; });
  return phones;
}

void CPhoneWorld::InjectFault(const std::string& entry, DWORD code, DWORD count) {
  {
    CLock lock(*this);
    std::string text;
    ReadWhole(Join(m_folder, kFaultsFile), &text);
    char line[160];
    snprintf(line, sizeof(line), "%s 0x%08lX %lu\n", entry.c_str(), static_cast<unsigned long>(code),
             static_cast<unsigned long>(count));
    WriteUnlocked(Join(m_folder, kFaultsFile), text + line);
    Changed();
  }
  Notify();
}

void CPhoneWorld::ClearFaults() {
  {
    CLock lock(*this);
    DeleteFileW(Join(m_folder, kFaultsFile).c_str());
    Changed();
  }
  Notify();
}

bool CPhoneWorld::TakeFault(const char* entry, DWORD* code) {
  std::wstring path = Join(m_folder, kFaultsFile);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  CLock lock(*this);
  std::string text;
  if (!ReadWhole(path, &text)) return false;
  std::istringstream in(text);
  std::string name, rest, line;
  std::ostringstream out;
  bool taken = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string codeText;
    unsigned long count = 0;
    if (!(fields >> name >> codeText >> count) || count == 0) continue;
    if (!taken && name == entry) {
      taken = true;
      *code = ToNumber(codeText);
      --count;
    }
    if (count > 0) out << name << " " << codeText << " " << count << "\n";
  }
  if (taken) WriteUnlocked(path, out.str());
  return taken;
}

namespace {

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
    notice.serial = Unescape(line.substr(tab + 1));
    notices.push_back(notice);
  }
  return notices;
}

}  // namespace

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
      out << n.sequence << " " << n.reason << " " << n.media << " " << n.info << "\t" << Escape(n.serial) << "\n";
    WriteUnlocked(Join(m_folder, kNoticesFile), out.str());
    Changed();
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

bool CPhoneWorld::ReadFileText(const std::wstring& relative, std::string* text) {
  return ReadLocked(Join(m_folder, relative), text);
}

void CPhoneWorld::WriteFileText(const std::wstring& relative, const std::string& text) {
  {
    CLock lock(*this);
    WriteUnlocked(Join(m_folder, relative), text);
    Changed();
  }
  Notify();
}

bool CPhoneWorld::DeleteWorldFile(const std::wstring& relative) {
  bool deleted;
  {
    CLock lock(*this);
    deleted = DeleteFileW(Join(m_folder, relative).c_str()) != 0;
    if (deleted) Changed();
  }
  if (deleted) Notify();
  return deleted;
}

// ---------------------------------------------------------------- phone content

namespace {

const wchar_t kContactsFolder[] = L"contacts";
const wchar_t kMessagesFolder[] = L"messages";
const wchar_t kCallLogFile[] = L"calllog.txt";
const wchar_t kNextUidFile[] = L"nextuid";
const size_t kMaxUidBytes = 64;

// The names of the entries of a folder, files or sub-folders.
std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool folders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

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
  for (const CMessageAddress& a : m.addresses) s << "address=" << a.type << " " << Escape(a.address) << "\n";
  s << "text=" << Escape(m.text) << "\n";
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
      if (blank != std::string::npos) address.address = Unescape(value.substr(blank + 1));
      m.addresses.push_back(address);
    } else if (key == "text") {
      m.text = Unescape(value);
    }
  });
  return m;
}

const char kCallLogHeader[] =
    "# id\ttype\tdirection\tduration\tsent\treceived\ttime\tzone1\tzone2\tnumber\tname\n";

std::string FormatCallLog(const std::vector<CCallLogEntry>& entries) {
  std::ostringstream s;
  s << kCallLogHeader;
  for (const CCallLogEntry& e : entries)
    s << e.id << "\t" << e.type << "\t" << e.direction << "\t" << e.duration << "\t" << e.bytesSent << "\t"
      << e.bytesReceived << "\t" << e.time.Format() << "\t" << e.zone1 << "\t" << e.zone2 << "\t"
      << Escape(e.number) << "\t" << Escape(e.name) << "\n";
  return s.str();
}

std::vector<CCallLogEntry> ParseCallLog(const std::string& text) {
  std::vector<CCallLogEntry> entries;
  for (const std::string& line : Lines(text)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
      size_t tab = line.find('\t', start);
      f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (f.size() < 11) continue;
    CCallLogEntry e;
    e.id = ToNumber(f[0]);
    e.type = ToNumber(f[1]);
    e.direction = ToNumber(f[2]);
    e.duration = ToNumber(f[3]);
    e.bytesSent = _strtoui64(f[4].c_str(), nullptr, 10);
    e.bytesReceived = _strtoui64(f[5].c_str(), nullptr, 10);
    CPhoneTime::Parse(f[6], &e.time);
    e.zone1 = strtol(f[7].c_str(), nullptr, 10);
    e.zone2 = strtol(f[8].c_str(), nullptr, 10);
    e.number = Unescape(f[9]);
    e.name = Unescape(f[10]);
    entries.push_back(e);
  }
  return entries;
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

std::wstring CPhoneWorld::NewUidUnlocked(const std::wstring& serial) {
  // Uids are never given twice on one phone, across contents and runs.
  std::wstring path = Join(PhoneFolder(serial), kNextUidFile);
  std::string text;
  DWORD next = ReadWhole(path, &text) ? ToNumber(text) : 0;
  if (next == 0) next = 1;
  WriteUnlocked(path, std::to_string(next + 1));
  wchar_t uid[16];
  swprintf(uid, 16, L"%08lx", static_cast<unsigned long>(next));
  return uid;
}

std::vector<CContact> CPhoneWorld::ListContacts(const std::wstring& serial) {
  std::vector<CContact> contacts;
  if (!IsValidSerial(serial)) return contacts;
  CLock lock(*this);
  std::wstring folder = Join(PhoneFolder(serial), kContactsFolder);
  for (const std::wstring& uid : UidsIn(folder, L".vcf")) {
    CContact contact;
    contact.uid = uid;
    if (ReadWhole(Join(folder, uid + L".vcf"), &contact.vcard)) contacts.push_back(contact);
  }
  return contacts;
}

bool CPhoneWorld::ReadContact(const std::wstring& serial, const std::wstring& uid, CContact* contact) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  if (!ReadLocked(Join(Join(PhoneFolder(serial), kContactsFolder), uid + L".vcf"), &contact->vcard)) return false;
  contact->uid = uid;
  return true;
}

std::wstring CPhoneWorld::WriteContact(const std::wstring& serial, const CContact& contact) {
  if (!IsValidSerial(serial) || (!contact.uid.empty() && !IsValidUid(contact.uid))) return std::wstring();
  std::wstring uid;
  {
    CLock lock(*this);
    uid = contact.uid.empty() ? NewUidUnlocked(serial) : contact.uid;
    WriteUnlocked(Join(Join(PhoneFolder(serial), kContactsFolder), uid + L".vcf"), contact.vcard);
    Changed();
  }
  Notify();
  return uid;
}

bool CPhoneWorld::DeleteContact(const std::wstring& serial, const std::wstring& uid) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  return DeleteWorldFile(std::wstring(kPhonesFolder) + L"\\" + serial + L"\\" + kContactsFolder + L"\\" + uid +
                         L".vcf");
}

std::vector<DWORD> CPhoneWorld::ListMessageFolders(const std::wstring& serial) {
  std::vector<DWORD> folders = {1, 2};
  if (!IsValidSerial(serial)) return folders;
  std::wstring root = Join(PhoneFolder(serial), kMessagesFolder);
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
  std::wstring root = Join(PhoneFolder(serial), kMessagesFolder);
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

std::wstring CPhoneWorld::MessagePathUnlocked(const std::wstring& serial, const std::wstring& uid) {
  std::wstring root = Join(PhoneFolder(serial), kMessagesFolder);
  for (const std::wstring& name : FolderEntries(root, true)) {
    std::wstring path = Join(Join(root, name), uid + L".txt");
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  }
  return std::wstring();
}

bool CPhoneWorld::FindMessage(const std::wstring& serial, const std::wstring& uid, CMessage* message) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  CLock lock(*this);
  std::wstring path = MessagePathUnlocked(serial, uid);
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
    uid = message.uid.empty() ? NewUidUnlocked(serial) : message.uid;
    std::wstring old = MessagePathUnlocked(serial, uid);
    std::wstring path = Join(Join(Join(PhoneFolder(serial), kMessagesFolder), std::to_wstring(message.folder)),
                             uid + L".txt");
    WriteUnlocked(path, FormatMessage(message));
    if (!old.empty() && lstrcmpiW(old.c_str(), path.c_str()) != 0) DeleteFileW(old.c_str());
    Changed();
  }
  Notify();
  return uid;
}

bool CPhoneWorld::DeleteMessage(const std::wstring& serial, const std::wstring& uid) {
  if (!IsValidSerial(serial) || !IsValidUid(uid)) return false;
  bool deleted = false;
  {
    CLock lock(*this);
    std::wstring path = MessagePathUnlocked(serial, uid);
    deleted = !path.empty() && DeleteFileW(path.c_str());
    if (deleted) Changed();
  }
  if (deleted) Notify();
  return deleted;
}

std::vector<CCallLogEntry> CPhoneWorld::ReadCallLog(const std::wstring& serial) {
  std::string text;
  if (!IsValidSerial(serial) || !ReadLocked(Join(PhoneFolder(serial), kCallLogFile), &text))
    return std::vector<CCallLogEntry>();
  return ParseCallLog(text);
}

DWORD CPhoneWorld::AddCallLogEntry(const std::wstring& serial, const CCallLogEntry& entry) {
  if (!IsValidSerial(serial)) return 0;
  DWORD id = 0;
  {
    CLock lock(*this);
    std::string text;
    std::wstring path = Join(PhoneFolder(serial), kCallLogFile);
    std::vector<CCallLogEntry> entries;
    if (ReadWhole(path, &text)) entries = ParseCallLog(text);
    id = entry.id;
    DWORD last = 0;
    for (const CCallLogEntry& e : entries) {
      last = std::max(last, e.id);
      if (id != 0 && e.id == id) return 0;  // ids are the entries' keys
    }
    if (id == 0) id = last + 1;
    entries.push_back(entry);
    entries.back().id = id;
    WriteUnlocked(path, FormatCallLog(entries));
    Changed();
  }
  Notify();
  return id;
}

void CPhoneWorld::ClearCallLog(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return;
  WriteFileText(std::wstring(kPhonesFolder) + L"\\" + serial + L"\\" + kCallLogFile, kCallLogHeader);
}

}  // namespace PhoneSim

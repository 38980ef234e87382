#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <sstream>
#include "PhoneWorldStore.h"

// The world's folder, its mutex and change event, atomic file writes and the
// generation counter every write raises.

namespace PhoneSim {

namespace {

const wchar_t kGenerationFile[] = L"generation";
const int kRenameAttempts = 20;
const DWORD kRenameRetryMs = 5;

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

namespace WorldStore {

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

}  // namespace WorldStore

using namespace WorldStore;

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

}  // namespace PhoneSim

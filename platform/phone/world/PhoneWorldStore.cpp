#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <sstream>
#include "FileSystem.h"
#include "PhoneWorldStore.h"
#include "ZCLText.h"

// The world's folder, its mutex and change event, atomic file writes and the
// generation counter every write raises.

namespace PhoneSim {

namespace {

const wchar_t kGenerationFile[] = L"generation";
const int kRenameAttempts = 20;
const DWORD kRenameRetryMs = 5;
// Long enough for any writer's few files; a process stopped while holding
// the mutex must not hang every other one.
const DWORD kLockWaitMs = 30000;

std::wstring FullPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

std::wstring ObjectName(const std::wstring& fullPath, const wchar_t* kind) {
  std::wstring path = fullPath;
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

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

namespace WorldStore {

void ThrowWorldError(const std::string& position, DWORD error, const char* what, const std::wstring& path) {
  char code[48];
  snprintf(code, sizeof(code), " (Win32 error %lu)", static_cast<unsigned long>(error));
  int result = error ? static_cast<int>(error) : ERROR_GEN_FAILURE;
  std::string message = position + " " + what + " \"" + ZCLWideToUtf8(path) + "\"" + code;
  ZCLThrowOnError(result, message);
  throw ZCLException(result, message);  // not reached: the code is never 0
}

std::wstring Join(const std::wstring& a, const std::wstring& b) {
  if (a.empty()) return b;
  wchar_t last = a[a.size() - 1];
  return (last == L'\\' || last == L'/') ? a + b : a + L"\\" + b;
}

void MakeFolders(const std::wstring& folder) {
  if (DirectoryExists(folder)) return;
  CreateDirectoryTree(FullPath(folder));
}

bool ReadWhole(const std::wstring& path, std::string* text) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    if (IsMissing(error)) return false;
    ThrowWorldError(ZCL_POS, error, "The world's file cannot be opened:", path);
  }
  text->clear();
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr))
      ThrowWorldError(ZCL_POS, GetLastError(), "The world's file cannot be read:", path);
    if (read == 0) break;
    text->append(buffer, read);
  }
  return true;
}

DWORD ToNumber(const std::string& value) { return static_cast<DWORD>(strtoul(value.c_str(), nullptr, 0)); }

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

std::vector<std::string> TabFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool folders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  std::wstring pattern = Join(folder, L"*");
  CFindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find) {
    DWORD error = GetLastError();
    if (IsMissing(error) || error == ERROR_NO_MORE_FILES || error == ERROR_DIRECTORY) return names;
    ThrowWorldError(ZCL_POS, error, "The world's folder cannot be listed:", folder);
  }
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) names.push_back(name);
  } while (FindNextFileW(find.Get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace WorldStore

using namespace WorldStore;

bool DeleteFolderTree(const std::wstring& folder) {
  bool whole = true;
  for (const std::wstring& name : FolderEntries(folder, true)) whole = DeleteFolderTree(Join(folder, name)) && whole;
  for (const std::wstring& name : FolderEntries(folder, false))
    whole = DeleteFileW(Join(folder, name).c_str()) && whole;
  return (RemoveDirectoryW(folder.c_str()) || IsMissing(GetLastError())) && whole;
}

std::string EscapeValue(const std::wstring& value) {
  std::string in = ZCLWideToUtf8(value), out;
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
  return ZCLUtf8ToWide(out);
}

std::string FailureText(const ZCLException& failure) {
  // ".\dir\file.cpp(95) description": the position is for the log, not a person.
  std::string text = failure.GetMessageText();
  size_t close = text.find(')');
  if (text.compare(0, 1, ".") != 0 || close == std::string::npos) return text;
  size_t start = text.find_first_not_of(' ', close + 1);
  return start == std::string::npos ? text : text.substr(start);
}

std::wstring CPhoneWorld::DefaultFolder() {
  wchar_t buffer[MAX_PATH] = {0};
  DWORD n = GetEnvironmentVariableW(L"TRELKSIM_WORLD", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return buffer;
  std::wstring value;
  if (ZCLReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TrelkSim", L"World", &value) && !value.empty())
    return value;
  n = GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
  std::wstring base = (n > 0 && n < MAX_PATH) ? buffer : L"C:\\ProgramData";
  return Join(base, L"TrelkSim\\World");
}

CPhoneWorld::CPhoneWorld(const std::wstring& folder) : m_folder(FullPath(folder)) {
  // Nothing thrown here: the core makes its world under a lock of its own. A
  // world that cannot be made or guarded fails at its first write instead.
  m_mutex.Reset(CreateMutexW(nullptr, FALSE, ObjectName(m_folder, L"Lock").c_str()));
  if (!m_mutex) m_openError = GetLastError();
  m_changed.Reset(CreateEventW(nullptr, TRUE, FALSE, ObjectName(m_folder, L"Changed").c_str()));
  if (!m_changed && !m_openError) m_openError = GetLastError();
  try {
    MakeFolders(Join(m_folder, kPhonesFolder));
  } catch (const ZCLException&) {
    // Made again by the first write, which reports the failure.
  }
}

CPhoneWorld::~CPhoneWorld() {}

// A writer that died holding the mutex leaves whole files behind (writes are
// renames), so an abandoned mutex is taken as it is.
CPhoneWorld::CLock::CLock(CPhoneWorld& world) : m_guard(world.m_mutex.Get(), kLockWaitMs) {
  if (!world.m_mutex || !world.m_changed)
    ThrowWorldError(ZCL_POS, world.m_openError, "The world's mutex or event cannot be made for", world.m_folder);
  if (!m_guard.IsHeld())
    ThrowWorldError(ZCL_POS, WAIT_TIMEOUT, "Another process keeps the world locked:", world.m_folder);
}

std::wstring CPhoneWorld::PhoneFolder(const std::wstring& serial) const {
  return Join(Join(m_folder, kPhonesFolder), EscapeFileName(serial));
}

void CPhoneWorld::WriteUnlocked(const std::wstring& path, const std::string& text) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) MakeFolders(path.substr(0, slash));
  wchar_t suffix[48];
  swprintf(suffix, 48, L".%lu.%lu.tmp", GetCurrentProcessId(), GetCurrentThreadId());
  std::wstring temp = path + suffix;
  {
    CHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) ThrowWorldError(ZCL_POS, GetLastError(), "The world's file cannot be created:", temp);
    DWORD written = 0;
    if (!text.empty() &&
        (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
         written != text.size())) {
      DWORD error = GetLastError();
      file.Reset();
      DeleteFileW(temp.c_str());
      ThrowWorldError(ZCL_POS, error ? error : ERROR_HANDLE_DISK_FULL, "The world's file cannot be written:", temp);
    }
  }
  // A reader outside the world's mutex (a tool, a scanner) may hold the file
  // for a moment: the rename is tried again a few times.
  DWORD error = 0;
  for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    error = GetLastError();
    Sleep(kRenameRetryMs);
  }
  DeleteFileW(temp.c_str());
  ThrowWorldError(ZCL_POS, error, "The world's file cannot be replaced:", path);
}

// Readers hold the mutex too: a file open for reading may keep a writer's
// rename from replacing it.
bool CPhoneWorld::ReadLocked(const std::wstring& path, std::string* text) {
  CLock lock(*this);
  return ReadWhole(path, text);
}

DWORD CPhoneWorld::Generation() {
  // Never throws: the core reads it under a lock of its own. Without the
  // mutex the read still sees a whole file (writes are renames); a writer
  // that meets the open file tries its rename again.
  CMutexGuard guard(m_mutex.Get(), kLockWaitMs);
  try {
    std::string text;
    return ReadWhole(Join(m_folder, kGenerationFile), &text) ? ToNumber(text) : 0;
  } catch (const ZCLException&) {
    return 0;
  }
}

void CPhoneWorld::Changed() {
  std::string text;
  DWORD generation = ReadWhole(Join(m_folder, kGenerationFile), &text) ? ToNumber(text) : 0;
  WriteUnlocked(Join(m_folder, kGenerationFile), std::to_string(generation + 1));
}

void CPhoneWorld::Notify() {
  // Wakes every process waiting now; one busy elsewhere sees the raised
  // generation at its next look.
  if (!PulseEvent(m_changed.Get()))
    ThrowWorldError(ZCL_POS, GetLastError(), "The world's change cannot be signalled:", m_folder);
}

bool CPhoneWorld::ReadFileText(const std::wstring& relative, std::string* text) {
  return ReadLocked(Join(m_folder, relative), text);
}

void CPhoneWorld::WriteFileText(const std::wstring& relative, const std::string& text) {
  {
    CLock lock(*this);
    Changed();
    WriteUnlocked(Join(m_folder, relative), text);
  }
  Notify();
}

bool CPhoneWorld::DeleteWorldFile(const std::wstring& relative) {
  std::wstring path = Join(m_folder, relative);
  {
    CLock lock(*this);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    Changed();
    if (!DeleteFileW(path.c_str()))
      ThrowWorldError(ZCL_POS, GetLastError(), "The world's file cannot be deleted:", path);
  }
  Notify();
  return true;
}

}  // namespace PhoneSim

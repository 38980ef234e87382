#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <cerrno>
#include <io.h>
#include <cwctype>
#include "FileSystem.h"
#include "ZCLException.h"
#include "ZCLHandle.h"

namespace {

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Appends folder + name for every sub-folder matching folder + pattern; the
// folder ends with a backslash.
void CollectSubFolders(const std::wstring& folder, const std::wstring& pattern,
                       std::vector<std::wstring>& out) {
  _wfinddata64_t entry;
  errno = 0;
  CCrtFindHandle search(_wfindfirst64((folder + pattern).c_str(), &entry));
  if (!search) {
    if (errno == ENOENT) return;  // no such folder, or nothing matches
    ZCLThrowOnError(errno, ZCL_POS + "The folder cannot be searched.");
  }
  do {
    if ((entry.attrib & _A_SUBDIR) && !IsDotEntry(entry.name)) out.push_back(folder + entry.name);
    errno = 0;
  } while (_wfindnext64(search.Get(), &entry) == 0);
  if (errno != ENOENT) ZCLThrowOnError(errno, ZCL_POS + "The folder search failed.");
}

}  // namespace

bool DirectoryExists(const std::wstring& path) {
  if (!PathFileExistsW(path.c_str())) return false;
  if (PathIsDirectoryW(path.c_str())) return true;
  ZCLThrowOnError(1, ZCL_POS + "A file of that name exists.");
  return false;
}

void CreateDirectoryTree(const std::wstring& path) {
  int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  if (result != ERROR_SUCCESS) ZCLThrowOnError(result, ZCL_POS + "The folder cannot be created.");
}

void EnsureTrailingBackslash(std::wstring& path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) { return folder + name; }

std::vector<std::wstring> ListDirectory(const std::wstring& folder, const std::wstring& pattern,
                                        bool recurse) {
  std::vector<std::wstring> result;
  std::wstring base = folder;
  EnsureTrailingBackslash(base);
  CollectSubFolders(base, pattern, result);
  if (recurse) {
    std::vector<std::wstring> children;
    CollectSubFolders(base, L"*", children);
    for (const std::wstring& child : children) {
      std::vector<std::wstring> below = ListDirectory(child, pattern, true);
      result.insert(result.end(), below.begin(), below.end());
    }
  }
  return result;
}

std::vector<std::wstring> ListDirectory(const std::wstring& folder) { return ListDirectory(folder, L"*", false); }

namespace {

bool IsReservedDeviceName(const std::wstring& text) {
  // The device names are reserved whatever follows a dot, in any case.
  std::wstring base = text.substr(0, text.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(towupper(c));
  static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* name : kNames)
    if (base == name) return true;
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

bool MustEscape(wchar_t c) {
  return c < 32 || c == 127 || c == L'%' || wcschr(L"<>:\"/\\|?*", c) != nullptr;
}

void AppendEscaped(std::wstring& out, wchar_t c) {
  wchar_t code[4];
  swprintf(code, 4, L"%%%02X", static_cast<unsigned>(c) & 0xFF);
  out += code;
}

// Keeps well inside a 255-character component once a caller adds nothing.
const size_t kMaxFolderName = 120;

}  // namespace

std::wstring EscapeFileName(const std::wstring& text) {
  if (text.empty()) ZCLThrowOnError(ERROR_INVALID_NAME, ZCL_POS + "An empty name has no folder.");
  bool reserved = IsReservedDeviceName(text);
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    bool last = i + 1 == text.size();
    if (MustEscape(c) || (i == 0 && reserved) || (last && (c == L'.' || c == L' ')))
      AppendEscaped(out, c);
    else
      out += c;
  }
  if (out.size() <= kMaxFolderName) return out;
  // FNV-1a over the whole text: "%~" never comes out of the escaping above.
  unsigned long long hash = 14695981039346656037ULL;
  for (wchar_t c : text) {
    hash ^= static_cast<unsigned long long>(c);
    hash *= 1099511628211ULL;
  }
  wchar_t suffix[24];
  swprintf(suffix, 24, L"%%~%016llX", hash);
  out.resize(kMaxFolderName - wcslen(suffix));
  // A cut must not leave a trailing dot or blank, nor half an escape.
  size_t percent = out.rfind(L'%');
  if (percent != std::wstring::npos && percent + 3 > out.size()) out.resize(percent);
  return out + suffix;
}

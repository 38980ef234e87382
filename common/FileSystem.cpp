#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <cerrno>
#include <io.h>
#include <stdexcept>
#include "FileSystem.h"

namespace {

// An open run-time library search; the handle is pointer-sized on 64-bit.
class CFindHandle {
public:
  explicit CFindHandle(intptr_t handle) : m_handle(handle) {}
  ~CFindHandle() {
    if (IsOpen()) _findclose(m_handle);
  }
  bool IsOpen() const { return m_handle != -1; }
  intptr_t Get() const { return m_handle; }

private:
  CFindHandle(const CFindHandle&) = delete;
  CFindHandle& operator=(const CFindHandle&) = delete;
  intptr_t m_handle;
};

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Appends folder + name for every sub-folder matching folder + pattern; the
// folder ends with a backslash.
void CollectSubFolders(const std::wstring& folder, const std::wstring& pattern,
                       std::vector<std::wstring>& out) {
  _wfinddata64_t entry;
  errno = 0;
  CFindHandle search(_wfindfirst64((folder + pattern).c_str(), &entry));
  if (!search.IsOpen()) {
    if (errno == ENOENT) return;  // no such folder, or nothing matches
    throw std::runtime_error("ListDirectory: the folder cannot be searched");
  }
  do {
    if ((entry.attrib & _A_SUBDIR) && !IsDotEntry(entry.name)) out.push_back(folder + entry.name);
    errno = 0;
  } while (_wfindnext64(search.Get(), &entry) == 0);
  if (errno != ENOENT) throw std::runtime_error("ListDirectory: the search failed");
}

}  // namespace

bool DirectoryExists(const std::wstring& path) {
  if (!PathFileExistsW(path.c_str())) return false;
  if (PathIsDirectoryW(path.c_str())) return true;
  throw 1;
}

void CreateDirectoryTree(const std::wstring& path) {
  int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  if (result != ERROR_SUCCESS) throw result;
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

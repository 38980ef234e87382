#include <windows.h>
#include <shlwapi.h>
#include <vector>
#include "PageLock.h"

namespace {

// The full form of a path; empty when it has none.
std::wstring FullPath(const std::wstring& path) {
  DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (!needed) return std::wstring();
  std::vector<wchar_t> buffer(needed + 1);
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (!length || length >= buffer.size()) return std::wstring();
  return std::wstring(buffer.data(), length);
}

}  // namespace

bool IsUrlInsideFolder(const std::wstring& url, const std::wstring& folder) {
  if (folder.empty()) return false;
  std::wstring bare = url.substr(0, url.find_first_of(L"?#"));
  if (::StrCmpNIW(bare.c_str(), L"file:", 5) != 0) return false;
  std::vector<wchar_t> decoded(2084);  // the longest URL the browser takes
  DWORD length = static_cast<DWORD>(decoded.size());
  if (FAILED(::PathCreateFromUrlW(bare.c_str(), decoded.data(), &length, 0))) return false;
  std::wstring page = FullPath(decoded.data());
  std::wstring root = FullPath(folder);
  if (page.empty() || root.empty()) return false;
  // A page on another machine is never ours, whatever the folder says.
  if (page.compare(0, 2, L"\\\\") == 0) return false;
  while (!root.empty() && root.back() == L'\\') root.pop_back();
  root += L'\\';
  return page.size() > root.size() &&
         ::CompareStringOrdinal(page.c_str(), static_cast<int>(root.size()), root.c_str(),
                                static_cast<int>(root.size()), TRUE) == CSTR_EQUAL;
}

#pragma once
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "ZCLHandle.h"

// Registration under a stand-in root: while one of these lives, this process's
// HKEY_CLASSES_ROOT is a fresh key under HKCU, so that a module's scripts can be
// run and read back without touching what the prefix has registered.
class CClassesRootRedirect {
public:
  explicit CClassesRootRedirect(const std::wstring& subKey) : m_subKey(subKey) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, m_root.Put(), nullptr) == ERROR_SUCCESS)
      m_redirected = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_root.Get()) == ERROR_SUCCESS;
  }
  ~CClassesRootRedirect() {
    if (m_redirected) ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    m_root.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
  }
  bool Redirected() const { return m_redirected; }
  HKEY Root() const { return m_root.Get(); }

private:
  std::wstring m_subKey;
  CRegistryKey m_root;
  bool m_redirected = false;
};

// Every key and value under a key, one line each, sorted: two trees are the
// same registration exactly when their dumps are equal. Text that names the
// module is written as <MODULE>.
inline void DumpRegistryKey(HKEY key, const std::wstring& path, const std::wstring& module,
                            std::vector<std::wstring>* lines) {
  auto masked = [&](std::wstring text) {
    for (size_t at; !module.empty() && (at = text.find(module)) != std::wstring::npos;)
      text.replace(at, module.size(), L"<MODULE>");
    return text;
  };
  lines->push_back(path);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0, size = 0;
    if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    nameLength = 256;
    ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
    // A text's size is its length with one terminating zero unless shown.
    std::wstring text;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      const wchar_t* stored = reinterpret_cast<const wchar_t*>(data.data());
      text = masked(stored);
      if (size != (wcslen(stored) + 1) * sizeof(wchar_t)) text += L" size " + std::to_wstring(size);
    } else if (type == REG_DWORD) {
      text = std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    } else {
      text = L"size " + std::to_wstring(size);
    }
    lines->push_back(path + L" [" + name + L"] " + std::to_wstring(type) + L" " + text);
  }
  std::vector<std::wstring> subKeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    subKeys.push_back(name);
  }
  for (const std::wstring& name : subKeys) {
    CRegistryKey sub;
    if (::RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, sub.Put()) == ERROR_SUCCESS)
      DumpRegistryKey(sub.Get(), path + L"\\" + name, module, lines);
  }
}

inline std::wstring DumpRegistry(HKEY key, const std::wstring& module) {
  std::vector<std::wstring> lines;
  DumpRegistryKey(key, L"", module, &lines);
  std::sort(lines.begin(), lines.end());
  std::wstring dump;
  for (const std::wstring& line : lines) dump += line + L"\n";
  return dump;
}

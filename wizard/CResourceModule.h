#pragma once
#include <windows.h>
#include <list>
#include <string>
#include "ZCLHandle.h"

// One resource library of the suite (a language or skin module), loaded as
// data, with the strings already read from it. Used on the main thread only.
class CResourceModule {
public:
  CResourceModule() = default;
  ~CResourceModule() { Unload(); }

  // Loads the file as a data library and reads its string 1 as its display
  // name; a module loaded before is unloaded first. Null on failure.
  HMODULE Load(const std::wstring& path);
  // Clears the cache and the names and frees the library; true when one
  // was loaded.
  bool Unload();

  // The string of that id, read once and then served from the cache; null
  // when there is no library or no such string (which is not cached). The
  // text lives until the module is unloaded.
  const std::wstring* GetString(UINT id);
  void FreeCache() { m_cache.clear(); }
  size_t CachedCount() const { return m_cache.size(); }

  HMODULE Handle() const { return m_module.Get(); }
  const std::wstring& Path() const { return m_path; }
  const std::wstring& DisplayName() const { return m_displayName; }

private:
  CResourceModule(const CResourceModule&) = delete;
  CResourceModule& operator=(const CResourceModule&) = delete;

  CModuleHandle m_module;
  std::wstring m_path;
  std::wstring m_displayName;
  std::list<std::pair<UINT, std::wstring>> m_cache;  // stable addresses
};

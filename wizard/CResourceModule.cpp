#include <windows.h>
#include "CResourceModule.h"

namespace {
const int kStringCapacity = 1024;
const int kNameCapacity = 256;
}  // namespace

HMODULE CResourceModule::Load(const std::wstring& path) {
  Unload();
  if (path.empty()) return nullptr;
  m_module.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!m_module) return nullptr;
  m_path = path;
  WCHAR name[kNameCapacity] = {0};
  if (::LoadStringW(m_module.Get(), 1, name, kNameCapacity) > 0) m_displayName = name;
  return m_module.Get();
}

bool CResourceModule::Unload() {
  m_cache.clear();
  m_path.clear();
  m_displayName.clear();
  if (!m_module) return false;
  m_module.Reset();
  return true;
}

const std::wstring* CResourceModule::GetString(UINT id) {
  if (!m_module) return nullptr;
  for (const auto& entry : m_cache)
    if (entry.first == id) return &entry.second;
  WCHAR text[kStringCapacity] = {0};
  if (::LoadStringW(m_module.Get(), id, text, kStringCapacity) <= 0) return nullptr;
  m_cache.emplace_back(id, text);
  return &m_cache.back().second;
}

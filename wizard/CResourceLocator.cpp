#include <windows.h>
#include "CResourceLocator.h"
#include "SuiteManufacturer.h"
#include "ZCLHandle.h"

namespace {

struct KindInfo {
  const wchar_t* folderValue;
  const wchar_t* prefix;
  const wchar_t* extension;
};
const KindInfo kKinds[] = {{L"Language Path", L"Lang", L".OLR"}, {L"Resource Path", L"Resource", L".OGR"}};

const DWORD kValueBytes = 520;

// The text value, at most 520 bytes, always terminated; empty when it cannot
// be read.
std::wstring ReadValue(HKEY root, const std::wstring& keyPath, const wchar_t* name) {
  CRegistryKey key;
  if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return L"";
  // Room for a terminator the value may lack: Wine refuses a value that
  // fills the buffer exactly.
  WCHAR buffer[kValueBytes / sizeof(WCHAR) + 1] = {0};
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return L"";
  buffer[std::min<DWORD>(size, kValueBytes) / sizeof(WCHAR)] = 0;
  return buffer;
}

// A theme or language names a file in a folder: a value that could reach
// another folder names no module.
bool NamesAModule(const std::wstring& value) {
  return !value.empty() && value.find_first_of(L"\\/") == std::wstring::npos &&
         value.find(L"..") == std::wstring::npos;
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
  return folder + L"\\" + name;
}

}  // namespace

CResourceLocator::CResourceLocator() : m_keyPath(SuiteKey(SuiteManufacturer())) {}

void CResourceLocator::Initialise(HINSTANCE instance, const std::wstring& keyPath, const std::wstring& subFolder) {
  m_instance = instance;
  m_keyPath = keyPath.substr(0, MAX_PATH - 1);
  m_subFolder = subFolder;
  WCHAR path[MAX_PATH] = {0};
  DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  std::wstring file(path, length < MAX_PATH ? length : 0);
  size_t slash = file.find_last_of(L'\\');
  m_programFolder = slash == std::wstring::npos ? L"" : file.substr(0, slash);
}

std::wstring CResourceLocator::FindModuleFile(HKEY root, const wchar_t* valueName, Kind kind) {
  std::wstring value = ReadValue(root, m_keyPath, valueName);
  m_lastValue = value;
  if (!NamesAModule(value)) return L"";
  const KindInfo& info = kKinds[kind];
  std::wstring file = std::wstring(info.prefix) + L"_" + value + info.extension;
  std::wstring inProgram = Join(Join(m_programFolder, m_subFolder), file);
  if (!m_programFolder.empty() && FileExists(inProgram)) return inProgram;
  // The folder value is not a module value: the last value stays the name.
  std::wstring folder = ReadValue(root, m_keyPath, info.folderValue);
  if (folder.empty()) return L"";
  std::wstring inFolder = Join(folder, file);
  return FileExists(inFolder) ? inFolder : L"";
}

// The language is looked for even when the skin is missing, so that the
// program can say so in the user's language.
bool CResourceLocator::LoadModules() {
  if (!m_instance) return false;
  std::wstring skin = FindModuleFile(HKEY_CURRENT_USER, L"Theme", Resource);
  if (skin.empty()) skin = FindModuleFile(HKEY_LOCAL_MACHINE, L"Current resource", Resource);
  bool skinLoaded = !skin.empty() && m_resource.Load(skin);
  std::wstring language = FindModuleFile(HKEY_LOCAL_MACHINE, L"Current Language", Language);
  bool languageLoaded = !language.empty() && m_language.Load(language);
  return skinLoaded && languageLoaded;
}

std::wstring CResourceLocator::GetString(UINT id) {
  const std::wstring* text = m_language.GetString(id);
  return text ? *text : std::wstring();
}

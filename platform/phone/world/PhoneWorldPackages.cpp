#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <sstream>
#include "FileSystem.h"
#include "PhoneWorldStore.h"

// What the phone's installer received (packages\<name>, packages.txt) and
// the phone-data server's store: component versions per phone
// (phonedata.txt), category lists by word, the server's presence and the
// applications registered with it (phonedata\ below the world).

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kPackagesFolder[] = L"packages";
const wchar_t kPackagesFile[] = L"packages.txt";
const wchar_t kPhoneDataFile[] = L"phonedata.txt";
const wchar_t kCategoriesFile[] = L"phonedata\\categories.txt";
const wchar_t kAbsentFile[] = L"phonedata\\absent";
const wchar_t kApplicationsFile[] = L"phonedata\\applications.txt";
const size_t kApplicationsKept = 20;

std::vector<CPhoneWorld::CPackage> ParsePackages(const std::string& text) {
  std::vector<CPhoneWorld::CPackage> packages;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f = TabFields(line);
    if (f.size() < 3 || line[0] == '#') continue;
    CPhoneWorld::CPackage p;
    p.name = UnescapeValue(f[0]);
    p.size = ToNumber(f[1]);
    p.options = ToNumber(f[2]);
    packages.push_back(p);
  }
  return packages;
}

// A phone's phone-data file: "refreshes=N" and "version=<component>\t<text>..." lines.
struct CPhoneData {
  DWORD refreshes = 0;
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> versions;
};

CPhoneData ParsePhoneData(const std::string& text) {
  CPhoneData data;
  ForEachValue(text, [&](const std::string& key, const std::string& value) {
    if (key == "refreshes") {
      data.refreshes = ToNumber(value);
    } else if (key == "version") {
      std::vector<std::string> f = TabFields(value);
      std::vector<std::wstring> texts;
      for (size_t i = 1; i < f.size(); ++i) texts.push_back(UnescapeValue(f[i]));
      data.versions.emplace_back(UnescapeValue(f[0]), texts);
    }
  });
  return data;
}

std::string FormatPhoneData(const CPhoneData& data) {
  std::ostringstream s;
  s << "refreshes=" << data.refreshes << "\n";
  for (const auto& v : data.versions) {
    s << "version=" << EscapeValue(v.first);
    for (const std::wstring& text : v.second) s << "\t" << EscapeValue(text);
    s << "\n";
  }
  return s.str();
}

}  // namespace

bool CPhoneWorld::InstallPackage(const std::wstring& serial, const std::wstring& name, const std::string& bytes,
                                 DWORD options) {
  CPhone phone;
  if (name.empty() || !ReadPhone(serial, &phone)) return false;
  {
    CLock lock(*this);
    std::wstring folder = WritableFolderUnlocked(serial);
    std::wstring list = Join(folder, kPackagesFile);
    std::string text;
    std::vector<CPackage> packages;
    if (ReadWhole(list, &text)) packages = ParsePackages(text);
    packages.erase(std::remove_if(packages.begin(), packages.end(), [&](const CPackage& p) { return p.name == name; }),
                   packages.end());
    CPackage added;
    added.name = name;
    added.size = static_cast<DWORD>(bytes.size());
    added.options = options;
    packages.push_back(added);
    std::ostringstream s;
    s << "# name\tsize\toptions\n";
    for (const CPackage& p : packages) s << EscapeValue(p.name) << "\t" << p.size << "\t0x" << std::hex << p.options << std::dec << "\n";
    Changed();
    // The file first: a line never names a package that is not there.
    WriteUnlocked(Join(Join(folder, kPackagesFolder), EscapeFileName(name)), bytes);
    WriteUnlocked(list, s.str());
  }
  Notify();
  return true;
}

std::vector<CPhoneWorld::CPackage> CPhoneWorld::ListPackages(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return std::vector<CPackage>();
  CLock lock(*this);
  std::wstring folder;
  std::string text;
  if (!OwnFolderUnlocked(serial, &folder) || !ReadWhole(Join(folder, kPackagesFile), &text))
    return std::vector<CPackage>();
  return ParsePackages(text);
}

bool CPhoneWorld::ReadPackage(const std::wstring& serial, const std::wstring& name, std::string* bytes) {
  if (!IsValidSerial(serial) || name.empty()) return false;
  CLock lock(*this);
  std::wstring folder;
  return OwnFolderUnlocked(serial, &folder) &&
         ReadWhole(Join(Join(folder, kPackagesFolder), EscapeFileName(name)), bytes);
}

void CPhoneWorld::SetComponentVersions(const std::wstring& serial, const std::wstring& component,
                                       const std::vector<std::wstring>& versions) {
  if (!IsValidSerial(serial) || component.empty()) return;
  {
    CLock lock(*this);
    std::wstring path = Join(WritableFolderUnlocked(serial), kPhoneDataFile);
    std::string text;
    CPhoneData data;
    if (ReadWhole(path, &text)) data = ParsePhoneData(text);
    auto& list = data.versions;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const std::pair<std::wstring, std::vector<std::wstring>>& v) {
                 return v.first == component;
               }),
               list.end());
    if (!versions.empty()) list.emplace_back(component, versions);
    // New versions start from the first step again.
    data.refreshes = 0;
    Changed();
    WriteUnlocked(path, FormatPhoneData(data));
  }
  Notify();
}

bool CPhoneWorld::ReadComponentVersion(const std::wstring& serial, const std::wstring& component,
                                       std::wstring* version) {
  if (!IsValidSerial(serial)) return false;
  CLock lock(*this);
  std::wstring folder;
  std::string text;
  if (!OwnFolderUnlocked(serial, &folder) || !ReadWhole(Join(folder, kPhoneDataFile), &text)) return false;
  CPhoneData data = ParsePhoneData(text);
  for (const auto& v : data.versions) {
    if (v.first != component || v.second.empty()) continue;
    *version = v.second[std::min<size_t>(data.refreshes, v.second.size() - 1)];
    return true;
  }
  return false;
}

void CPhoneWorld::RefreshPhoneData(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return;
  {
    CLock lock(*this);
    std::wstring path = Join(WritableFolderUnlocked(serial), kPhoneDataFile);
    std::string text;
    CPhoneData data;
    if (ReadWhole(path, &text)) data = ParsePhoneData(text);
    ++data.refreshes;
    Changed();
    WriteUnlocked(path, FormatPhoneData(data));
  }
  Notify();
}

DWORD CPhoneWorld::PhoneDataRefreshes(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return 0;
  CLock lock(*this);
  std::wstring folder;
  std::string text;
  if (!OwnFolderUnlocked(serial, &folder) || !ReadWhole(Join(folder, kPhoneDataFile), &text)) return 0;
  return ParsePhoneData(text).refreshes;
}

void CPhoneWorld::AddToCategory(const std::wstring& word, const std::wstring& model) {
  if (word.empty()) return;
  {
    CLock lock(*this);
    std::wstring path = Join(m_folder, kCategoriesFile);
    std::string text;
    ReadWhole(path, &text);
    Changed();
    WriteUnlocked(path, text + EscapeValue(word) + "\t" + EscapeValue(model) + "\n");
  }
  Notify();
}

std::vector<std::wstring> CPhoneWorld::ReadCategory(const std::wstring& word) {
  std::vector<std::wstring> models;
  std::string text;
  if (!ReadLocked(Join(m_folder, kCategoriesFile), &text)) return models;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f = TabFields(line);
    if (f.size() >= 2 && UnescapeValue(f[0]) == word) models.push_back(UnescapeValue(f[1]));
  }
  return models;
}

void CPhoneWorld::SetPhoneDataAbsent(bool absent) {
  {
    CLock lock(*this);
    std::wstring path = Join(m_folder, kAbsentFile);
    Changed();
    if (absent) {
      WriteUnlocked(path, "absent\n");
    } else if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
               GetLastError() != ERROR_PATH_NOT_FOUND) {
      ThrowWorldError(ZCL_POS, GetLastError(), "The phone-data server cannot be marked present:", path);
    }
  }
  Notify();
}

bool CPhoneWorld::IsPhoneDataAbsent() {
  return GetFileAttributesW(Join(m_folder, kAbsentFile).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CPhoneWorld::RecordPhoneDataApplication(const std::wstring& name) {
  {
    CLock lock(*this);
    std::wstring path = Join(m_folder, kApplicationsFile);
    std::string text;
    ReadWhole(path, &text);
    std::vector<std::string> lines = Lines(text);
    lines.insert(lines.begin(), EscapeValue(name));
    if (lines.size() > kApplicationsKept) lines.resize(kApplicationsKept);
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    Changed();
    WriteUnlocked(path, out);
  }
  Notify();
}

std::vector<std::wstring> CPhoneWorld::PhoneDataApplications() {
  std::vector<std::wstring> names;
  std::string text;
  if (!ReadLocked(Join(m_folder, kApplicationsFile), &text)) return names;
  for (const std::string& line : Lines(text))
    if (!line.empty()) names.push_back(UnescapeValue(line));
  return names;
}

}  // namespace PhoneSim

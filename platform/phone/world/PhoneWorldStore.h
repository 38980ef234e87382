#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "PhoneWorld.h"

// The file store under the phone world, shared by the world's parts: the
// phones (PhoneWorldPhones.cpp), their contacts and messages
// (PhoneWorldContent.cpp), call logs (PhoneWorldCallLog.cpp) and the injected
// faults (PhoneWorldFaults.cpp). The world itself (folder, mutex, atomic
// writes, generation) lives in PhoneWorldStore.cpp.
namespace PhoneSim {
namespace WorldStore {

constexpr wchar_t kPhonesFolder[] = L"phones";

// Throws ZCLException with the Win32 error as code: the position, what
// failed and the path.
[[noreturn]] void ThrowWorldError(const std::string& position, DWORD error, const char* what,
                                  const std::wstring& path);

// a + "\\" + b, without doubling a separator.
std::wstring Join(const std::wstring& a, const std::wstring& b);
// Creates the folder with its missing parents; throws when it cannot.
void MakeFolders(const std::wstring& folder);
// The whole file; false when it is not there, thrown when it cannot be read.
bool ReadWhole(const std::wstring& path, std::string* text);
DWORD ToNumber(const std::string& value);
// The lines of a text, each without its line break.
std::vector<std::string> Lines(const std::string& text);
// The tab-separated fields of a line; a trailing tab gives an empty last field.
std::vector<std::string> TabFields(const std::string& line);
// The names of the entries of a folder, files or sub-folders, sorted; none
// when the folder is not there.
std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool folders);

// Each "key=value" line of a text, in order; other lines are passed over.
template <class Take>
void ForEachValue(const std::string& text, Take take) {
  for (const std::string& line : Lines(text)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) take(line.substr(0, eq), line.substr(eq + 1));
  }
}

}  // namespace WorldStore
}  // namespace PhoneSim

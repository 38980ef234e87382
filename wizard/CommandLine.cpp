#include <windows.h>
#include "CommandLine.h"

namespace {

// The second blank-separated word of a token, cut to the word limit.
std::wstring SecondWord(const std::wstring& token) {
  size_t first = token.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  size_t gap = token.find_first_of(L" \t", first);
  if (gap == std::wstring::npos) return L"";
  size_t second = token.find_first_not_of(L" \t", gap);
  if (second == std::wstring::npos) return L"";
  size_t end = token.find_first_of(L" \t", second);
  std::wstring word = token.substr(second, end == std::wstring::npos ? std::wstring::npos : end - second);
  return word.substr(0, kCommandLineLimit);
}

}  // namespace

CPairwellCommandLine ParsePairwellCommandLine(const wchar_t* commandLine) {
  CPairwellCommandLine result;
  std::wstring line = commandLine ? commandLine : L"";
  line.resize(std::min(line.size(), kCommandLineLimit));
  bool haveGuid = false, haveDevice = false;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t slash = line.find(L'/', pos);
    std::wstring token = line.substr(pos, slash == std::wstring::npos ? std::wstring::npos : slash - pos);
    pos = slash == std::wstring::npos ? line.size() : slash + 1;
    if (token.empty()) continue;  // repeated "/"
    if (!haveGuid && token.find(L"guid") != std::wstring::npos) {
      std::wstring word = SecondWord(token);
      if (!word.empty()) {
        result.guid = word.substr(0, kGuidLimit);
        haveGuid = true;
      }
    }
    if (!haveDevice && token.find(L"instsupp") != std::wstring::npos) {
      std::wstring word = SecondWord(token);
      if (!word.empty()) {
        result.deviceId = word;
        haveDevice = true;
      }
    }
    if (token.find(L"no_la") != std::wstring::npos) result.launchAtEnd = FALSE;
  }
  return result;
}

#include <windows.h>
#include "PhoneWorld.h"
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include "PhoneWorldStore.h"

// A phone's call log: one entry a line, tab-separated, under a header line.

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kCallLogFile[] = L"calllog.txt";

const char kCallLogHeader[] =
    "# id\ttype\tdirection\tduration\tsent\treceived\ttime\tzone1\tzone2\tnumber\tname\n";

std::string FormatCallLog(const std::vector<CCallLogEntry>& entries) {
  std::ostringstream s;
  s << kCallLogHeader;
  for (const CCallLogEntry& e : entries)
    s << e.id << "\t" << e.type << "\t" << e.direction << "\t" << e.duration << "\t" << e.bytesSent << "\t"
      << e.bytesReceived << "\t" << e.time.Format() << "\t" << e.zone1 << "\t" << e.zone2 << "\t"
      << EscapeValue(e.number) << "\t" << EscapeValue(e.name) << "\n";
  return s.str();
}

std::vector<CCallLogEntry> ParseCallLog(const std::string& text) {
  std::vector<CCallLogEntry> entries;
  for (const std::string& line : Lines(text)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = TabFields(line);
    if (f.size() < 11) continue;
    CCallLogEntry e;
    e.id = ToNumber(f[0]);
    e.type = ToNumber(f[1]);
    e.direction = ToNumber(f[2]);
    e.duration = ToNumber(f[3]);
    e.bytesSent = _strtoui64(f[4].c_str(), nullptr, 10);
    e.bytesReceived = _strtoui64(f[5].c_str(), nullptr, 10);
    CPhoneTime::Parse(f[6], &e.time);
    e.zone1 = strtol(f[7].c_str(), nullptr, 10);
    e.zone2 = strtol(f[8].c_str(), nullptr, 10);
    e.number = UnescapeValue(f[9]);
    e.name = UnescapeValue(f[10]);
    entries.push_back(e);
  }
  return entries;
}

}  // namespace

std::vector<CCallLogEntry> CPhoneWorld::ReadCallLog(const std::wstring& serial) {
  std::string text;
  if (!IsValidSerial(serial)) return std::vector<CCallLogEntry>();
  CLock lock(*this);
  std::wstring folder;
  if (!OwnFolderUnlocked(serial, &folder) || !ReadWhole(Join(folder, kCallLogFile), &text))
    return std::vector<CCallLogEntry>();
  return ParseCallLog(text);
}

DWORD CPhoneWorld::AddCallLogEntry(const std::wstring& serial, const CCallLogEntry& entry) {
  if (!IsValidSerial(serial)) return 0;
  DWORD id = 0;
  {
    CLock lock(*this);
    std::string text;
    std::wstring path = Join(WritableFolderUnlocked(serial), kCallLogFile);
    std::vector<CCallLogEntry> entries;
    if (ReadWhole(path, &text)) entries = ParseCallLog(text);
    id = entry.id;
    DWORD last = 0;
    for (const CCallLogEntry& e : entries) {
      last = std::max(last, e.id);
      if (id != 0 && e.id == id) return 0;  // ids are the entries' keys
    }
    if (id == 0) id = last + 1;
    entries.push_back(entry);
    entries.back().id = id;
    Changed();
    WriteUnlocked(path, FormatCallLog(entries));
  }
  Notify();
  return id;
}

void CPhoneWorld::ClearCallLog(const std::wstring& serial) {
  if (!IsValidSerial(serial)) return;
  {
    CLock lock(*this);
    std::wstring path = Join(WritableFolderUnlocked(serial), kCallLogFile);
    Changed();
    WriteUnlocked(path, kCallLogHeader);
  }
  Notify();
}

}  // namespace PhoneSim

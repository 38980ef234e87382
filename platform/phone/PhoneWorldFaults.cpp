#include <windows.h>
#include "PhoneWorld.h"
#include <cstdio>
#include <sstream>
#include "PhoneWorldStore.h"

// Injected failures: "<entry> <code> <count>" lines, counted down across
// processes.

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kFaultsFile[] = L"faults.txt";

}  // namespace

void CPhoneWorld::InjectFault(const std::string& entry, DWORD code, DWORD count) {
  {
    CLock lock(*this);
    std::string text;
    ReadWhole(Join(m_folder, kFaultsFile), &text);
    char line[160];
    snprintf(line, sizeof(line), "%s 0x%08lX %lu\n", entry.c_str(), static_cast<unsigned long>(code),
             static_cast<unsigned long>(count));
    WriteUnlocked(Join(m_folder, kFaultsFile), text + line);
    Changed();
  }
  Notify();
}

void CPhoneWorld::ClearFaults() {
  {
    CLock lock(*this);
    DeleteFileW(Join(m_folder, kFaultsFile).c_str());
    Changed();
  }
  Notify();
}

bool CPhoneWorld::TakeFault(const char* entry, DWORD* code) {
  std::wstring path = Join(m_folder, kFaultsFile);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  CLock lock(*this);
  std::string text;
  if (!ReadWhole(path, &text)) return false;
  std::istringstream in(text);
  std::string name, rest, line;
  std::ostringstream out;
  bool taken = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string codeText;
    unsigned long count = 0;
    if (!(fields >> name >> codeText >> count) || count == 0) continue;
    if (!taken && name == entry) {
      taken = true;
      *code = ToNumber(codeText);
      --count;
    }
    if (count > 0) out << name << " " << codeText << " " << count << "\n";
  }
  if (taken) WriteUnlocked(path, out.str());
  return taken;
}

}  // namespace PhoneSim

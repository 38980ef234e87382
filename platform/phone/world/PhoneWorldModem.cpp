#include <windows.h>
#include "PhoneWorld.h"
#include <sstream>
#include "PhoneWorldStore.h"

// The modem configurations the device management was asked for, per phone,
// and the phone's device type.

namespace PhoneSim {

using namespace WorldStore;

namespace {
const wchar_t kModemFile[] = L"modemconfig.txt";
}  // namespace

bool CPhoneWorld::RecordModemOperation(const std::wstring& serial, DWORD operation, DWORD media) {
  if (!IsValidSerial(serial)) return false;
  {
    CLock lock(*this);
    CPhone phone;
    if (!ReadPhone(serial, &phone)) return false;
    std::wstring path = Join(WritableFolderUnlocked(serial), kModemFile);
    std::string text;
    ReadWhole(path, &text);
    std::ostringstream line;
    line << operation << "\t" << media << "\t" << EscapeValue(serial) << "\n";
    Changed();
    WriteUnlocked(path, text + line.str());
  }
  Notify();
  return true;
}

std::vector<CPhoneWorld::CModemOperation> CPhoneWorld::ListModemOperations(const std::wstring& serial) {
  std::vector<CModemOperation> operations;
  if (!IsValidSerial(serial)) return operations;
  CLock lock(*this);
  std::wstring folder;
  std::string text;
  if (!OwnFolderUnlocked(serial, &folder) || !ReadWhole(Join(folder, kModemFile), &text)) return operations;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f = TabFields(line);
    if (f.size() != 3) continue;
    CModemOperation o;
    o.operation = ToNumber(f[0]);
    o.media = ToNumber(f[1]);
    o.serial = UnescapeValue(f[2]);
    operations.push_back(o);
  }
  return operations;
}

bool CPhoneWorld::SetDeviceType(const std::wstring& serial, DWORD typeCode) {
  // One lock over the read and the write, so that no other change of the
  // phone is lost between them (the mutex is held again by PlugPhone).
  CLock lock(*this);
  CPhone phone;
  if (!ReadPhone(serial, &phone)) return false;
  phone.typeCode = typeCode;
  return PlugPhone(phone);
}

}  // namespace PhoneSim

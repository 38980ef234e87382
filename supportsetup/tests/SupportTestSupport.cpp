#include <windows.h>
#include "SupportTestSupport.h"
#include <sstream>
#include "SupportOperations.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"

namespace SupportTesting {

namespace {

void WINAPI RecordPause(DWORD milliseconds) { SupportTest::Pauses().push_back(milliseconds); }

// The phone-data server registered once per run, as regsvr32 would.
void RegisterPhoneDataServer() {
  static bool registered = false;
  if (registered) return;
  CModuleHandle server(LoadLibraryW(L"Qorsal_PhoneData.dll"));
  ASSERT_TRUE(server.IsValid());
  typedef HRESULT(WINAPI * Register)();
  Register reg = reinterpret_cast<Register>(GetProcAddress(server.Get(), "DllRegisterServer"));
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(reg(), S_OK);
  registered = true;
}

}  // namespace

std::vector<DWORD>& SupportTest::Pauses() {
  static std::vector<DWORD> pauses;
  return pauses;
}

void SupportTest::SetUp() {
  RegisterPhoneDataServer();
  m_world.reset(new PhoneSim::CPhoneWorld(m_scratch.Folder()));
  Pauses().clear();
  SutrelSupport::SetPauseFunction(RecordPause);
  SutrelSupport::SetWriteFunction(nullptr);
}

void SupportTest::TearDown() {
  SutrelSupport::SetPauseFunction(nullptr);
  SutrelSupport::SetWriteFunction(nullptr);
}

void SupportTest::Plug(const std::wstring& serial, const std::wstring& model, DWORD typeCode, DWORD capabilities) {
  PhoneSim::CPhone phone;
  phone.serial = serial;
  phone.model = model;
  phone.manufacturer = L"Orvex";
  phone.typeCode = typeCode;
  phone.capabilities = capabilities;
  PhoneSim::CConnection cable;
  cable.media = 1;
  cable.deviceId = 7;
  phone.connections.push_back(cable);
  ASSERT_TRUE(m_world->PlugPhone(phone));
}

void SupportTest::Versions(const std::wstring& serial, const std::wstring& component,
                           const std::vector<std::wstring>& texts) {
  m_world->SetComponentVersions(serial, component, texts);
}

std::vector<std::wstring> SupportTest::PackageNames(const std::wstring& serial) {
  std::vector<std::wstring> names;
  for (const PhoneSim::CPhoneWorld::CPackage& p : m_world->ListPackages(serial)) names.push_back(p.name);
  return names;
}

DWORD SupportTest::FaultsLeft(const std::string& entry) {
  std::string text;
  if (!m_world->ReadFileText(L"faults.txt", &text)) return 0;
  std::istringstream in(text);
  std::string name, code;
  DWORD count = 0, left = 0;
  while (in >> name >> code >> count)
    if (name == entry) left += count;
  return left;
}

bool SupportTest::LibraryTerminated() {
  HMODULE lanyx = GetModuleHandleW(L"Lanyx.dll");
  if (!lanyx) return false;
  typedef DWORD(WINAPI * OpenDM)(DWORD*);
  typedef DWORD(WINAPI * OpenFS)(const WCHAR*, DWORD, DWORD*, DWORD*);
  OpenDM openDM = reinterpret_cast<OpenDM>(GetProcAddress(lanyx, "LNYXOpenDM"));
  OpenFS openFS = reinterpret_cast<OpenFS>(GetProcAddress(lanyx, "LNYXOpenFS"));
  DWORD handle = 0, number = 0;
  return openDM && openFS && openDM(&handle) == ELNYX_NOT_INITIALIZED &&
         openFS(L"any", 1, &handle, &number) == ELNYX_NOT_INITIALIZED;
}

std::string PackageBytes(const std::wstring& fileName) {
  std::string bytes;
  CHandle file(CreateFileW((std::wstring(SUTREL_PACKAGE_DIR) + L"/" + fileName).c_str(), GENERIC_READ,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

std::wstring TempPath(const std::wstring& fileName) {
  wchar_t folder[MAX_PATH + 1] = {0};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + fileName;
}

}  // namespace SupportTesting

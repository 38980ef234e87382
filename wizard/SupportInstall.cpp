#include <windows.h>
#include "SupportInstall.h"
#include "DriverInstall.h"
#include "TrelkApi.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"

namespace {

const DWORD kApiVersion = 30;
const DWORD kEnhancementDeviceType = 0x2000020;
const DWORD kFileSystemMedia = 1;

// A family binding held for one piece of work.
template <DWORD (WINAPI* Initialize)(DWORD, DWORD), DWORD (WINAPI* Terminate)(DWORD)>
class CFamilySession {
public:
  CFamilySession() : m_bound(Initialize(kApiVersion, 0) == 0) {}
  ~CFamilySession() {
    if (m_bound) Terminate(0);
  }
  bool IsBound() const { return m_bound; }

private:
  CFamilySession(const CFamilySession&) = delete;
  CFamilySession& operator=(const CFamilySession&) = delete;
  bool m_bound;
};
typedef CFamilySession<&RUVON_Initialize, &RUVON_Terminate> CDeviceManagementSession;
typedef CFamilySession<&FSKOR_Initialize, &FSKOR_Terminate> CFileSystemSession;

// A library handle (a plain number, 0 being a valid one) and its close call.
template <DWORD (WINAPI* Close)(DWORD)>
class CLibraryHandle {
public:
  CLibraryHandle() = default;
  ~CLibraryHandle() {
    if (m_open) Close(m_handle);
  }
  // After a successful open call on Put().
  void SetOpen() { m_open = true; }
  DWORD* Put() { return &m_handle; }
  DWORD Get() const { return m_handle; }

private:
  CLibraryHandle(const CLibraryHandle&) = delete;
  CLibraryHandle& operator=(const CLibraryHandle&) = delete;
  DWORD m_handle = 0;
  bool m_open = false;
};
typedef CLibraryHandle<&LNYXCloseDM> CDMHandle;
typedef CLibraryHandle<&LNYXCloseFS> CFSHandle;

std::wstring ReadText(HKEY key, const wchar_t* name) {
  WCHAR text[MAX_PATH] = {0};
  DWORD bytes = sizeof(text) - sizeof(WCHAR);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS) return L"";
  if (type != REG_SZ && type != REG_EXPAND_SZ) return L"";
  return text;
}

}  // namespace

bool NeedsEnhancementDriver(const std::wstring& deviceId) {
  bool needed = false;
  ZCLGuarded(2, ZCL_SITE, [&] {
    CDeviceManagementSession session;
    if (!session.IsBound()) return;
    CDMHandle dm;
    if (LNYXOpenDM(dm.Put()) != 0) return;
    dm.SetOpen();
    LNYX_DEVICE_INFO* info = nullptr;
    if (LNYXGetDeviceInfo(dm.Get(), deviceId.c_str(), LNYX_DEVICE_INFO_LEVEL, &info) != 0 || !info) return;
    needed = info->dwTypeCode == kEnhancementDeviceType;
    LNYXFreeDeviceInfoStructure(LNYX_DEVICE_INFO_LEVEL, info);
  });
  return needed;
}

std::wstring EnhancementDriverPackagePath() {
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Orvex Dialix", 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
    return L"";
  std::wstring folder = ReadText(key.Get(), L"PhoneDriversPath");
  std::wstring name = ReadText(key.Get(), L"EnhancementDriverPackageName");
  if (folder.empty() || name.empty()) return L"";
  return folder + L"\\" + name;
}

void InstallEnhancementDriver(const std::wstring& deviceId, const std::wstring& packagePath) {
  ZCLGuarded(2, ZCL_SITE, [&] {
    CFileSystemSession session;
    if (!session.IsBound()) return;
    CFSHandle fs;
    DWORD deviceNumber = 0;
    if (LNYXOpenFS(deviceId.c_str(), kFileSystemMedia, fs.Put(), &deviceNumber) != 0) return;
    fs.SetOpen();
    if (!packagePath.empty()) InstallFileOnPhone(fs.Get(), packagePath.c_str());
  });
}

void ConfigurePhoneModem(const std::wstring& serial, std::initializer_list<DWORD> operations) {
  ZCLGuarded(2, ZCL_SITE, [&] {
    CDMHandle dm;
    if (LNYXOpenDM(dm.Put()) != 0) return;
    dm.SetOpen();
    for (DWORD operation : operations) {
      void* data = nullptr;
      LNYX_MODEM_PARAMS params = {};
      LNYXModemConfig(dm.Get(), serial.c_str(), LNYX_MEDIA_BLUETOOTH, params, operation, &data);
      if (data) LNYXFreeModemConfigData(operation, data);
    }
  });
}

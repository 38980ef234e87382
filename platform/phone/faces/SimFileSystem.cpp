#include <windows.h>
#include <string>
#include "SimCore.h"

// The file-system family of the simulated connectivity library: a handle on
// a connected phone's file system and the phone's application installer,
// which keeps what it received in the phone's packages. The family's other
// operations are there by name and answer "not supported".

using namespace PhoneSim;

namespace {

// Called from the callers' threads; the handle table guards itself.
class CFileSystemFamily : public CSimFamily {
public:
  CHandleTable<std::wstring>& Handles() { return m_handles; }  // handle -> serial number

protected:
  void OnStopping() override { m_handles.Clear(); }

private:
  CHandleTable<std::wstring> m_handles;
};

CFileSystemFamily& Family() {
  static CFileSystemFamily* family = new CFileSystemFamily();
  return *family;
}

#define FS_ENTRY(name)                                                 \
  SIM_ENTRY(Family(), name);                                           \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED

bool ReadWholeFile(const WCHAR* path, std::string* bytes) {
  CHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  bytes->clear();
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) return true;
    bytes->append(buffer, read);
  }
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

DWORD WINAPI FSKOR_Initialize(DWORD dwAPIVersion, DWORD) {
  try {
    if (dwAPIVersion != FSKOR_API_VERSION_30 && dwAPIVersion != FSKOR_API_VERSION) return ELNYX_UNSUPPORTED_API_VERSION;
    return Family().Initialize("FSKOR_Initialize");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI FSKOR_Terminate(DWORD) {
  try {
    return Family().Terminate("FSKOR_Terminate");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI FSKOR_GetAPIVersion() { return FSKOR_API_VERSION; }

DWORD WINAPI LNYXOpenFS(const WCHAR* pstrSerialNumber, DWORD, DWORD* phFS, DWORD* pdwDeviceNumber) {
  try {
    FS_ENTRY("LNYXOpenFS");
    if (!phFS || !pdwDeviceNumber) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!pstrSerialNumber || !*pstrSerialNumber || !world->ReadPhone(pstrSerialNumber, &phone) || !phone.connected)
      return ELNYX_DEVICE_NOT_FOUND;
    *phFS = Family().Handles().Add(phone.serial);
    *pdwDeviceNumber = phone.connections.empty() ? 0 : phone.connections[0].deviceId;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LNYXCloseFS(DWORD hFS) {
  try {
    FS_ENTRY("LNYXCloseFS");
    return Family().Handles().Remove(hFS) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXInstallApplication(DWORD hFS, DWORD dwCount, const WCHAR* const* ppstrFiles, DWORD dwOptions, DWORD,
                                    DWORD) {
  try {
    FS_ENTRY("LNYXInstallApplication");
    std::wstring serial;
    if (!Family().Handles().Find(hFS, &serial)) return ELNYX_INVALID_HANDLE;
    if (dwCount == 0) return ELNYX_INVALID_PARAMETER;
    if (!ppstrFiles) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!world->ReadPhone(serial, &phone) || !phone.connected) return ELNYX_CONNECTION_LOST;
    for (DWORD i = 0; i < dwCount; ++i) {
      if (!ppstrFiles[i] || !*ppstrFiles[i]) return ELNYX_INVALID_POINTER;
      std::wstring name = FileNameOf(ppstrFiles[i]);
      std::string bytes;
      if (name.empty()) return ELNYX_FILE_NAME_INVALID;
      if (!ReadWholeFile(ppstrFiles[i], &bytes)) return ELNYX_FILE_NOT_FOUND;
      if (!world->InstallPackage(serial, name, bytes, dwOptions)) return ELNYX_CONNECTION_LOST;
    }
    SIM_AFTER_FAULT("LNYXInstallApplication");
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

// The rest of the family: present by name, not simulated.
#define FS_NOT_SUPPORTED(name, ...) \
  DWORD WINAPI name(__VA_ARGS__) SIM_NOT_IMPLEMENTED(Family(), #name)

FS_NOT_SUPPORTED(LNYXRegisterFSNotifyCallback, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXRegisterFSNotifyIF, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXRefreshDeviceMemoryValues, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetMemoryTypes, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetMemoryValues, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXSetCurrentFolder, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetCurrentFolder, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFindBegin, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFindNextFolder, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFindNextFile, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFindEnd, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFreeFolderInfoStructure, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetConvertFileTypes, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXCreateFolder, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXDeleteFolder, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXRenameFolder, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetFolderInfo, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXGetFileInfo, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXDeleteFile, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXMoveFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXCopyFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXRenameFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXReadFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXWriteFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXCancel, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFreeFileInfoStructure, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFreeFolderContentStructure, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFreeFileDataMemory, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXConvertFile, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
FS_NOT_SUPPORTED(LNYXFreeConvertFileTypes, DWORD_PTR, DWORD_PTR)

// No memory to hand out: null, as when the family is not initialised.
void* WINAPI LNYXAllocFileDataMemory(DWORD_PTR) { return nullptr; }

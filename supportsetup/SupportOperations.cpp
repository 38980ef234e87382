#include <windows.h>
#include "SupportOperations.h"
#include <cwchar>
#include <memory>
#include <vector>
#include "LanyxImports.h"
#include "PhoneDataClient.h"
#include "QorsalDialix.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace SutrelSupport {

namespace {

const DWORD kTypeCodesFirstGroup[] = {0x2000010, 0x2000100, 0x2001000};
const DWORD kTypeCodeSecondGroup = 0x2000020;
const DWORD kCapabilityExamined = 0x20;
const wchar_t kTextMessages[] = L"Text Messages";
const wchar_t kMultimediaMessages[] = L"Multimedia Messages";
const double kTextMessagesMinimum = 1.7;
const double kMultimediaMinimum = 1.0;
const double kForcedProviderMinimum = 1000.0;
const wchar_t kCategoryText[] = L"TAVO";
const wchar_t kCategoryMultimedia[] = L"MF";
const DWORD kOpenMedia = 1;

void WINAPI SleepPause(DWORD milliseconds) { Sleep(milliseconds); }
BOOL WINAPI FileWrite(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}

PauseFunction g_pause = SleepPause;
WriteFunction g_write = FileWrite;
HMODULE g_resources = reinterpret_cast<HMODULE>(&__ImageBase);

enum class Group { First, Second, Other };

Group GroupOf(DWORD typeCode) {
  for (DWORD code : kTypeCodesFirstGroup)
    if (code == typeCode) return Group::First;
  return typeCode == kTypeCodeSecondGroup ? Group::Second : Group::Other;
}

// The suite information text, the application name of every phone-data client.
std::wstring SuiteText() {
  CNorvelInfoReader reader;
  return reader.GetNorvel();
}

// One initialisation of the connectivity library, terminated when it goes
// (only when it succeeded).
class CLibrarySession {
public:
  CLibrarySession() {
    CNorvelInfoReader reader;
    m_initialized = SutrelLnyxInitialize(SutrelLnyxSuiteVersion(reader.GetNorvel(), 0)) == 0;
  }
  ~CLibrarySession() {
    if (m_initialized) SutrelLnyxTerminate(0);
  }
  bool Initialized() const { return m_initialized; }

private:
  CLibrarySession(const CLibrarySession&) = delete;
  CLibrarySession& operator=(const CLibrarySession&) = delete;
  bool m_initialized = false;
};

// A device-management handle, closed once; the device structure and the
// capability record it handed out, each freed only when it was filled.
class CDeviceQuery {
public:
  CDeviceQuery() { m_open = SutrelLnyxOpenDM(&m_handle) == 0; }
  ~CDeviceQuery() {
    if (m_info) SutrelLnyxFreeDeviceInfo(LNYX_DEVICE_INFO_LEVEL, m_info);
    if (m_open) SutrelLnyxCloseDM(m_handle);
  }
  bool Open() const { return m_open; }

  // The model name of the device structure; false when there is none.
  bool ReadModel(const wchar_t* deviceId, std::wstring* model) {
    LNYX_DEVICE device = {};
    if (!m_open || SutrelLnyxGetDevice(m_handle, deviceId, &device) != 0) return false;
    *model = device.pstrModelName ? device.pstrModelName : L"";
    SutrelLnyxFreeDevice(1, &device);
    return true;
  }
  // The capability record, kept until the query goes.
  const LNYX_DEVICE_INFO* ReadCapabilities(const wchar_t* deviceId) {
    if (!m_open || m_info) return m_info;
    LNYX_DEVICE_INFO* info = nullptr;
    if (SutrelLnyxGetDeviceInfo(m_handle, deviceId, LNYX_DEVICE_INFO_LEVEL, &info) != 0) return nullptr;
    m_info = info;
    return m_info;
  }

private:
  CDeviceQuery(const CDeviceQuery&) = delete;
  CDeviceQuery& operator=(const CDeviceQuery&) = delete;
  DWORD m_handle = 0;
  bool m_open = false;
  LNYX_DEVICE_INFO* m_info = nullptr;
};

void RefreshOnServer(const wchar_t* deviceId) {
  CPhoneDataClient client(SuiteText().c_str());
  client.RefreshDevice(deviceId);
}

// The second group's test: refresh, read, and once more when below; true
// when both readings were below the minimum.
bool ProviderNeeded(const wchar_t* deviceId, double minimum) {
  RefreshOnServer(deviceId);
  if (IsVersionAtLeast(deviceId, kMultimediaMessages, minimum)) return false;
  RefreshOnServer(deviceId);
  return !IsVersionAtLeast(deviceId, kMultimediaMessages, minimum);
}

bool IsEmpty(const wchar_t* text) { return !text || !*text; }

}  // namespace

void SetPauseFunction(PauseFunction pause) { g_pause = pause ? pause : SleepPause; }
void SetWriteFunction(WriteFunction write) { g_write = write ? write : FileWrite; }
void SetResourceModule(HMODULE module) { g_resources = module ? module : reinterpret_cast<HMODULE>(&__ImageBase); }

bool ParseVersion(const wchar_t* text, double* value) {
  if (!text) return false;
  while (*text == L' ' || *text == L'\t') ++text;
  double result = 0;
  bool digits = false;
  for (; *text >= L'0' && *text <= L'9'; ++text, digits = true) result = result * 10 + (*text - L'0');
  if (*text == L'.') {
    double scale = 0.1;
    for (++text; *text >= L'0' && *text <= L'9'; ++text, digits = true, scale /= 10) result += (*text - L'0') * scale;
  }
  if (!digits) return false;
  *value = result;
  return true;
}

bool ReadPackageVersion(const wchar_t* deviceId, const wchar_t* component, wchar_t* text, bool* tooLong) {
  *tooLong = false;
  CPhoneDataClient client(SuiteText().c_str());
  if (!client.IsReady()) return false;
  const wchar_t* answer = client.GetNamedValue(deviceId, component);
  if (answer) {
    size_t length = wcslen(answer);
    if (length < kVersionChars) {
      wmemcpy(text, answer, length + 1);
    } else {
      *tooLong = true;
      text[0] = 0;
    }
  }
  return true;
}

bool IsVersionAtLeast(const wchar_t* deviceId, const wchar_t* component, double minimum) {
  wchar_t text[kVersionChars] = {0};
  bool tooLong = false;
  double version = 0;
  return ReadPackageVersion(deviceId, component, text, &tooLong) && !tooLong && ParseVersion(text, &version) &&
         version >= minimum;
}

bool CheckDevice(const wchar_t* deviceId, std::wstring* modelName) {
  CDeviceQuery query;
  return query.Open() && query.ReadModel(deviceId, modelName);
}

bool ReadPhoneCapabilities(const wchar_t* deviceId, const wchar_t* modelName, int* listedText, int* listedMultimedia,
                           int* providerNeeded) {
  *listedText = *listedMultimedia = *providerNeeded = 0;
  bool succeeded = false;
  ZCLGuarded(3, ZCL_SITE, [&] {
    // Its own initialisation inside the caller's, terminated again: the
    // library's count comes back to the caller's.
    CLibrarySession session;
    if (!session.Initialized()) return;
    CDeviceQuery query;
    std::wstring model;
    if (!query.Open() || !query.ReadModel(deviceId, &model)) return;
    const LNYX_DEVICE_INFO* info = query.ReadCapabilities(deviceId);
    if (!info) return;
    switch (GroupOf(info->dwTypeCode)) {
      case Group::First: {
        CPhoneDataClient client(SuiteText().c_str());
        if (client.IsReady()) {
          client.RefreshDevice(deviceId);
          *listedText = client.ListContains(deviceId, modelName, kCategoryText) ? 1 : 0;
          *listedMultimedia = client.ListContains(deviceId, modelName, kCategoryMultimedia) ? 1 : 0;
        }
        break;
      }
      case Group::Second:
        *providerNeeded = ProviderNeeded(deviceId, kForcedProviderMinimum) ? 1 : 0;
        break;
      case Group::Other:
        break;
    }
    succeeded = true;
  });
  return succeeded;
}

HRESULT NeedSupport(const wchar_t* deviceId, int* textFlag, int* multimediaFlag, int* providerFlag) {
  if (!textFlag || !multimediaFlag || !providerFlag || IsEmpty(deviceId)) return E_FAIL;
  *textFlag = *multimediaFlag = *providerFlag = 0;
  CLibrarySession session;
  if (!session.Initialized()) return E_FAIL;
  HRESULT result = E_FAIL;
  ZCLGuarded(3, ZCL_SITE, [&] {
    CDeviceQuery query;
    std::wstring model;
    if (!query.Open() || !query.ReadModel(deviceId, &model)) return;
    const LNYX_DEVICE_INFO* info = query.ReadCapabilities(deviceId);
    if (!info) return;
    result = S_OK;
    switch (GroupOf(info->dwTypeCode)) {
      case Group::First: {
        if (!(info->dwCapabilities & kCapabilityExamined)) break;
        int listedText = 0, listedMultimedia = 0, unused = 0;
        if (!ReadPhoneCapabilities(deviceId, model.c_str(), &listedText, &listedMultimedia, &unused)) break;
        if (listedText && !IsVersionAtLeast(deviceId, kTextMessages, kTextMessagesMinimum)) *textFlag = 1;
        if (listedMultimedia && !IsVersionAtLeast(deviceId, kMultimediaMessages, kMultimediaMinimum))
          *multimediaFlag = 1;
        break;
      }
      case Group::Second:
        *providerFlag = ProviderNeeded(deviceId, kMultimediaMinimum) ? 1 : 0;
        break;
      case Group::Other:
        break;
    }
  });
  return result;
}

void DeleteTempPackage(const wchar_t* path) {
  // An extraction that failed early leaves no path behind.
  if (IsEmpty(path)) return;
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  DeleteFileW(path);
}

bool ExtractPackage(UINT resourceId, const wchar_t* fileName, wchar_t* path) {
  path[0] = 0;
  HRSRC resource = FindResourceW(g_resources, MAKEINTRESOURCEW(resourceId), L"SISFiles");
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(g_resources, resource);
  DWORD size = SizeofResource(g_resources, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return false;

  wchar_t folder[kPathChars + 1] = {0};
  DWORD folderLength = GetTempPathW(kPathChars, folder);
  size_t nameLength = wcslen(fileName);
  // Folder and name must fit the caller's buffer with the terminator.
  if (folderLength == 0 || folderLength >= kPathChars || folderLength + nameLength >= kPathChars) return false;
  wmemcpy(path, folder, folderLength);
  wmemcpy(path + folderLength, fileName, nameLength + 1);

  std::vector<BYTE> buffer(static_cast<size_t>(size) + 2, 0);
  memcpy(buffer.data(), bytes, size);
  DeleteTempPackage(path);
  bool written = false;
  {
    CHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD count = 0;
    written = g_write(file.Get(), buffer.data(), size, &count) && count == size;
  }
  // A short write leaves no half package behind.
  if (!written) DeleteTempPackage(path);
  return written;
}

void InstallPackage(UINT resourceId, const wchar_t* fileName, const wchar_t* deviceId, wchar_t* path) {
  if (!ExtractPackage(resourceId, fileName, path)) return;
  DWORD handle = 0, deviceNumber = 0;
  if (SutrelLnyxOpenFS(deviceId, kOpenMedia, &handle, &deviceNumber) != 0) return;
  const wchar_t* files[1] = {path};
  for (int attempt = 1; attempt <= kInstallAttempts; ++attempt) {
    DWORD result = SutrelLnyxInstallApplication(handle, 1, files, LNYX_INSTALL_OPTIONS, 0, 0);
    if (result != ELNYX_DEVICE_INSTALLER_BUSY) break;
    // After the last busy answer the library pauses once more and gives up.
    g_pause(kBusyPauseMs);
  }
  SutrelLnyxCloseFS(handle);
}

void InstallPackagesFor(const wchar_t* deviceId, int textFlag, int multimediaFlag, int providerFlag) {
  wchar_t path[kPathChars] = {0};
  auto installOne = [&](UINT id, const wchar_t* name) {
    path[0] = 0;
    InstallPackage(id, name, deviceId, path);
    DeleteTempPackage(path);
  };
  if (multimediaFlag)
    installOne(kPackageSupport, L"sutrel_support.SIS");
  else if (textFlag)
    installOne(kPackageTextSync, L"Kalvosync.SIS");
  if (providerFlag) {
    installOne(kPackageProvider, L"Kalvomms.sis");
    RefreshOnServer(deviceId);
  }
}

HRESULT Install(const wchar_t* deviceId, DWORD flags) {
  if (!deviceId) return E_FAIL;
  CLibrarySession session;
  if (!session.Initialized()) return E_FAIL;
  int text = 0, multimedia = 0, provider = 0;
  if (flags & kInstallForced) {
    std::wstring model;
    if (!CheckDevice(deviceId, &model)) return E_FAIL;
    if (!ReadPhoneCapabilities(deviceId, model.c_str(), &text, &multimedia, &provider)) return E_FAIL;
  } else {
    HRESULT result = NeedSupport(deviceId, &text, &multimedia, &provider);
    if (FAILED(result)) return result;
  }
  if (!text && !multimedia && !provider) return S_OK;

  InstallPackagesFor(deviceId, text, multimedia, provider);
  return S_OK;
}

}  // namespace SutrelSupport

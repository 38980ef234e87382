#include <windows.h>
#include <shlobj.h>
#include "ZCLFrame.h"
#include "CDeviceCache.h"
#include "FileSystem.h"
#include "ZCLException.h"

namespace {

std::wstring CacheFolderPath(const std::wstring& given) {
  if (!given.empty()) return given;
  wchar_t buffer[261] = {};
  ZCLComThrowOnFail(SHGetFolderPathW(nullptr, 0x801A, nullptr, 0, buffer), ".\\devicecache(105)");
  std::wstring folder = buffer;
  EnsureTrailingBackslash(folder);
  return folder + L"Orvex Dialix\\data";
}

}  // namespace

std::wstring CDeviceCache::GetCacheFolder() {
  ZCLScopeTracer trace("CDeviceCache::GetCacheFolder");
  try {
    std::wstring folder = CacheFolderPath(m_folder);
    if (!DirectoryExists(folder)) CreateDirectoryTree(folder);
    return folder;
  } catch (const ZCLComException&) {
    ZCLLogMessage(5, nullptr, "Error getting device cache folder");
    throw ZCLComException(E_UNEXPECTED, ".\\devicecache(127)");
  } catch (const ZCLException& e) {
    ZCLLogMessage(5, nullptr, "Error getting device cache folder");
    int code = e.GetCode();
    HRESULT hr = code < 1 ? static_cast<HRESULT>(code) : static_cast<HRESULT>(0x80070000 | (code & 0xFFFF));
    throw ZCLComException(hr, ".\\devicecache(121)");
  } catch (...) {
    ZCLLogMessage(5, nullptr, "Error getting device cache folder");
    throw ZCLComException(E_UNEXPECTED, ".\\devicecache(127)");
  }
}

CZembraDevicePtr CDeviceCache::LoadDevice(const std::wstring& folder) {
  ZCLScopeTracer trace("CDeviceCache::LoadDevice");
  CZembraDeviceInfo info;
  info.Load((folder + L"\\DeviceInfo.xml").c_str());
  CZembraDevicePtr device = std::make_shared<CZembraDevice>();
  device->SetDeviceInfo(info);
  device->SetDataFolder(folder.c_str());
  return device;
}

// The folder name is the serial escaped, so a phone reporting "..\x" or
// "NUL" can neither write outside the cache nor meet another phone's
// folder; loading reads the serial from the file, never from the name.
void CDeviceCache::SaveDevice(CZembraDevice& device) {
  ZCLScopeTracer trace("CDeviceCache::SaveDevice");
  std::wstring folder;
  try {
    folder = GetCacheFolder() + L"\\";
  } catch (const ZCLComException&) {
    return;  // logged where it arose; the device stays without a folder
  }
  folder += EscapeFileName(device.GetSerialNumber());
  if (!DirectoryExists(folder)) CreateDirectoryTree(folder);
  device.SetDataFolder(folder.c_str());
  CZembraDeviceInfo info;
  device.DeviceInfo(info).Save((folder + L"\\DeviceInfo.xml").c_str());
}

std::vector<CZembraDevicePtr> CDeviceCache::LoadDevices() {
  ZCLScopeTracer trace("CDeviceCache::LoadDevices");
  std::vector<CZembraDevicePtr> devices;
  std::vector<std::wstring> folders;
  try {
    folders = ListDirectory(GetCacheFolder());
  } catch (const ZCLException&) {
    return devices;
  }
  for (const std::wstring& folder : folders) {
    // A damaged or incomplete folder is skipped and left as it is.
    ZCLGuarded(2, ZCL_SITE, [&] { devices.push_back(LoadDevice(folder)); });
  }
  return devices;
}

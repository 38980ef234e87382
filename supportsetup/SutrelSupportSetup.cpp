#include <windows.h>
#include "SutrelSupportSetup.h"
#include "AppFx.h"
#include "SupportOperations.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"

// The library's exports and entry. Nothing thrown leaves an export: the
// wizard gets result codes only.

namespace {

APPFX_EXTENSION_MODULE g_extension = {};
HINSTANCE g_instance = nullptr;

const wchar_t kDataLayerKey[] = L"Software\\Sutrel\\DataLayer";
const wchar_t kDataLayerValue[] = L"SutrelSupportSetup";

}  // namespace

extern "C" HRESULT WINAPI needSupport(LPCWSTR deviceId, int* textFlag, int* multimediaFlag, int* providerFlag) {
  HRESULT result = E_FAIL;
  ZCLGuarded(3, ZCL_SITE, [&] { result = SutrelSupport::NeedSupport(deviceId, textFlag, multimediaFlag, providerFlag); });
  return result;
}

extern "C" HRESULT WINAPI Install(LPCWSTR deviceId, DWORD flags) {
  HRESULT result = E_FAIL;
  ZCLGuarded(3, ZCL_SITE, [&] { result = SutrelSupport::Install(deviceId, flags); });
  return result;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataLayerKey, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS &&
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDataLayerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                      nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  wchar_t path[MAX_PATH] = {0};
  DWORD length = GetModuleFileNameW(g_instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  return RegSetValueExW(key.Get(), kDataLayerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                        (length + 1) * sizeof(wchar_t)) == ERROR_SUCCESS
             ? S_OK
             : E_FAIL;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataLayerKey, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) return S_OK;
  RegDeleteValueW(key.Get(), kDataLayerValue);
  return S_OK;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    if (!AppFxInitExtensionModule(&g_extension, instance)) return FALSE;
    // The host finds this library's strings and packages through its chain.
    AppFxJoinResourceChain(&g_extension);
    SutrelSupport::SetResourceModule(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    AppFxTermExtensionModule(&g_extension);
  }
  return TRUE;
}

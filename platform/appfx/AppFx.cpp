#include <windows.h>
#include <algorithm>
#include <vector>
#include "AppFx.h"
#include "CLockable.h"

namespace {

// Changed from the loader (library entries, under the loader lock), read
// from any thread: the lock is held only to copy or change the list, never
// across a resource call.
class CResourceChain {
public:
  CResourceChain() { InitializeCriticalSection(&m_lock); }

  void Join(HINSTANCE module) {
    CCriticalSectionGuard guard(m_lock);
    if (std::find(m_modules.begin(), m_modules.end(), module) == m_modules.end()) m_modules.push_back(module);
  }
  void Leave(HINSTANCE module) {
    CCriticalSectionGuard guard(m_lock);
    m_modules.erase(std::remove(m_modules.begin(), m_modules.end(), module), m_modules.end());
  }
  void SetHost(HINSTANCE resource) {
    CCriticalSectionGuard guard(m_lock);
    m_host = resource;
  }
  HINSTANCE Host() {
    CCriticalSectionGuard guard(m_lock);
    return m_host ? m_host : GetModuleHandleW(nullptr);
  }
  // The host's module first, then the joined libraries.
  std::vector<HINSTANCE> Modules() {
    std::vector<HINSTANCE> modules(1, Host());
    CCriticalSectionGuard guard(m_lock);
    modules.insert(modules.end(), m_modules.begin(), m_modules.end());
    return modules;
  }

private:
  CRITICAL_SECTION m_lock;
  HINSTANCE m_host = nullptr;
  std::vector<HINSTANCE> m_modules;
};

CResourceChain& Chain() {
  static CResourceChain* chain = new CResourceChain();  // outlives every library's detach
  return *chain;
}

}  // namespace

BOOL WINAPI AppFxInitExtensionModule(APPFX_EXTENSION_MODULE* module, HINSTANCE instance) {
  if (!module || !instance) return FALSE;
  if (module->bInitialized) return TRUE;
  module->hModule = instance;
  module->hResource = instance;
  module->bInitialized = TRUE;
  return TRUE;
}

BOOL WINAPI AppFxJoinResourceChain(APPFX_EXTENSION_MODULE* module) {
  if (!module || !module->bInitialized || !module->hResource) return FALSE;
  Chain().Join(module->hResource);
  return TRUE;
}

void WINAPI AppFxTermExtensionModule(APPFX_EXTENSION_MODULE* module) {
  if (!module || !module->bInitialized) return;
  Chain().Leave(module->hResource);
  module->bInitialized = FALSE;
  module->hModule = nullptr;
  module->hResource = nullptr;
}

void WINAPI AppFxSetResourceHandle(HINSTANCE resource) { Chain().SetHost(resource); }

HINSTANCE WINAPI AppFxGetResourceHandle() { return Chain().Host(); }

HINSTANCE WINAPI AppFxFindResourceHandle(LPCWSTR name, LPCWSTR type) {
  for (HINSTANCE module : Chain().Modules())
    if (FindResourceW(module, name, type)) return module;
  return nullptr;
}

int WINAPI AppFxLoadString(UINT id, LPWSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = 0;
  // Strings are stored sixteen to a block resource.
  HINSTANCE module = AppFxFindResourceHandle(MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6));
  if (!module) return 0;
  return LoadStringW(module, id, buffer, capacity);
}

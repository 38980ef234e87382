#include <windows.h>
#include <objbase.h>
#include "CDialix.h"
#include "DialixModule.h"

namespace {

// Whether the module's own CoInitializeEx succeeded: only then is it
// balanced. On a thread that is already a single-threaded apartment the call
// fails (RPC_E_CHANGED_MODE), and an unbalanced CoUninitialize would take
// COM away from the browser's thread.
bool g_comJoined = false;

nsresult NS_STDCALL ModuleConstructor(nsIModule*) {
  g_comJoined = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  return NS_OK;
}

void NS_STDCALL ModuleDestructor(nsIModule*) {
  if (g_comJoined) ::CoUninitialize();
  g_comJoined = false;
}

nsresult NS_STDCALL GetDialixInterfaces(PRUint32* count, nsIID*** array) {
  *count = 0;
  *array = static_cast<nsIID**>(NS_Alloc(sizeof(nsIID*)));
  if (!*array) return NS_ERROR_OUT_OF_MEMORY;
  (*array)[0] = NS_GET_IID(IOrvexDialix).Clone();
  if (!(*array)[0]) {
    NS_Free(*array);
    *array = nullptr;
    return NS_ERROR_OUT_OF_MEMORY;
  }
  *count = 1;
  return NS_OK;
}

const nsModuleComponentInfo kComponents[] = {
    {"OrvexDialix", DIALIX_XPCOM_CID, DIALIX_XPCOM_CONTRACTID, &CDialix::Construct, nullptr, nullptr, nullptr,
     &GetDialixInterfaces, nullptr, &g_dialixClassInfo, 0}};

const nsModuleInfo kModule = {NS_MODULEINFO_VERSION, "\"xpOrvexDialix\"", kComponents, 1, &ModuleConstructor,
                              &ModuleDestructor};

}  // namespace

nsresult DialixNewModule(nsIModule** result) { return NS_NewGenericModule2(&kModule, result); }

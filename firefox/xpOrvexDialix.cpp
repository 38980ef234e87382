// xpOrvexDialix.dll: the browser's component manager loads it through its
// only export.
#include <windows.h>
#include "DialixModule.h"

extern "C" __declspec(dllexport) nsresult NSGetModule(nsIComponentManager*, nsIFile*, nsIModule** result) {
  return DialixNewModule(result);
}

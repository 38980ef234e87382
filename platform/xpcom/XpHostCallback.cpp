#include <windows.h>
#include <cwchar>
#include "XpHostCallback.h"

namespace XpHost {

DWORD g_browserThread = 0;

const char* ThreadName() { return ::GetCurrentThreadId() == g_browserThread ? "browser" : "other"; }

std::wstring Text(const nsAString& text) {
  const PRUnichar* data = nullptr;
  PRUint32 length = NS_StringGetData(text, &data, nullptr);
  return std::wstring(data, length);
}

std::wstring IdText(const nsIID& id) {
  wchar_t text[40];
  swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(id.m0),
           id.m1, id.m2, id.m3[0], id.m3[1], id.m3[2], id.m3[3], id.m3[4], id.m3[5], id.m3[6], id.m3[7]);
  return text;
}

}  // namespace XpHost

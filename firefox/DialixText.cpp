#include <windows.h>
#include <string>
#include "DialixText.h"

nsresult DialixAssign(nsAString& target, BSTR text) {
  return NS_StringSetData(target, text ? text : L"", PR_UINT32_MAX);
}

CComBSTR DialixToBstr(const nsAString& text) {
  const PRUnichar* data = nullptr;
  PRUint32 length = NS_StringGetData(text, &data, nullptr);
  std::wstring wide(data ? data : L"", data ? length : 0);
  return CComBSTR(wide.c_str());
}

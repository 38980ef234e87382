// xpcom.dll: the runtime's memory and string functions. The component and
// its host both allocate through here, so either may free what the other made.
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#define XPCOM_BUILDING_DLL
#include "XpcomString.h"

XPCOM_API void* NS_Alloc(PRSize size) { return std::malloc(size ? size : 1); }

XPCOM_API void NS_Free(void* block) { std::free(block); }

XPCOM_API nsresult NS_StringContainerInit(nsStringContainer& container) {
  container.mData = nullptr;
  container.mLength = 0;
  container.mFlags = 0;
  return NS_OK;
}

XPCOM_API void NS_StringContainerFinish(nsStringContainer& container) {
  NS_Free(container.mData);
  container.mData = nullptr;
  container.mLength = 0;
}

XPCOM_API PRUint32 NS_StringGetData(const nsAString& text, const PRUnichar** data, PRBool* terminated) {
  static const PRUnichar empty[1] = {0};
  if (data) *data = text.mData ? text.mData : empty;
  if (terminated) *terminated = PR_TRUE;
  return text.mLength;
}

XPCOM_API nsresult NS_StringSetData(nsAString& text, const PRUnichar* data, PRUint32 length) {
  if (!data) length = 0;
  else if (length == PR_UINT32_MAX) length = static_cast<PRUint32>(wcslen(data));
  PRUnichar* copy = static_cast<PRUnichar*>(NS_Alloc((static_cast<size_t>(length) + 1) * sizeof(PRUnichar)));
  if (!copy) return NS_ERROR_OUT_OF_MEMORY;
  if (length) memcpy(copy, data, length * sizeof(PRUnichar));
  copy[length] = 0;
  NS_Free(text.mData);
  text.mData = copy;
  text.mLength = length;
  return NS_OK;
}

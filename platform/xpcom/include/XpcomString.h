#pragma once
#include <windows.h>
#include "XpcomTypes.h"

#ifdef XPCOM_BUILDING_DLL
#define XPCOM_API extern "C" __declspec(dllexport)
#else
#define XPCOM_API extern "C" __declspec(dllimport)
#endif

// A string of the runtime: its storage belongs to xpcom.dll, which alone
// reads these fields. Component and host share that library's heap.
class nsAString {
public:
  PRUnichar* mData;
  PRUint32 mLength;
  PRUint32 mFlags;

protected:
  nsAString() : mData(nullptr), mLength(0), mFlags(0) {}
  ~nsAString() {}
};

class nsStringContainer : public nsAString {};

XPCOM_API void* NS_Alloc(PRSize size);
XPCOM_API void NS_Free(void* block);
XPCOM_API nsresult NS_StringContainerInit(nsStringContainer& container);
XPCOM_API void NS_StringContainerFinish(nsStringContainer& container);
// The text and its length; *terminated says whether a zero follows it.
XPCOM_API PRUint32 NS_StringGetData(const nsAString& text, const PRUnichar** data,
                                    PRBool* terminated);
// length PR_UINT32_MAX: up to the first zero.
XPCOM_API nsresult NS_StringSetData(nsAString& text, const PRUnichar* data, PRUint32 length);

// A string container for the scope: the glue's string.
class nsString : public nsStringContainer {
public:
  nsString() { NS_StringContainerInit(*this); }
  explicit nsString(const PRUnichar* text) : nsString() { NS_StringSetData(*this, text, PR_UINT32_MAX); }
  ~nsString() { NS_StringContainerFinish(*this); }
  nsString(const nsString&) = delete;
  nsString& operator=(const nsString&) = delete;

  const PRUnichar* Data() const {
    const PRUnichar* data = nullptr;
    NS_StringGetData(*this, &data, nullptr);
    return data;
  }
  PRUint32 Length() const { return NS_StringGetData(*this, nullptr, nullptr); }
};

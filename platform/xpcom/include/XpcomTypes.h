#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The few types of the browser's component runtime that the Firefox component
// and its test host use. Result codes share the COM code space, so a service
// result passes through as it is.
typedef int32_t PRInt32;
typedef uint32_t PRUint32;
typedef int64_t PRInt64;
typedef uint16_t PRUint16;
typedef uint8_t PRUint8;
typedef PRInt32 PRBool;
typedef size_t PRSize;
typedef wchar_t PRUnichar;
static_assert(sizeof(PRUnichar) == 2, "the runtime's characters are 16-bit");
#define PR_TRUE 1
#define PR_FALSE 0
#define PR_UINT32_MAX 0xFFFFFFFFu

typedef PRInt32 nsresult;
typedef PRUint32 nsrefcnt;

#define NS_OK 0
#define NS_SUCCEEDED(rv) ((rv) >= 0)
#define NS_FAILED(rv) ((rv) < 0)
#define NS_ERROR_NOT_INITIALIZED static_cast<nsresult>(0xC1F30001)
#define NS_ERROR_INVALID_ARG static_cast<nsresult>(0x80070057)
#define NS_ERROR_NO_INTERFACE static_cast<nsresult>(0x80004002)
#define NS_ERROR_NULL_POINTER static_cast<nsresult>(0x80004003)
#define NS_ERROR_NOT_IMPLEMENTED static_cast<nsresult>(0x80004001)
#define NS_ERROR_FAILURE static_cast<nsresult>(0x80004005)
#define NS_ERROR_OUT_OF_MEMORY static_cast<nsresult>(0x8007000E)
#define NS_ERROR_NO_AGGREGATION static_cast<nsresult>(0x80040110)
#define NS_ERROR_FACTORY_NOT_REGISTERED static_cast<nsresult>(0x80040154)

// Interface members use the platform's standard call on i686, like COM.
#if defined(__i386__)
#define NS_STDCALL __stdcall
#else
#define NS_STDCALL
#endif
#define NS_IMETHOD_(type) virtual type NS_STDCALL
#define NS_IMETHOD NS_IMETHOD_(nsresult)
#define NS_IMETHODIMP_(type) type NS_STDCALL
#define NS_IMETHODIMP NS_IMETHODIMP_(nsresult)
#define NS_CALLBACK(name) nsresult(NS_STDCALL* name)

// An interface or class id, laid out as a GUID.
struct nsID {
  PRUint32 m0;
  PRUint16 m1;
  PRUint16 m2;
  PRUint8 m3[8];

  bool Equals(const nsID& other) const {
    return m0 == other.m0 && m1 == other.m1 && m2 == other.m2 &&
           memcmp(m3, other.m3, sizeof(m3)) == 0;
  }
  // A copy allocated with NS_Alloc (the glue's); null when out of memory.
  nsID* Clone() const;
};
static_assert(sizeof(nsID) == sizeof(GUID), "an id is a GUID");
typedef nsID nsIID;
typedef nsID nsCID;
typedef const nsIID& nsIIDRef;
typedef const nsIID& REFNSIID;

inline const nsID& AsNsID(const GUID& id) { return reinterpret_cast<const nsID&>(id); }
inline const GUID& AsGuid(const nsID& id) { return reinterpret_cast<const GUID&>(id); }

// Every interface answers its id through NS_GET_IID.
#define NS_DEFINE_IID_ACCESSOR(l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7)               \
  static const nsIID& GetIID() {                                                        \
    static const nsIID id = {l, w1, w2, {b0, b1, b2, b3, b4, b5, b6, b7}};              \
    return id;                                                                          \
  }
#define NS_GET_IID(I) (I::GetIID())

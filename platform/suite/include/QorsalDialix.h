#pragma once
#include <windows.h>

// The suite connection-manager library's information readers, as the wizard
// and the support-setup library call them. Texts live in the objects
// themselves: each module links its own runtime, so no library object
// crosses the library's boundary.

#ifdef QORSAL_DIALIX_EXPORTS
#define QORSALAPI __declspec(dllexport)
#else
#define QORSALAPI __declspec(dllimport)
#endif

// Where the suite keeps what the readers answer: HKLM, values "Norvel" (the
// suite information text) and "UIManufacturer".
#define QORSAL_DIALIX_KEY L"SOFTWARE\\Qorsal\\Dialix"

// The suite information text; the fixed text below when the suite has none.
class QORSALAPI CNorvelInfoReader {
public:
  CNorvelInfoReader();
  // Valid while the reader lives.
  LPCWSTR GetNorvel();

  static const DWORD kCapacity = 260;

private:
  WCHAR m_text[kCapacity];
};

#define QORSAL_DIALIX_DEFAULT_NORVEL L"Qorsal Dialix Suite"

// The suite's user-interface information, read once by ReadNorvel.
class QORSALAPI CNorvel2InfoReader {
public:
  CNorvel2InfoReader();
  // FALSE when the suite keeps no information.
  BOOL ReadNorvel();
  // Null when the suite names no manufacturer; valid while the reader lives.
  LPCWSTR GetUIManufacturer() const;

  static const DWORD kCapacity = 128;

private:
  BOOL m_hasManufacturer;
  WCHAR m_manufacturer[kCapacity];
};

// Error reporting of the suite's programs; called once at start.
extern "C" QORSALAPI void WINAPI SutrelInitializeWER();

// The suite's language and its writing direction.
class QORSALAPI CRTLHelper {
public:
  // The language id text (such as "ENG") under root\keyPath\valueName, cut
  // to the capacity and terminated; FALSE and an empty text when missing.
  static BOOL GetLangID(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, LPWSTR langId, DWORD capacity);

  explicit CRTLHelper(LPCWSTR langId);
  // True for a language written from right to left.
  BOOL IsRTL() const;

  static const DWORD kCapacity = 16;

private:
  WCHAR m_langId[kCapacity];
};

// The suite UI library's module-wide settings: the module its bitmaps come
// from and the layout of its windows.
class QORSALAPI CXeluLib {
public:
  // The skin module, or the program when it has none.
  static void Init(HINSTANCE program, HINSTANCE skin);
  static HINSTANCE m_hInstRes;
  static DWORD m_dwLayout;  // 1: right to left
};

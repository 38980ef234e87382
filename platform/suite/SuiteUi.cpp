#include <windows.h>
#include <string>
#include "QorsalDialix.h"
#include "ZCLText.h"

HINSTANCE CXeluLib::m_hInstRes = nullptr;
DWORD CXeluLib::m_dwLayout = 0;

namespace {
LONG g_werInitialized = 0;

// Language ids the suite writes from right to left.
const wchar_t* const kRightToLeft[] = {L"ARA", L"HEB", L"FAR", L"URD"};
}  // namespace

// Error reporting needs nothing from the system here; the call is counted
// once so that a second one does nothing.
void WINAPI SutrelInitializeWER() { InterlockedExchange(&g_werInitialized, 1); }

BOOL CRTLHelper::GetLangID(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, LPWSTR langId, DWORD capacity) {
  if (!langId || capacity == 0) return FALSE;
  langId[0] = 0;
  std::wstring value;
  if (!keyPath || !valueName || !ZCLReadRegistryString(root, keyPath, valueName, &value) || value.empty())
    return FALSE;
  lstrcpynW(langId, value.c_str(), static_cast<int>(capacity));
  return TRUE;
}

CRTLHelper::CRTLHelper(LPCWSTR langId) { lstrcpynW(m_langId, langId ? langId : L"", kCapacity); }

BOOL CRTLHelper::IsRTL() const {
  for (const wchar_t* rtl : kRightToLeft)
    if (lstrcmpiW(m_langId, rtl) == 0) return TRUE;
  return FALSE;
}

void CXeluLib::Init(HINSTANCE program, HINSTANCE skin) { m_hInstRes = skin ? skin : program; }

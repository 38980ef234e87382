#include <windows.h>
#include "COperation.h"

HRESULT CopyOperationText(const std::wstring& text, BSTR* copy) {
  if (!copy) return E_POINTER;
  *copy = ::SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
  return *copy ? S_OK : E_OUTOFMEMORY;
}

void StoreOperationText(BSTR text, std::wstring& stored) {
  stored = text ? std::wstring(text) : std::wstring();
}

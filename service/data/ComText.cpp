#include <windows.h>
#include "ComText.h"

HRESULT CopyComText(const wchar_t* text, BSTR* copy) {
  if (!copy) return E_POINTER;
  *copy = ::SysAllocString(text ? text : L"");
  return *copy ? S_OK : E_OUTOFMEMORY;
}

#include <windows.h>
#include "COperation.h"

void StoreOperationText(BSTR text, std::wstring& stored) {
  stored = text ? std::wstring(text) : std::wstring();
}

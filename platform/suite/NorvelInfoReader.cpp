#include <windows.h>
#include <string>
#include "QorsalDialix.h"
#include "ZCLText.h"

namespace {

// The value cut to the capacity; false when it is missing or empty.
bool ReadSuiteValue(const wchar_t* name, WCHAR* out, DWORD capacity) {
  std::wstring value;
  if (!ZCLReadRegistryString(HKEY_LOCAL_MACHINE, QORSAL_DIALIX_KEY, name, &value) || value.empty()) return false;
  lstrcpynW(out, value.c_str(), static_cast<int>(capacity));
  return true;
}

}  // namespace

CNorvelInfoReader::CNorvelInfoReader() { m_text[0] = 0; }

LPCWSTR CNorvelInfoReader::GetNorvel() {
  if (!ReadSuiteValue(L"Norvel", m_text, kCapacity)) lstrcpynW(m_text, QORSAL_DIALIX_DEFAULT_NORVEL, kCapacity);
  return m_text;
}

CNorvel2InfoReader::CNorvel2InfoReader() : m_hasManufacturer(FALSE) { m_manufacturer[0] = 0; }

BOOL CNorvel2InfoReader::ReadNorvel() {
  m_hasManufacturer = ReadSuiteValue(L"UIManufacturer", m_manufacturer, kCapacity) ? TRUE : FALSE;
  if (!m_hasManufacturer) m_manufacturer[0] = 0;
  return m_hasManufacturer;
}

LPCWSTR CNorvel2InfoReader::GetUIManufacturer() const { return m_hasManufacturer ? m_manufacturer : nullptr; }

#include <windows.h>
#include "SuiteManufacturer.h"
#include "QorsalDialix.h"

std::wstring SuiteManufacturer() {
  CNorvel2InfoReader reader;
  reader.ReadNorvel();
  LPCWSTR name = reader.GetUIManufacturer();
  return name && *name ? std::wstring(name) : std::wstring(L"Orvex");
}

std::wstring SuiteKey(const std::wstring& manufacturer) { return L"SOFTWARE\\" + manufacturer + L"\\Sutrel"; }

#pragma once
#include <windows.h>
#include <string>

// The suite's manufacturer as the wizard names it in registry keys and
// folders: the suite information's text, or "Orvex" when it gives none, so
// that no key or folder is ever built from an empty name.
std::wstring SuiteManufacturer();

// "SOFTWARE\<manufacturer>\Sutrel".
std::wstring SuiteKey(const std::wstring& manufacturer);

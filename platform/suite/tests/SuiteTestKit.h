#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "ZCLHandle.h"

// The tests' program folder: bin, with the skin module in "Pairwell".
inline std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = L"";
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// The default skin module as the wizard loads it: as data only.
class SkinModuleTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::wstring path = ProgramFolder() + L"\\Pairwell\\Resource_Default.OGR";
    m_skin.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(m_skin.IsValid()) << "no skin module beside the tests";
  }
  HINSTANCE Skin() const { return static_cast<HINSTANCE>(m_skin.Get()); }
  CModuleHandle m_skin;
};

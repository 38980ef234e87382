#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "SimTestSupport.h"

// A scratch phone world with the phone-data server registered, the pause
// between busy answers recorded instead of slept, and phones made to order.
namespace SupportTesting {

const DWORD kFirstGroup = 0x2000010;
const DWORD kSecondGroup = 0x2000020;
const DWORD kOtherGroup = 0x2000040;
const DWORD kExamined = 0x20;

class SupportTest : public ::testing::Test {
public:
  // The pauses the installation asked for, in order.
  static std::vector<DWORD>& Pauses();

protected:
  void SetUp() override;
  void TearDown() override;

  // A connected phone of the type code and capability byte.
  void Plug(const std::wstring& serial, const std::wstring& model, DWORD typeCode, DWORD capabilities);
  void Versions(const std::wstring& serial, const std::wstring& component, const std::vector<std::wstring>& texts);
  std::vector<std::wstring> PackageNames(const std::wstring& serial);
  // The count left of an injected failure (0 when none is left).
  DWORD FaultsLeft(const std::string& entry);
  // True when neither family of the connectivity library is initialised.
  bool LibraryTerminated();

  PhoneSim::Testing::CScratchWorld m_scratch;
  std::unique_ptr<PhoneSim::CPhoneWorld> m_world;
};

// The stand-in package the build wrote, its bytes.
std::string PackageBytes(const std::wstring& fileName);
std::wstring TempPath(const std::wstring& fileName);

}  // namespace SupportTesting

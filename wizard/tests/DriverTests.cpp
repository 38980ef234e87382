#include <windows.h>
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include "DriverInstall.h"
#include "SimTestSupport.h"
#include "TrelkApi.h"
#include "ZCLText.h"

// Ordinal 400 of the connectivity library, on a handle the file-system
// binding opened.

namespace {

using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

TEST(DriverInstall, OrdinalFourHundredPutsTheFileIntoThePhonesPackages) {
  CScratchWorld world;
  ASSERT_EQ(RunPhonectl(L"plug DRV1 --name Driver --conn 4,cable,,501"), 0u);
  ASSERT_EQ(FSKOR_Initialize(30, 0), 0u);
  DWORD fileSystem = 0, number = 0;
  ASSERT_EQ(LNYXOpenFS(L"DRV1", 1, &fileSystem, &number), 0u);
  std::wstring path = world.Folder() + L"\\enhancement.sis";
  {
    std::ofstream file(ZCLWideToAnsi(path.c_str()), std::ios::binary);
    file << "driver bytes";
  }
  EXPECT_EQ(InstallFileOnPhone(fileSystem, path.c_str()), 0u);
  EXPECT_EQ(LNYXCloseFS(fileSystem), 0u);
  EXPECT_EQ(FSKOR_Terminate(0), 0u);
  std::string packages;
  ASSERT_EQ(RunPhonectl(L"packages DRV1", &packages), 0u);
  EXPECT_NE(packages.find("enhancement.sis"), std::string::npos) << packages;
}

}  // namespace

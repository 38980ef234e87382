#include <windows.h>
#include <gtest/gtest.h>
#include <cstring>
#include "LanyxImports.h"
#include "SupportOperations.h"
#include "SupportTestSupport.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"

// Package installation: which packages go to the phone and in what order,
// the busy installer, and the temporary package files.

namespace SupportTesting {
namespace {

using namespace SutrelSupport;

class SupportInstallTest : public SupportTest {
protected:
  std::string Installed(const std::wstring& serial, const std::wstring& name) {
    std::string bytes;
    m_world->ReadPackage(serial, name, &bytes);
    return bytes;
  }
  void ExpectNoTempPackages() {
    for (const wchar_t* name : {L"sutrel_support.SIS", L"Kalvosync.SIS", L"Kalvomms.sis"})
      EXPECT_EQ(GetFileAttributesW(TempPath(name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
  }
};

TEST_F(SupportInstallTest, TheBuildWritesThePackagesAtTheirSizes) {
  std::string support = PackageBytes(L"sutrel_support.SIS");
  EXPECT_EQ(support.size(), 31723u);
  EXPECT_EQ(support.compare(0, 31, "STAND-IN PHONE PACKAGE id=1003\n"), 0);
  EXPECT_EQ(PackageBytes(L"Kalvosync.SIS").size(), 17816u);
  EXPECT_EQ(PackageBytes(L"Kalvomms.sis").size(), 8816u);
}

TEST_F(SupportInstallTest, BothFirstGroupFlagsInstallOnlyTheSupportPackage) {
  Plug(L"B", L"Both", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"Both");
  m_world->AddToCategory(L"MF", L"Both");
  Versions(L"B", L"Text Messages", {L"1.0"});
  Versions(L"B", L"Multimedia Messages", {L"0.5"});
  ASSERT_EQ(Install(L"B", 0), S_OK);
  EXPECT_EQ(PackageNames(L"B"), std::vector<std::wstring>({L"sutrel_support.SIS"}));
  EXPECT_EQ(Installed(L"B", L"sutrel_support.SIS"), PackageBytes(L"sutrel_support.SIS"));
  std::vector<PhoneSim::CPhoneWorld::CPackage> packages = m_world->ListPackages(L"B");
  ASSERT_EQ(packages.size(), 1u);
  EXPECT_EQ(packages[0].size, 31723u);
  EXPECT_EQ(packages[0].options, LNYX_INSTALL_OPTIONS);
  ExpectNoTempPackages();
}

TEST_F(SupportInstallTest, AllFlagsInstallTheSupportPackageThenTheProviderThenRefresh) {
  Plug(L"A", L"All", kSecondGroup, 0);
  // Install's own initialisation, which the last step runs inside.
  ASSERT_EQ(SutrelLnyxInitialize(SutrelLnyxSuiteVersion(L"suite", 0)), 0u);
  InstallPackagesFor(L"A", 1, 1, 1);
  EXPECT_EQ(PackageNames(L"A"), std::vector<std::wstring>({L"sutrel_support.SIS", L"Kalvomms.sis"}));
  EXPECT_EQ(m_world->PhoneDataRefreshes(L"A"), 1u);
  InstallPackagesFor(L"A", 1, 0, 0);
  SutrelLnyxTerminate(0);
  EXPECT_EQ(PackageNames(L"A"), std::vector<std::wstring>({L"sutrel_support.SIS", L"Kalvomms.sis", L"Kalvosync.SIS"}));
  ExpectNoTempPackages();
}

TEST_F(SupportInstallTest, TheForcedPathInstallsTheProviderOnASecondGroupPhoneBelowAThousand) {
  Plug(L"S", L"Second", kSecondGroup, 0);
  Versions(L"S", L"Multimedia Messages", {L"999"});
  ASSERT_EQ(Install(L"S", 0), S_OK);
  EXPECT_TRUE(PackageNames(L"S").empty());
  ASSERT_EQ(Install(L"S", kInstallForced), S_OK);
  EXPECT_EQ(PackageNames(L"S"), std::vector<std::wstring>({L"Kalvomms.sis"}));
  EXPECT_EQ(Installed(L"S", L"Kalvomms.sis"), PackageBytes(L"Kalvomms.sis"));

  Plug(L"K", L"Thousand", kSecondGroup, 0);
  Versions(L"K", L"Multimedia Messages", {L"1000"});
  ASSERT_EQ(Install(L"K", kInstallForced), S_OK);
  EXPECT_TRUE(PackageNames(L"K").empty());
}

TEST_F(SupportInstallTest, ABusyInstallerGetsExactlyTwentyFourAttempts) {
  Plug(L"T", L"Busy", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"Busy");
  Versions(L"T", L"Text Messages", {L"1.0"});
  m_world->InjectFault("LNYXInstallApplication", ELNYX_DEVICE_INSTALLER_BUSY, 25);
  ASSERT_EQ(Install(L"T", 0), S_OK);
  EXPECT_EQ(FaultsLeft("LNYXInstallApplication"), 1u);
  EXPECT_EQ(Pauses(), std::vector<DWORD>(24, kBusyPauseMs));
  EXPECT_TRUE(PackageNames(L"T").empty());
  ExpectNoTempPackages();
  EXPECT_TRUE(LibraryTerminated());

  // A phone whose installer frees up in time gets the package.
  m_world->ClearFaults();
  Pauses().clear();
  m_world->InjectFault("LNYXInstallApplication", ELNYX_DEVICE_INSTALLER_BUSY, 3);
  ASSERT_EQ(Install(L"T", 0), S_OK);
  EXPECT_EQ(Pauses().size(), 3u);
  EXPECT_EQ(PackageNames(L"T"), std::vector<std::wstring>({L"Kalvosync.SIS"}));
}

TEST_F(SupportInstallTest, AReadOnlyLeftoverOfTheSameNameIsReplaced) {
  Plug(L"T", L"Leftover", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"Leftover");
  Versions(L"T", L"Text Messages", {L"1.5"});
  std::wstring leftover = TempPath(L"Kalvosync.SIS");
  {
    CHandle file(CreateFileW(leftover.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY,
                             nullptr));
    ASSERT_TRUE(file.IsValid());
    DWORD written = 0;
    WriteFile(file.Get(), "old", 3, &written, nullptr);
  }
  ASSERT_EQ(Install(L"T", 0), S_OK);
  EXPECT_EQ(Installed(L"T", L"Kalvosync.SIS"), PackageBytes(L"Kalvosync.SIS"));
  ExpectNoTempPackages();
}

TEST_F(SupportInstallTest, AFailedExtractionLeavesAnEmptyPathAndDeletesNothing) {
  std::wstring victim = TempPath(L"sutrel-victim.txt");
  {
    CHandle file(CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
  }
  wchar_t path[kPathChars] = {0};
  wcscpy(path, victim.c_str());  // what an earlier package left in the buffer
  EXPECT_FALSE(ExtractPackage(4242, L"none.SIS", path));
  EXPECT_EQ(path[0], L'\0');
  DeleteTempPackage(path);
  DeleteTempPackage(nullptr);
  EXPECT_NE(GetFileAttributesW(victim.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(victim.c_str());
}

TEST_F(SupportInstallTest, ATemporaryFolderTooLongForTheBufferFailsTheExtraction) {
  wchar_t saved[MAX_PATH + 1] = {0};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
  std::wstring longFolder = L"C:\\" + std::wstring(245, L'x') + L"\\";
  SetEnvironmentVariableW(L"TMP", longFolder.c_str());
  SetEnvironmentVariableW(L"TEMP", longFolder.c_str());
  struct {
    wchar_t path[kPathChars];
    wchar_t canary[8];
  } guarded;
  wmemset(guarded.canary, L'#', 8);
  bool extracted = ExtractPackage(kPackageSupport, L"sutrel_support.SIS", guarded.path);
  SetEnvironmentVariableW(L"TMP", saved);
  SetEnvironmentVariableW(L"TEMP", saved);
  EXPECT_FALSE(extracted);
  EXPECT_EQ(guarded.path[0], L'\0');
  for (wchar_t c : guarded.canary) EXPECT_EQ(c, L'#');
}

BOOL WINAPI ShortWrite(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size / 2, written, nullptr);
}

TEST_F(SupportInstallTest, AShortWriteFailsTheExtractionAndDeletesTheFile) {
  SetWriteFunction(ShortWrite);
  wchar_t path[kPathChars] = {0};
  EXPECT_FALSE(ExtractPackage(kPackageTextSync, L"Kalvosync.SIS", path));
  SetWriteFunction(nullptr);
  ExpectNoTempPackages();

  Plug(L"T", L"Short", kFirstGroup, kExamined);
  m_world->AddToCategory(L"TAVO", L"Short");
  SetWriteFunction(ShortWrite);
  EXPECT_EQ(Install(L"T", 0), S_OK);
  SetWriteFunction(nullptr);
  EXPECT_TRUE(PackageNames(L"T").empty());
  ExpectNoTempPackages();
}

TEST_F(SupportInstallTest, AnExtractedPackageHoldsExactlyTheResource) {
  wchar_t path[kPathChars] = {0};
  ASSERT_TRUE(ExtractPackage(kPackageProvider, L"Kalvomms.sis", path));
  EXPECT_EQ(std::wstring(path), TempPath(L"Kalvomms.sis"));
  std::string bytes;
  {
    CHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  }
  EXPECT_EQ(bytes, PackageBytes(L"Kalvomms.sis"));
  DeleteTempPackage(path);
  ExpectNoTempPackages();
}

}  // namespace
}  // namespace SupportTesting

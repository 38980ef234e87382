#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "LanyxTest.h"
#include "SimTestSupport.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"
#include "ZCLWait.h"

// The connectivity library's export table (names and ordinals), its
// file-system family and application installer, and phonectl's commands on
// packages and phone data.

namespace PhoneSim {
namespace {

using Testing::CScratchWorld;
using Testing::RunPhonectl;

class PhoneFileSystemTest : public Testing::CLanyxTest {
protected:
  // The family's lifetime and handle entries, looked up by name.
  struct FileSystem {
    decltype(&FSKOR_Initialize) init;
    decltype(&FSKOR_Terminate) term;
    decltype(&LNYXOpenFS) open;
    decltype(&LNYXCloseFS) close;
  };
  FileSystem Family() {
    return {Named<decltype(FSKOR_Initialize)>("FSKOR_Initialize"), Named<decltype(FSKOR_Terminate)>("FSKOR_Terminate"),
            Named<decltype(LNYXOpenFS)>("LNYXOpenFS"), Named<decltype(LNYXCloseFS)>("LNYXCloseFS")};
  }
  std::wstring WriteTempFile(const std::wstring& name, const std::string& bytes) {
    wchar_t folder[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + name;
    CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return path;
  }
};

TEST_F(PhoneFileSystemTest, TheOrdinalsNameTheEntriesTheyStandFor) {
  const struct {
    WORD ordinal;
    const char* name;
  } table[] = {{200, "LNYXOpenDM"},        {201, "LNYXCloseDM"},
               {204, "LNYXGetDevice"},     {205, "LNYXFreeDeviceStructure"},
               {212, "LNYXGetDeviceInfo"}, {213, "LNYXFreeDeviceInfoStructure"},
               {300, "LNYXOpenFS"},        {301, "LNYXCloseFS"},
               {400, "LNYXInstallApplication"}};
  for (const auto& e : table) {
    SCOPED_TRACE(e.name);
    ASSERT_NE(Entry(e.name), nullptr);
    EXPECT_EQ(Ordinal(e.ordinal), Entry(e.name));
  }
  for (WORD nameless : {10, 11, 12}) EXPECT_NE(Ordinal(nameless), nullptr) << nameless;
}

TEST_F(PhoneFileSystemTest, EveryNameCallersBindStaysExported) {
  for (const char* name :
       {"RUVON_Initialize", "RUVON_Terminate", "RUVON_GetAPIVersion", "LNYXOpenDM", "LNYXCloseDM",
        "LNYXSetDeviceListOption", "LNYXGetDeviceCount", "LNYXGetDevices", "LNYXGetDevice", "LNYXFreeDeviceStructure",
        "LNYXRefreshDeviceList", "LNYXRenameFriendlyName", "LNYXRegisterNotifyCallback", "LNYXRegisterDMNotifyIF",
        "LNYXSearchDevices", "LNYXFreeConnectionInfoStructures", "LNYXChangeDeviceTrustedState", "LNYXGetDeviceInfo",
        "LNYXFreeDeviceInfoStructure", "LNYXModemConfig", "LNYXFreeModemConfigData", "FSKOR_Initialize",
        "FSKOR_Terminate", "FSKOR_GetAPIVersion", "LNYXRegisterFSNotifyCallback", "LNYXRegisterFSNotifyIF",
        "LNYXRefreshDeviceMemoryValues", "LNYXGetMemoryTypes", "LNYXGetMemoryValues", "LNYXSetCurrentFolder",
        "LNYXGetCurrentFolder", "LNYXFindBegin", "LNYXFindNextFolder", "LNYXFindNextFile", "LNYXFindEnd",
        "LNYXFreeFolderInfoStructure", "LNYXAllocFileDataMemory", "LNYXGetConvertFileTypes", "LNYXCreateFolder",
        "LNYXDeleteFolder", "LNYXRenameFolder", "LNYXGetFolderInfo", "LNYXGetFileInfo", "LNYXDeleteFile",
        "LNYXMoveFile", "LNYXCopyFile", "LNYXRenameFile", "LNYXReadFile", "LNYXWriteFile", "LNYXCancel",
        "LNYXFreeFileInfoStructure", "LNYXFreeFolderContentStructure", "LNYXFreeFileDataMemory", "LNYXConvertFile",
        "LNYXFreeConvertFileTypes"})
    EXPECT_NE(Entry(name), nullptr) << name;
  for (const char* nameless : {"LanyxSuiteApiVersion", "LanyxSuiteInitialize", "LanyxSuiteTerminate"})
    EXPECT_EQ(Entry(nameless), nullptr) << nameless;
}

TEST_F(PhoneFileSystemTest, TheSuiteOrdinalsInitialiseAndTerminateBothFamilies) {
  typedef DWORD WINAPI Version(const WCHAR*, DWORD);
  typedef DWORD WINAPI Single(DWORD);
  Version* version = reinterpret_cast<Version*>(reinterpret_cast<void*>(Ordinal(12)));
  Single* initialize = reinterpret_cast<Single*>(reinterpret_cast<void*>(Ordinal(10)));
  Single* terminate = reinterpret_cast<Single*>(reinterpret_cast<void*>(Ordinal(11)));
  auto openDM = Named<decltype(LNYXOpenDM)>("LNYXOpenDM");
  auto openFS = Named<decltype(LNYXOpenFS)>("LNYXOpenFS");
  EXPECT_EQ(version(L"", 0), 0u);
  EXPECT_EQ(version(nullptr, 0), 0u);
  DWORD api = version(L"Qorsal Dialix Suite", 0);
  EXPECT_EQ(api, FSKOR_API_VERSION);
  EXPECT_NE(initialize(0), 0u);

  ASSERT_EQ(initialize(api), 0u);
  DWORD dm = 0, fs = 0, number = 0;
  EXPECT_EQ(openDM(&dm), 0u);
  EXPECT_EQ(openFS(L"P", 1, &fs, &number), 0u);
  EXPECT_EQ(number, 5u);
  EXPECT_EQ(terminate(0), 0u);
  EXPECT_EQ(openDM(&dm), ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(openFS(L"P", 1, &fs, &number), ELNYX_NOT_INITIALIZED);

  // A file system that cannot start leaves device management alone too.
  m_world->InjectFault("FSKOR_Initialize", ELNYX_INIT_FAILED, 1);
  EXPECT_EQ(initialize(api), ELNYX_INIT_FAILED);
  EXPECT_EQ(openDM(&dm), ELNYX_NOT_INITIALIZED);
}

// The record the wizard's ending is checked against: a call after its
// family's terminate, or one that a delay held across it, is noted in the world.
TEST_F(PhoneFileSystemTest, CallsAfterTheirFamilysTerminateAreRecorded) {
  auto initialize = Named<decltype(RUVON_Initialize)>("RUVON_Initialize");
  auto terminate = Named<decltype(RUVON_Terminate)>("RUVON_Terminate");
  struct CHeldOpen {
    decltype(&LNYXOpenDM) open;
    DWORD handle = 0;
    DWORD result = 0;
    static DWORD WINAPI Run(LPVOID parameter) {
      auto* self = static_cast<CHeldOpen*>(parameter);
      self->result = self->open(&self->handle);
      return 0;
    }
  } held{Named<decltype(LNYXOpenDM)>("LNYXOpenDM")};
  DWORD dm = 0;
  ASSERT_EQ(initialize(30, 0), 0u);
  EXPECT_EQ(held.open(&dm), 0u);
  m_world->InjectDelay("LNYXOpenDM", 60000, 1);
  CHandle thread(CreateThread(nullptr, 0, &CHeldOpen::Run, &held, 0, nullptr));
  ASSERT_TRUE(thread);
  std::string faults;
  ASSERT_TRUE(ZCLWaitUntil([&] { return m_world->ReadFileText(L"faults.txt", &faults) && faults.empty(); }, 20000));
  EXPECT_TRUE(m_world->LateCalls().empty());
  EXPECT_EQ(terminate(0), 0u);
  m_world->ClearFaults();  // ends the delay
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 20000), WAIT_OBJECT_0);
  EXPECT_EQ(held.result, ELNYX_NOT_INITIALIZED);
  EXPECT_EQ(held.open(&dm), ELNYX_NOT_INITIALIZED);
  std::vector<std::string> late = m_world->LateCalls();
  std::string self = "LNYXOpenDM\t" + std::to_string(GetCurrentProcessId());
  EXPECT_EQ(late, (std::vector<std::string>{self, self}));
  // Initialised again, the family's calls are its own business once more.
  ASSERT_EQ(initialize(30, 0), 0u);
  EXPECT_EQ(held.open(&dm), 0u);
  EXPECT_EQ(terminate(0), 0u);
  EXPECT_EQ(m_world->LateCalls().size(), 2u);
}

TEST_F(PhoneFileSystemTest, TheFileSystemOpensOnlyForAConnectedPhone) {
  FileSystem fs = Family();
  auto apiVersion = Named<decltype(FSKOR_GetAPIVersion)>("FSKOR_GetAPIVersion");
  EXPECT_EQ(apiVersion(), 31u);
  EXPECT_EQ(fs.init(29, 0), ELNYX_UNSUPPORTED_API_VERSION);
  EXPECT_EQ(fs.init(32, 0), ELNYX_UNSUPPORTED_API_VERSION);
  ASSERT_EQ(fs.init(30, 0), 0u);
  DWORD handle = 0, number = 0;
  EXPECT_EQ(fs.open(L"nobody", 1, &handle, &number), ELNYX_DEVICE_NOT_FOUND);
  EXPECT_EQ(fs.open(L"P", 1, nullptr, &number), ELNYX_INVALID_POINTER);
  ASSERT_TRUE(m_world->UnplugPhone(L"P"));
  EXPECT_EQ(fs.open(L"P", 1, &handle, &number), ELNYX_DEVICE_NOT_FOUND);
  CPhone phone;
  ASSERT_TRUE(m_world->ReadPhone(L"P", &phone));
  phone.connected = true;
  ASSERT_TRUE(m_world->PlugPhone(phone));
  ASSERT_EQ(fs.open(L"P", 1, &handle, &number), 0u);
  EXPECT_EQ(fs.close(handle), 0u);
  EXPECT_EQ(fs.close(handle), ELNYX_INVALID_HANDLE);
  EXPECT_EQ(fs.term(0), 0u);
  EXPECT_EQ(fs.term(0), ELNYX_NOT_INITIALIZED);
}

TEST_F(PhoneFileSystemTest, TheInstallerKeepsEachFileInThePhonesPackages) {
  FileSystem fs = Family();
  auto install = Named<decltype(LNYXInstallApplication)>("LNYXInstallApplication");
  auto copyFile = Named<DWORD WINAPI(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)>("LNYXCopyFile");
  auto alloc = Named<decltype(LNYXAllocFileDataMemory)>("LNYXAllocFileDataMemory");
  ASSERT_EQ(fs.init(31, 0), 0u);
  DWORD handle = 0, number = 0;
  ASSERT_EQ(fs.open(L"P", 1, &handle, &number), 0u);

  std::string first(3000, 'a'), second = "second";
  first[10] = '\0';
  std::wstring firstPath = WriteTempFile(L"first.SIS", first), secondPath = WriteTempFile(L"second.sis", second);
  const WCHAR* both[] = {firstPath.c_str(), secondPath.c_str()};
  EXPECT_EQ(install(handle, 2, both, LNYX_INSTALL_OPTIONS, 0, 0), 0u);
  const WCHAR* again[] = {firstPath.c_str()};
  EXPECT_EQ(install(handle, 1, again, 7, 0, 0), 0u);  // replaces the first
  std::vector<CPhoneWorld::CPackage> packages = m_world->ListPackages(L"P");
  ASSERT_EQ(packages.size(), 2u);
  EXPECT_EQ(packages[0].name, L"second.sis");
  EXPECT_EQ(packages[0].size, second.size());
  EXPECT_EQ(packages[0].options, LNYX_INSTALL_OPTIONS);
  EXPECT_EQ(packages[1].name, L"first.SIS");
  EXPECT_EQ(packages[1].options, 7u);
  std::string bytes;
  ASSERT_TRUE(m_world->ReadPackage(L"P", L"first.SIS", &bytes));
  EXPECT_EQ(bytes, first);

  const WCHAR* missing[] = {L"C:\\no\\such.SIS"};
  EXPECT_EQ(install(handle, 1, missing, 0, 0, 0), ELNYX_FILE_NOT_FOUND);
  EXPECT_EQ(install(handle + 1000, 1, again, 0, 0, 0), ELNYX_INVALID_HANDLE);
  m_world->InjectFault("LNYXInstallApplication", ELNYX_DEVICE_INSTALLER_BUSY, 2);
  EXPECT_EQ(install(handle, 1, again, 0, 0, 0), ELNYX_DEVICE_INSTALLER_BUSY);
  EXPECT_EQ(install(handle, 1, again, 0, 0, 0), ELNYX_DEVICE_INSTALLER_BUSY);
  EXPECT_EQ(install(handle, 1, again, 0, 0, 0), 0u);
  EXPECT_EQ(copyFile(handle, 0, 0, 0, 0), ELNYX_NOT_SUPPORTED_PC);
  EXPECT_EQ(alloc(16), nullptr);

  ASSERT_TRUE(m_world->UnplugPhone(L"P"));
  EXPECT_EQ(install(handle, 1, again, 0, 0, 0), ELNYX_CONNECTION_LOST);
  EXPECT_EQ(fs.close(handle), 0u);
  EXPECT_EQ(fs.term(0), 0u);
  DeleteFileW(firstPath.c_str());
  DeleteFileW(secondPath.c_str());
}

TEST_F(PhoneFileSystemTest, PhonectlListsPackagesAndEditsThePhoneData) {
  ASSERT_TRUE(m_world->InstallPackage(L"P", L"Kalvosync.SIS", std::string(17816, 'k'), LNYX_INSTALL_OPTIONS));
  std::string output;
  std::wstring world = L"--world \"" + m_scratch.Folder() + L"\" ";
  ASSERT_EQ(RunPhonectl(world + L"packages P", &output), 0u);
  EXPECT_NE(output.find("Kalvosync.SIS\t17816\t0x50010"), std::string::npos) << output;
  EXPECT_EQ(RunPhonectl(world + L"packages nobody", &output), 1u);

  ASSERT_EQ(RunPhonectl(world + L"phonedata version P \"Text Messages\" 1.5 1.7"), 0u);
  ASSERT_EQ(RunPhonectl(world + L"phonedata category TAVO \"Model 1\""), 0u);
  ASSERT_EQ(RunPhonectl(world + L"phonedata absent"), 0u);
  std::wstring version;
  ASSERT_TRUE(m_world->ReadComponentVersion(L"P", L"Text Messages", &version));
  EXPECT_EQ(version, L"1.5");
  m_world->RefreshPhoneData(L"P");
  m_world->RefreshPhoneData(L"P");
  ASSERT_TRUE(m_world->ReadComponentVersion(L"P", L"Text Messages", &version));
  EXPECT_EQ(version, L"1.7");  // the last step stays
  EXPECT_EQ(m_world->ReadCategory(L"TAVO"), std::vector<std::wstring>({L"Model 1"}));
  EXPECT_TRUE(m_world->IsPhoneDataAbsent());
  ASSERT_EQ(RunPhonectl(world + L"phonedata show P", &output), 0u);
  EXPECT_NE(output.find("server absent"), std::string::npos) << output;
  ASSERT_EQ(RunPhonectl(world + L"phonedata present"), 0u);
  EXPECT_FALSE(m_world->IsPhoneDataAbsent());
  EXPECT_EQ(RunPhonectl(world + L"phonedata version nobody X 1"), 1u);
  EXPECT_EQ(RunPhonectl(world + L"phonedata bogus"), 2u);
}

}  // namespace
}  // namespace PhoneSim

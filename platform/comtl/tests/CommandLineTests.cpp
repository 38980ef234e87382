#include <windows.h>
#include <gtest/gtest.h>
#include "TestModule.h"

namespace {

typedef std::vector<std::wstring> Calls;

struct ParseResult {
  bool run;
  HRESULT hr;
  Calls calls;
};

ParseResult Parse(const wchar_t* commandLine, HRESULT hrRegister = S_OK) {
  CTestModule module;
  module.m_hrRegister = hrRegister;
  ParseResult result;
  result.hr = E_UNEXPECTED;
  result.run = module.ParseCommandLine(commandLine, &result.hr);
  result.calls = module.m_calls;
  return result;
}

const Calls kRegister = {L"register"};
const Calls kUnregister = {L"unregister"};

TEST(CommandLine, RegistrationSwitchesInAnyCaseAfterEitherCharacter) {
  ParseResult r = Parse(L"\"C:\\Program Files\\OrvexDialixService.exe\" /RegServer");
  EXPECT_FALSE(r.run);
  EXPECT_EQ(S_OK, r.hr);
  EXPECT_EQ(kRegister, r.calls);

  EXPECT_EQ(kRegister, Parse(L"x.exe /regserver").calls);
  EXPECT_EQ(kRegister, Parse(L"x.exe -REGSERVER").calls);
  EXPECT_EQ(kUnregister, Parse(L"x.exe -unregserver").calls);
  EXPECT_EQ(kUnregister, Parse(L"x.exe /UnregServer\t/more").calls);
}

TEST(CommandLine, OnlyTheFirstSwitchCounts) {
  EXPECT_EQ(kRegister, Parse(L"x.exe /RegServer /UnregServer").calls);
  EXPECT_EQ(kUnregister, Parse(L"x.exe -UnregServer -RegServer").calls);
}

TEST(CommandLine, AWordFollowedByALetterIsNoSwitch) {
  ParseResult r = Parse(L"x.exe /RegServerX");
  EXPECT_TRUE(r.run);
  EXPECT_TRUE(r.calls.empty());
  EXPECT_TRUE(Parse(L"x.exe -UnregServers").run);
  EXPECT_TRUE(Parse(L"x.exe / RegServer").run);
}

TEST(CommandLine, TheServerRunsForThePlatformsSwitchAndForDashesInThePath) {
  EXPECT_TRUE(Parse(L"C:\\x.exe -Embedding").run);
  EXPECT_TRUE(Parse(L"Z:\\work\\h-service\\bin\\x.exe").run);
  EXPECT_TRUE(Parse(L"").run);
  // A dash inside the path does not hide a switch after it.
  EXPECT_EQ(kRegister, Parse(L"Z:\\h-service\\x.exe /RegServer").calls);
}

TEST(CommandLine, TheSwitchsResultIsTheExitCode) {
  ParseResult r = Parse(L"x.exe /RegServer", E_ACCESSDENIED);
  EXPECT_FALSE(r.run);
  EXPECT_EQ(E_ACCESSDENIED, r.hr);
}

}  // namespace

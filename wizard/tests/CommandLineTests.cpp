#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CPairwellApp.h"
#include "CommandLine.h"

namespace {

TEST(CommandLine, NoLauncherAloneLeavesEverythingElseEmpty) {
  CPairwellCommandLine line = ParsePairwellCommandLine(L"/no_la");
  EXPECT_TRUE(line.guid.empty());
  EXPECT_TRUE(line.deviceId.empty());
  EXPECT_FALSE(line.launchAtEnd);
  EXPECT_TRUE(ParsePairwellCommandLine(L"").launchAtEnd);
}

TEST(CommandLine, FirstGuidWinsAndAnyWordHoldingGuidCounts) {
  CPairwellCommandLine line = ParsePairwellCommandLine(L"/guid 00:11:22//guid 33:44:55");
  EXPECT_EQ(line.guid, L"00:11:22");
  EXPECT_EQ(ParsePairwellCommandLine(L"/xguidy AA:BB").guid, L"AA:BB");
  // A guid token without its word does not stop a later one.
  EXPECT_EQ(ParsePairwellCommandLine(L"/guid/guid CC").guid, L"CC");
}

TEST(CommandLine, InstallSupportNeedsItsWord) {
  EXPECT_TRUE(ParsePairwellCommandLine(L"/instsupp").deviceId.empty());
  EXPECT_TRUE(ParsePairwellCommandLine(L"/instsupp   ").deviceId.empty());
  EXPECT_EQ(ParsePairwellCommandLine(L"/instsupp 3544/no_la").deviceId, L"3544");
}

TEST(CommandLine, GuidWithDeviceIsBluetoothModeWithASeparateInstance) {
  CPairwellCommandLine line = ParsePairwellCommandLine(L"/instsupp 3544/guid 00:11:22");
  EXPECT_EQ(line.guid, L"00:11:22");
  EXPECT_EQ(line.deviceId, L"3544");  // kept, but the guid decides the mode
  std::wstring plain = CPairwellApp::ActivationEventName(L"C:\\Program Files\\Sutrel\\Pairwell.exe", false);
  std::wstring bluetooth = CPairwellApp::ActivationEventName(L"C:\\Program Files\\Sutrel\\Pairwell.exe", true);
  EXPECT_EQ(plain, L"c:program filessutrelpairwell.exe");
  EXPECT_EQ(bluetooth, L"c:program filessutrelpairwell.exe btmode");
}

TEST(CommandLine, LongInputIsCutNeverOverrun) {
  std::wstring line = L"/no_la/guid " + std::wstring(290, L'A');
  CPairwellCommandLine parsed = ParsePairwellCommandLine(line.c_str());
  EXPECT_FALSE(parsed.launchAtEnd);
  EXPECT_EQ(parsed.guid, std::wstring(kGuidLimit, L'A'));
  // A guid of 60 characters keeps its first 38.
  std::wstring guid(60, L'G');
  EXPECT_EQ(ParsePairwellCommandLine((L"/guid " + guid).c_str()).guid, guid.substr(0, 38));
  // Whatever lies beyond the 99th character is not read.
  std::wstring late = std::wstring(L"/") + std::wstring(97, L'x') + L"/no_la";
  EXPECT_TRUE(ParsePairwellCommandLine(late.c_str()).launchAtEnd);
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include "CTrelkException.h"
#include "LogFileTest.h"
#include "ZCLException.h"

namespace {

TEST(ResultTextTest, KnownCodesGiveTheirRowsExactly) {
  EXPECT_EQ(LNYXError2String(0), "LNYX_OK: Succeeded");
  EXPECT_EQ(LNYXError2String(0x80100016), "Failed, Called interface was marshalled for a different thread");
  EXPECT_EQ(LNYXError2String(0x8040000A), "ELNYX_FILE_NO_PERMISSION_ON_PC: ELNYX_FILE_NO_PERMISSION_ON_PC");
  EXPECT_EQ(LNYXError2String(0x80500002),
            "ELNYX_FOLDER_PATH_TOO_LONG: Current folder max unicode charaters count is limited to 255.");
  EXPECT_EQ(LNYXError2String(0x80100004), "ELNYX_NOT_INITIALIZED: API is not initialized");
  EXPECT_EQ(LNYXError2String(0x8020000D), "ELNYX_MEDIA_IS_NOT_ACTIVE: Target media is active (or ready yet)");
  EXPECT_EQ(LNYXError2String(0x80700004),
            "ELNYX_SETTINGS_NOT_OK_DEVICE: Device rejected the operation. Sync profile settings might be wrong on "
            "Device.");
  EXPECT_EQ(LNYXError2String(0x8020000E).rfind("ELNYX_PORT_OPEN_FAILED: ", 0), 0u);
}

TEST(ResultTextTest, CodesWithoutARowAreUndefined) {
  for (DWORD code : {0x80100001u, 0x80100003u, 0x80100007u, 0x8010000Fu, 0x80100017u, 0x8010001Fu, 0x8020000Fu,
                     0x802000FFu, 0x80400000u, 0x80100100u, 0x80100101u, 0x00000001u, 0xFFFFFFFFu})
    EXPECT_EQ(LNYXError2String(code), "Undefined error code") << std::hex << code;
}

TEST(ResultTextTest, EveryNamedRowStartsWithItsNameAndColon) {
  const struct {
    DWORD code;
    const char* name;
  } rows[] = {{0x80100005, "ELNYX_UNSUPPORTED_API_VERSION"}, {0x80200102, "ELNYX_DEVICE_PASSWORD_INVALID"},
              {0x80300000, "ELNYX_ALL_LISTED"},             {0x8040000B, "ELNYX_FILE_EXIST"},
              {0x80500008, "ELNYX_FOLDER_NO_PERMISSION_ON_PC"}, {0x80600000, "ELNYX_DEVICE_INSTALLER_BUSY"},
              {0x80700003, "ELNYX_DATABASE_LOCKED_DEVICE"}};
  for (const auto& row : rows) {
    std::string text = LNYXError2String(row.code);
    EXPECT_EQ(text.rfind(std::string(row.name) + ": ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string(row.name).size() + 2) << text;
  }
}

using ThrowOnFailTest = LogFileTest;

TEST_F(ThrowOnFailTest, ZeroReturnsWithoutALogLine) {
  EXPECT_NO_THROW(TrelkThrowOnFail(0));
  for (const std::string& line : NewLines()) EXPECT_EQ(line.find("TrelkThrowOnFail"), std::string::npos) << line;
}

TEST_F(ThrowOnFailTest, SuccessWithAReservationStillThrowsWithItsText) {
  try {
    TrelkThrowOnFail(0x00000100);
    FAIL() << "no exception";
  } catch (const ZCLException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), 0x00000100u);
    EXPECT_EQ(e.GetMessageText(), "LNYX_OK_BUT_USER_ACTION_NEEDED: Operation needs some user action on Device");
  }
  bool logged = false;
  for (const std::string& line : NewLines()) logged |= Body(line) == "TrelkThrowOnFail:: dwResult != LNYX_OK";
  EXPECT_TRUE(logged);
}

TEST_F(ThrowOnFailTest, BindingCodesThrowTheUndefinedText) {
  for (DWORD code : {0x80100100u, 0x80100101u}) {
    try {
      TrelkThrowOnFail(code);
      FAIL() << "no exception";
    } catch (const Trelk::CTrelkException& e) {
      EXPECT_EQ(static_cast<DWORD>(e.GetCode()), code);
      EXPECT_EQ(e.GetMessageText(), "Undefined error code");
    }
  }
}

TEST_F(ThrowOnFailTest, CaughtExceptionLogsThreeLines) {
  Trelk::CTrelkException copy(0);
  try {
    throw Trelk::CTrelkException(0x80200006);
  } catch (const Trelk::CTrelkException& e) {
    copy = e;
    Trelk::LogCaught(3, e);
  }
  EXPECT_EQ(copy.GetMessageText(), "ELNYX_CONNECTION_LOST: Connection is lost to Device");
  std::string form = "[TrelkException\n0x80200006\nELNYX_CONNECTION_LOST: Connection is lost to Device]";
  EXPECT_NE(NewText().find("]: " + AsFileText(form) + "\r\n"), std::string::npos) << NewText();
}

}  // namespace

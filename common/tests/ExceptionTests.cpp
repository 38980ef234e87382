#include <windows.h>
#include <gtest/gtest.h>
#include "LogFileTest.h"
#include "ZCLException.h"
#include "ZCLFrame.h"

namespace {

TEST(ExceptionTest, ComThrowPassesSuccessCodes) {
  EXPECT_NO_THROW(ZCLComThrowOnFail(S_OK, "x"));
  EXPECT_NO_THROW(ZCLComThrowOnFail(S_FALSE, "x"));
  try {
    ZCLComThrowOnFail(E_FAIL, "pos failed");
    FAIL();
  } catch (const ZCLException& e) {
    EXPECT_EQ(e.GetMessageText(), "pos failed");
  }
}

TEST(ExceptionTest, DisconnectedIsExactlyTheThreeRpcCodes) {
  for (unsigned hr = 0x800706A0; hr <= 0x800706D0; ++hr) {
    bool expected = hr == 0x800706BA || hr == 0x800706BE || hr == 0x800706BF;
    EXPECT_EQ(ZCLComException(static_cast<HRESULT>(hr), "").IsDisconnected(), expected) << std::hex << hr;
  }
  EXPECT_FALSE(ZCLComException(E_FAIL, "").IsDisconnected());
}

TEST(ExceptionTest, CoCreateExceptionKeepsItsOwnClassId) {
  ZCLComException* caught = nullptr;
  {
    CLSID temporary = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    try {
      ZCLComCoCreateThrowOnFail(REGDB_E_CLASSNOTREG, temporary, "create");
    } catch (const ZCLComCoCreateException& e) {
      caught = new ZCLComCoCreateException(e);
    }
    temporary.Data1 = 0;  // the caller's GUID changes or goes away
  }
  ASSERT_NE(caught, nullptr);
  EXPECT_EQ(caught->GetHResult(), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(static_cast<ZCLComCoCreateException*>(caught)->GetClsid().Data1, 0x12345678u);
  delete caught;
}

TEST(ExceptionTest, ThrowOnErrorAndFalse) {
  EXPECT_NO_THROW(ZCLThrowOnError(0, "x"));
  EXPECT_NO_THROW(ZCLThrowOnFalse(true, "x"));
  try {
    ZCLThrowOnError(1, "m");
    FAIL();
  } catch (const ZCLException& e) {
    EXPECT_EQ(e.GetCode(), 1);
  }
  EXPECT_THROW(ZCLThrowOnFalse(false, "m"), ZCLException);
  EXPECT_THROW(ZCLComQIThrowOnFail(E_NOINTERFACE, IID_IUnknown, "qi"), ZCLComQIException);
}

TEST(ExceptionTest, SourcePositionIsRelativeWithBackslashes) {
  EXPECT_EQ(ZCLSourcePosition("service/zembra.cpp", 95), ".\\service\\zembra.cpp(95)");
  std::string here = ZCL_POS;
  EXPECT_EQ(here.rfind(".\\common\\tests\\ExceptionTests.cpp(", 0), 0u) << here;
}

using ExceptionLogTest = LogFileTest;

TEST_F(ExceptionLogTest, CatchFormsNameTheCaughtClassExactly) {
  try {
    ZCLComCoCreateThrowOnFail(REGDB_E_CLASSNOTREG, IID_IUnknown, ".\\x.cpp(1)create");
  } catch (const ZCLComException& e) {
    ZCLLogCaught(3, e);
  }
  try {
    ZCLComQIThrowOnFail(E_NOINTERFACE, IID_IUnknown, "qi");
  } catch (const ZCLComQIException& e) {
    ZCLLogCaught(3, e);
  }
  try {
    ZCLComThrowOnFail(E_FAIL, "com as plain");
  } catch (const ZCLException& e) {
    ZCLLogCaught(3, e);
  }
  ZCLLogUnknownException(3, ".\\svc\\zembra.cpp(95)");
  std::string text = NewText();
  const char* expected[] = {
      "[class ZCLComException\n0x80040154\n.\\x.cpp(1)create]",
      "[class ZCLComQIException\n0x80004002\nqi]",
      "[class ZCLException\ncom as plain]",
      "[Unknown Exception!\n.\\svc\\zembra.cpp(95)]",
  };
  for (const char* form : expected)
    EXPECT_NE(text.find("]: " + AsFileText(form) + "\r\n"), std::string::npos) << form << "\n" << text;
}

TEST_F(ExceptionLogTest, ThrowFunctionsLogAtTraceLevelBeforeThrowing) {
  EXPECT_THROW(ZCLThrowOnError(1, "pos desc"), ZCLException);
  EXPECT_THROW(ZCLComThrowOnFalse(false, E_ACCESSDENIED, "denied"), ZCLComException);
  std::string text = NewText();
  EXPECT_NE(text.find(AsFileText("[ZCLException\n1 0x00000001\npos desc\n]")), std::string::npos) << text;
  EXPECT_NE(text.find(AsFileText("[ZCLComException\n0x80070005\ndenied\n]")), std::string::npos) << text;

  // Below the threshold the throw still happens, silently.
  ZCLLogger::Instance().SetLevel(3);
  size_t before = FileText().size();
  EXPECT_THROW(ZCLThrowOnFalse(false, "quiet"), ZCLException);
  EXPECT_EQ(FileText().size(), before);
}

}  // namespace

namespace {

std::wstring ErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return L"<none>";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::wstring result = text ? text : L"";
  SysFreeString(text);
  info->Release();
  return result;
}

// Each kind thrown inside a method frame comes out as its own result with the
// reason set for the client, and nothing escapes.
TEST(ComFrameTest, WhatIsThrownBecomesAResultWithItsReason) {
  EXPECT_EQ(ZCLComMethod("T::Ok", ZCL_SITE, [] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(ZCLComMethod("T::Com", ZCL_SITE, []() -> HRESULT {
              throw ZCLComException(E_ACCESSDENIED, "denied here");
            }),
            E_ACCESSDENIED);
  EXPECT_EQ(ErrorDescription(), L"denied here");
  EXPECT_EQ(ZCLComMethod("T::Plain", ZCL_SITE, []() -> HRESULT { throw ZCLException(7, "seven"); }), E_FAIL);
  EXPECT_EQ(ErrorDescription(), L"seven");
  EXPECT_EQ(ZCLComMethod("T::Memory", ZCL_SITE, []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(ZCLComMethod("T::Other", ZCL_SITE, []() -> HRESULT { throw 42; }), E_UNEXPECTED);
  // A ZCLComException carrying a success code still fails.
  EXPECT_EQ(ZCLComMethod("T::Odd", ZCL_SITE, []() -> HRESULT { throw ZCLComException(S_FALSE, "odd"); }),
            E_FAIL);
  EXPECT_TRUE(ZCLGuarded(1, ZCL_SITE, [] {}));
  EXPECT_FALSE(ZCLGuarded(1, ZCL_SITE, [] { throw 1; }));
}

}  // namespace

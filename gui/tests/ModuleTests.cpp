#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "ComPtr.h"
#include "FullScreen.h"
#include "SZembraGUI.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

namespace {

ForegroundFacts Facts(LONG width, LONG height, LONG_PTR style, bool maximised = false) {
  ForegroundFacts facts;
  facts.present = true;
  facts.haveRects = true;
  facts.monitor = {0, 0, 1024, 768};
  facts.window = {0, 0, width, height};
  facts.style = style;
  facts.maximised = maximised;
  return facts;
}

}  // namespace

TEST(FullScreenTest, WhatCountsAsAnotherProgramFullScreen) {
  EXPECT_FALSE(IsAnotherProgramFullScreen(ForegroundFacts()));  // no foreground window
  // A game or a presentation: monitor-sized without a caption, or larger.
  EXPECT_TRUE(IsAnotherProgramFullScreen(Facts(1024, 768, WS_POPUP)));
  EXPECT_TRUE(IsAnotherProgramFullScreen(Facts(1040, 790, WS_OVERLAPPEDWINDOW)));
  // A maximised window with its caption, a framed one, a small one: no.
  EXPECT_FALSE(IsAnotherProgramFullScreen(Facts(1040, 790, WS_OVERLAPPEDWINDOW, true)));
  EXPECT_FALSE(IsAnotherProgramFullScreen(Facts(1024, 768, WS_POPUP | WS_CAPTION)));
  EXPECT_FALSE(IsAnotherProgramFullScreen(Facts(1024, 768, WS_POPUP | WS_THICKFRAME)));
  EXPECT_FALSE(IsAnotherProgramFullScreen(Facts(800, 768, WS_POPUP)));
  // Edges given the wrong way round still measure the same.
  ForegroundFacts flipped = Facts(1024, 768, WS_POPUP);
  flipped.window = {1024, 768, 0, 0};
  EXPECT_TRUE(IsAnotherProgramFullScreen(flipped));
  // Unreadable rectangles: no.
  ForegroundFacts unknown = Facts(1024, 768, WS_POPUP);
  unknown.haveRects = false;
  EXPECT_FALSE(IsAnotherProgramFullScreen(unknown));
  // The desktop with nothing active is monitor-sized and has no caption: no.
  ForegroundFacts desktop = Facts(1024, 768, WS_POPUP);
  desktop.desktopOrShell = true;
  EXPECT_FALSE(IsAnotherProgramFullScreen(desktop));
}

TEST(FullScreenTest, TheDesktopIsRecognisedAsSuch) {
  if (::GetForegroundWindow() != ::GetDesktopWindow()) GTEST_SKIP() << "a window is active";
  EXPECT_TRUE(ReadForegroundFacts().desktopOrShell);
}

namespace {

std::wstring GuiDllPath() {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"OrvexDialixGUI.dll";
}

// regsvr32 in this prefix; its exit code.
DWORD Regsvr32(const std::wstring& arguments, const std::wstring& dll = GuiDllPath()) {
  std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + dll + L"\"";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
    return 0xFFFFFFFF;
  CHandle process(info.hProcess), thread(info.hThread);
  if (::WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) return 0xFFFFFFFE;
  DWORD code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

bool KeyExists(const std::wstring& key) {
  CRegistryKey opened;
  return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) ==
         ERROR_SUCCESS;
}

std::wstring Value(const std::wstring& key, const wchar_t* name) {
  std::wstring value;
  ZCLReadRegistryString(HKEY_CLASSES_ROOT, key.c_str(), name, &value);
  return value;
}

const std::wstring kClass = L"CLSID\\{33A9186A-E6D7-4E6D-B2D7-A418A0F4D9A2}";
const std::wstring kAppId = L"AppID\\{2940CA7D-35B4-416D-9898-6BF57ADAB7C0}";

}  // namespace

// The prefix is shared: whichever library served the class before (the tests'
// stand-in or this one) serves it again afterwards. The test runs under the
// service tests' lock, so nobody creates the class meanwhile.
class RegistrationTest : public ::testing::Test {
protected:
  void SetUp() override { m_previous = Value(kClass + L"\\InprocServer32", nullptr); }
  void TearDown() override {
    std::wstring previous = m_previous;
    if (previous.size() > 1 && previous.front() == L'"') previous = previous.substr(1, previous.size() - 2);
    if (!previous.empty()) {
      EXPECT_EQ(0u, Regsvr32(L"", previous));
    }
  }
  std::wstring m_previous;
};

TEST_F(RegistrationTest, Regsvr32WritesTheKeysAndUnregistrationLeavesTheRoots) {
  ASSERT_EQ(0u, Regsvr32(L""));
  EXPECT_EQ(L"SZembraGUI", Value(kAppId, nullptr));
  EXPECT_EQ(L"{2940CA7D-35B4-416D-9898-6BF57ADAB7C0}", Value(L"AppID\\SZembraGUI.DLL", L"AppID"));
  EXPECT_EQ(L"CallUI Class", Value(L"SZembraGUI.CallUI.1", nullptr));
  EXPECT_EQ(L"{33A9186A-E6D7-4E6D-B2D7-A418A0F4D9A2}", Value(L"SZembraGUI.CallUI.1\\CLSID", nullptr));
  EXPECT_EQ(L"SZembraGUI.CallUI.1", Value(L"SZembraGUI.CallUI\\CurVer", nullptr));
  EXPECT_EQ(L"CallUI Class", Value(kClass, nullptr));
  EXPECT_EQ(L"SZembraGUI.CallUI.1", Value(kClass + L"\\ProgID", nullptr));
  EXPECT_EQ(L"SZembraGUI.CallUI", Value(kClass + L"\\VersionIndependentProgID", nullptr));
  EXPECT_TRUE(KeyExists(kClass + L"\\Programmable"));
  EXPECT_EQ(L"Apartment", Value(kClass + L"\\InprocServer32", L"ThreadingModel"));
  EXPECT_EQ(L"{2940CA7D-35B4-416D-9898-6BF57ADAB7C0}", Value(kClass, L"AppID"));
  EXPECT_EQ(L"{3BE78D29-32B3-4122-814E-03FCBBC80E26}", Value(kClass + L"\\TypeLib", nullptr));
  EXPECT_TRUE(KeyExists(L"TypeLib\\{3BE78D29-32B3-4122-814E-03FCBBC80E26}"));
  // The type library marshals ICallUI (the GIT needs that).
  EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}",
            Value(L"Interface\\{97181E17-E020-4C79-BD4F-0CEF49877CA5}\\ProxyStubClsid32", nullptr));

  // The registered library makes the object in-process.
  CComPtr<ICallUI> ui;
  EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_CallUI, nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(ICallUI), reinterpret_cast<void**>(&ui)));
  ui.Release();
  ::CoFreeUnusedLibraries();

  ASSERT_EQ(0u, Regsvr32(L"/u"));
  EXPECT_FALSE(KeyExists(kClass));
  EXPECT_FALSE(KeyExists(L"SZembraGUI.CallUI"));
  EXPECT_FALSE(KeyExists(L"SZembraGUI.CallUI.1"));
  EXPECT_FALSE(KeyExists(kAppId));
  EXPECT_TRUE(KeyExists(L"AppID"));
  EXPECT_TRUE(KeyExists(L"CLSID"));
}

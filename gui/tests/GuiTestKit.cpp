#include <windows.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include "CSZembraGUIModule.h"
#include "GuiSeams.h"
#include "GuiTestKit.h"
#include "ZCLText.h"
#include "ZCLWait.h"

std::atomic<long long> g_testNow{1700000000};
std::atomic<bool> g_realBoxes{false};

namespace {
std::mutex g_boxLock;
std::vector<BoxShown> g_boxes;

time_t TestNow() { return static_cast<time_t>(g_testNow.load()); }

std::wstring ScreenshotFolder() {
  wchar_t folder[MAX_PATH] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_SCREENSHOTS", folder, MAX_PATH);
  return length && length < MAX_PATH ? std::wstring(folder) : std::wstring();
}

int TestBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  {
    std::lock_guard<std::mutex> guard(g_boxLock);
    g_boxes.push_back({text, caption, type});
  }
  if (!g_realBoxes) return IDOK;
  // Real box: a watcher pictures it once it shows, then presses OK.
  std::wstring name = (type & MB_ICONWARNING) ? L"sms-box-failed" : L"sms-box-sent";
  std::thread watcher([name] {
    HWND box = WindowProbe::WaitForDialog(L"Orvex Dialix", 10000);
    if (!box) return;
    Snap(name.c_str(), box);
    WindowProbe::DismissBox(box);
  });
  int result = ::MessageBoxW(owner, text, caption, type);
  watcher.join();
  return result;
}
}  // namespace

std::vector<BoxShown> BoxesShown() {
  std::lock_guard<std::mutex> guard(g_boxLock);
  return g_boxes;
}

void ClearBoxesShown() {
  std::lock_guard<std::mutex> guard(g_boxLock);
  g_boxes.clear();
}

void Snap(const wchar_t* name, HWND window) {
  std::wstring folder = ScreenshotFolder();
  if (folder.empty()) return;
  if (window) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    ::SendMessageW(window, WM_NULL, 0, 0);
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_TRUE(WindowProbe::SaveScreen(folder + L"\\" + name + L".png")) << "screenshot " << name;
}

LONG ModuleLockCount() { return _AtlModule.GetLockCount(); }

void GuiFixture::SetUp() {
  GuiSetClock(&TestNow);
  GuiSetMessageBox(&TestBox);
  ClearBoxesShown();
  ASSERT_EQ(S_OK, CComObject<CCallUI>::CreateInstance(&m_object));
  CComPtr<IUnknown> hold(m_object->GetUnknown());
  ASSERT_EQ(S_OK, hold->QueryInterface(__uuidof(ICallUI), reinterpret_cast<void**>(&m_ui)));
  ASSERT_EQ(S_OK, hold->QueryInterface(__uuidof(ICallHandlerNotify),
                                       reinterpret_cast<void**>(&m_notify)));
  m_handler = new RecordingCallHandler;
}

void GuiFixture::Close(HWND window) {
  ::SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
}

void GuiFixture::TearDown() {
  // Text windows open without a wait: close what shows until nothing does.
  EXPECT_TRUE(ZCLWaitUntil(
      [] {
        for (HWND window : WindowProbe::Dialogs()) Close(window);
        return WindowProbe::Dialogs().empty();
      },
      10000, 50));
  m_notify.Release();
  m_ui.Release();
  m_object = nullptr;
  // Window threads let go of the object and the module as they end.
  EXPECT_TRUE(ZCLWaitUntil([] { return ModuleLockCount() == 0; }, 10000));
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

HRESULT GuiFixture::Call(const wchar_t* serial, const wchar_t* number, IUnknown* handler) {
  return m_ui->Call(CComBSTR(serial), CComBSTR(number), handler);
}

HRESULT GuiFixture::Incoming(const wchar_t* serial, const wchar_t* number, const wchar_t* name,
                             LONG id) {
  return m_notify->OnIncoming(CComBSTR(serial), CComBSTR(number), CComBSTR(name), id, m_handler);
}

HRESULT GuiFixture::Compose(const wchar_t* serial, const wchar_t* number, const wchar_t* name,
                            const wchar_t* message) {
  return m_ui->ComposeMessage(CComBSTR(serial), CComBSTR(number), CComBSTR(name),
                              CComBSTR(message), static_cast<ICallHandler*>(m_handler));
}

HWND GuiFixture::Dialog(const std::wstring& title) {
  HWND window = WindowProbe::WaitForDialog(title, 10000);
  EXPECT_TRUE(window) << "no window titled \"" << ZCLWideToUtf8(title) << "\"";
  if (window) Settle(window);
  return window;
}

void GuiFixture::Settle(HWND window) {
  ::SendMessageW(window, WM_NULL, 0, 0);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

int main(int argc, char** argv) {
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  // In a program the module's DllMain does not run: start its window side here.
  _AtlModule.m_windows.Init(::GetModuleHandleW(nullptr));
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  ::CoUninitialize();
  return result;
}

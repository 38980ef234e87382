#include <windows.h>
#include <gtest/gtest.h>

namespace {

// The tray's main thread is in the multithreaded apartment; so is the tests'.
class CComEnvironment : public testing::Environment {
public:
  void SetUp() override { ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  void TearDown() override { ::CoUninitialize(); }
};

testing::Environment* const g_com = testing::AddGlobalTestEnvironment(new CComEnvironment);

}  // namespace

#include "AppModule.h"
#include "CLaunchSettings.h"
#include "GdiHandles.h"
#include "Image.h"
#include "TrayTestSupport.h"

namespace {

// The window layer's module, as the program's entry makes it.
struct CTestModule {
  CTestModule() { module.Init(::GetModuleHandleW(nullptr)); }
  CAppModule module;
} g_module;

void Capture(const RECT& area, const wchar_t* name) {
  std::wstring folder = CLaunchSettings::GetProgramFolder(nullptr) + L"..\\screenshots\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  HDC screen = ::GetDC(nullptr);
  CMemoryDC memory(::CreateCompatibleDC(screen));
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  {
    CSelectObject select(memory.Get(), bitmap);
    ::BitBlt(memory.Get(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  }
  ::ReleaseDC(nullptr, screen);
  WtlStartGdiPlus();
  CImage image;
  image.Attach(bitmap);
  image.SavePng((folder + name + L".png").c_str());
}

}  // namespace

void SaveScreenshot(HWND window, const wchar_t* name) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  ::GdiFlush();
  // The display server draws what the program sent it in its own time.
  PumpUntil([] { return false; }, 300);
  RECT area;
  ::GetWindowRect(window, &area);
  Capture(area, name);
}

void SaveScreenScreenshot(const wchar_t* name) {
  RECT area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  Capture(area, name);
}

#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <vector>
#include "CCallUI.h"
#include "ComBSTR.h"
#include "GuiFakes.h"
#include "WindowProbe.h"
#include "resource.h"

// The clock and message box the windows see in these tests.
extern std::atomic<long long> g_testNow;
struct BoxShown {
  std::wstring text, caption;
  UINT type;
};
std::vector<BoxShown> BoxesShown();
void ClearBoxesShown();
// When set, message boxes are real and a watcher pictures and dismisses them.
extern std::atomic<bool> g_realBoxes;

// A picture of the screen under build/<arch>/screenshots, when the run asks
// for pictures (DIALIX_SCREENSHOTS names the folder).
void Snap(const wchar_t* name, HWND window = nullptr);

// One CCallUI with a recording call handler; every window is closed and the
// object released at the end, and the module must then be unloadable.
class GuiFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Opens windows through the object as the service would.
  HRESULT Call(const wchar_t* serial, const wchar_t* number, IUnknown* handler);
  HRESULT Incoming(const wchar_t* serial, const wchar_t* number, const wchar_t* name, LONG id);
  HRESULT Compose(const wchar_t* serial, const wchar_t* number, const wchar_t* name,
                  const wchar_t* message);

  // The one dialog with this title, waited for (bounded).
  HWND Dialog(const std::wstring& title);
  // Waits until the window has handled what was sent to it, and painted.
  static void Settle(HWND window);
  static std::wstring Title(HWND window) { return WindowProbe::Text(window); }
  static std::wstring Item(HWND window, int id) { return WindowProbe::ItemText(window, id); }
  static void Close(HWND window);

  CComObject<CCallUI>* m_object = nullptr;
  CComPtr<ICallUI> m_ui;
  CComPtr<ICallHandlerNotify> m_notify;
  CComPtr<RecordingCallHandler> m_handler;
};

LONG ModuleLockCount();

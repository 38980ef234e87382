// The helper object as the browser loads it: created by class id from the
// registered library, sited in a real window through the fake browser,
// served by the real service. Prints what it saw; exit code 0 when every step
// went through. "Call" is picked from the real number menu with keys posted
// from a timer inside the menu's loop.
//   bho_e2e_host <number text>
#include <windows.h>
#include <exdispid.h>
#include <cstdio>
#include <string>
#include "CRecordingCallback.h"
#include "FakeBrowser.h"
#include "Watchdog.h"
#include "ieOrvexDialix.h"

namespace {

// Each step that waits on the service or on the menu is bounded by the
// watchdog, which names the step that did not end; leaving COM, which Wine
// has been seen never to finish after the work was done, ends the process
// with the run's own result.
const DWORD kStepBoundMs = 60000;
const DWORD kLeaveComBoundMs = 5000;

int g_menuTicks = 0;
bool g_picked = false;

// Down twice from nothing selected: the second item, "Call".
void CALLBACK PickCall(HWND, UINT, UINT_PTR id, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if ((!menu || !::IsWindowVisible(menu)) && ++g_menuTicks < 100) return;
  ::KillTimer(nullptr, id);
  if (!menu) return;
  ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  g_picked = true;
}

int Fail(const char* step, HRESULT hr = E_FAIL) {
  std::printf("FAIL: %s (0x%08lX)\n", step, static_cast<unsigned long>(hr));
  return 1;
}

int Run(const std::wstring& number) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"Browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 600, 300,
                                  nullptr, nullptr, nullptr, nullptr);
  if (!window) return Fail("window");
  FakeBrowser::Browser* browser = FakeBrowser::NewBrowser(window);
  FakeDom::Document* page = FakeDom::NewDocument();
  FakeBrowser::SetDocument(browser, page);
  FakeDom::Node* body = FakeDom::Append(FakeDom::Root(page), FakeDom::Element(page, L"body"));
  FakeDom::Node* p = FakeDom::Append(body, FakeDom::Element(page, L"p"));
  FakeDom::Append(p, FakeDom::Text(page, (L"Call us on " + number + L" today").c_str()));
  int rc = 0;
  {
    CComPtr<IObjectWithSite> bho;
    HRESULT hr = ::CoCreateInstance(CLSID_OrvexDialixBHO, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                    reinterpret_cast<void**>(&bho));
    if (FAILED(hr)) return Fail("creating the helper object by class id", hr);
    hr = bho->SetSite(FakeBrowser::Site(browser));
    if (FAILED(hr)) return Fail("SetSite", hr);
    std::printf("sited: connections=%u\n", static_cast<unsigned>(FakeBrowser::Connections(browser)));

    // A client of our own: once its own connection and device list are
    // through, the helper object's earlier ones have been answered too.
    CComPtr<IZembra> service;
    hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                            reinterpret_cast<void**>(&service));
    if (FAILED(hr)) return Fail("service", hr);
    CComObject<CRecordingCallback>* recorder = nullptr;
    CComObject<CRecordingCallback>::CreateInstance(&recorder);
    CComPtr<IZembraCallback> hold(recorder);
    service->Connect(hold);
    if (!recorder->WaitFor("ConnectCompleted", 1, 30000)) return Fail("own connection");
    FakeBrowser::FireDocumentComplete(browser);
    CComPtr<IOperation> devices;
    service->CreateOperation(CComBSTR(recorder->Last("ConnectCompleted").clientId.c_str()),
                             IID_IGetDevicesOperation, &devices);
    if (!devices || FAILED(service->BeginOperation(devices))) return Fail("own device request");
    if (!recorder->WaitFor("OperationCompleted", 1, 60000)) return Fail("device list");
    std::printf("devices listed\n");

    std::wprintf(L"page before: %ls\n", FakeDom::Serialize(p).c_str());
    FakeBrowser::Fire(browser, DISPID_DOWNLOADCOMPLETE);
    FakeDom::Node* wrap = FakeDom::FindElement(page, L"ZEMBRAEXTENSION");
    std::wprintf(L"page after:  %ls\n", FakeDom::Serialize(p).c_str());
    if (!wrap) return Fail("the number was not wrapped");
    ::SetTimer(nullptr, 0, 100, &PickCall);
    CWatchdog::Instance().Arm(L"the number's menu and call", kStepBoundMs);
    FakeDom::Click(page, wrap);
    if (!g_picked) rc = Fail("the number menu did not show");
    std::printf("call picked\n");
    std::fflush(stdout);
    CWatchdog::Instance().Arm(L"disconnecting", kStepBoundMs);
    service->Disconnect(CComBSTR(recorder->Last("ConnectCompleted").clientId.c_str()));
    recorder->WaitFor("DisconnectCompleted", 1, 20000);
    CWatchdog::Instance().Arm(L"leaving the site", kStepBoundMs);
    bho->SetSite(nullptr);
    CWatchdog::Instance().Disarm();
  }
  FakeBrowser::Release(browser);
  FakeDom::Release(page);
  ::DestroyWindow(window);
  return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("usage: bho_e2e_host <number>");
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail("COM");
  int rc = Run(argv[1]);
  std::fflush(stdout);
  CWatchdog::Instance().Arm(L"leaving COM", kLeaveComBoundMs, "abandoned", static_cast<UINT>(rc));
  ::CoUninitialize();
  CWatchdog::Instance().Disarm();
  return rc;
}

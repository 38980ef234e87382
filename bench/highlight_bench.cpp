#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include "CFixedClassFactory.h"
#include "COrvexDialixBHO.h"
#include "FakeBrowser.h"
#include "NumberFinder.h"
#include "ServiceFakes.h"

// The number highlighter over a fake page of 1,000 and 10,000 numbers in two
// shapes (one text; one table cell each) against a bare linear scan of the
// same text with the same pattern (narrow once, iterate the matches). Goal:
// at most twice the bare scan, and linear. Run by tools/bench; the helper
// object it sites makes windows, so it needs a display.

namespace {

double Now() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

int g_failures = 0;
void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_failures;
  std::printf("FAILED: %s\n", what);
}

std::wstring Number(int i) { return L"040 " + std::to_wstring(1000000 + i); }

// Rounds of each measurement; the best counts. The bare scan and the two
// page shapes take turns within a round, so that what else the machine does
// weighs on all three alike.
const int kRounds = 7;

// Seconds for the bare scan of the text.
double BareScan(const std::wstring& text, size_t* found) {
  double start = Now();
  std::vector<NumberMatch> matches = FindNumbers(NarrowForSearch(text.data(), text.size()));
  double took = Now() - start;
  *found = matches.size();
  return took;
}

// Seconds for the helper object's walk of one fresh page.
template <class Build>
double Highlight(COrvexDialixBHO* bho, FakeBrowser::Browser* browser, int numbers, Build build, size_t* wrapped) {
  FakeDom::Document* page = FakeDom::NewDocument();
  FakeDom::Node* body = FakeDom::Append(FakeDom::Root(page), FakeDom::Element(page, L"body"));
  build(page, body, numbers);
  FakeBrowser::SetDocument(browser, page);
  double start = Now();
  bho->HighlightDocument();
  double took = Now() - start;
  *wrapped = FakeDom::CountElements(page, L"ZEMBRAEXTENSION");
  FakeBrowser::SetDocument(browser, nullptr);
  FakeDom::Release(page);
  return took;
}

void OneText(FakeDom::Document* page, FakeDom::Node* body, int numbers) {
  std::wstring text;
  for (int i = 0; i < numbers; ++i) text += L"call " + Number(i) + L" now, ";
  FakeDom::Append(FakeDom::Append(body, FakeDom::Element(page, L"p")), FakeDom::Text(page, text.c_str()));
}

void TableCells(FakeDom::Document* page, FakeDom::Node* body, int numbers) {
  FakeDom::Node* table = FakeDom::Append(body, FakeDom::Element(page, L"table"));
  for (int i = 0; i < numbers; ++i) {
    FakeDom::Node* row = FakeDom::Append(table, FakeDom::Element(page, L"tr"));
    FakeDom::Node* cell = FakeDom::Append(row, FakeDom::Element(page, L"td"));
    FakeDom::Append(cell, FakeDom::Text(page, (L"call " + Number(i) + L" now, ").c_str()));
  }
}

}  // namespace

int main() {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  CComPtr<CFakeZembra> service;
  service.Attach(new CFakeZembra);
  CFixedClassFactory factory(static_cast<IZembra*>(service.p));
  DWORD cookie = 0;
  Check(SUCCEEDED(::CoRegisterClassObject(CLSID_Zembra, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                          &cookie)),
        "fake service");
  HWND window = ::CreateWindowExW(0, L"STATIC", L"Browser", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                  nullptr, nullptr);
  // The helper object's band is a child of this window: no window, no site.
  if (!window) {
    std::printf("no browser window (error %lu): the benchmark needs a display\n",
                static_cast<unsigned long>(::GetLastError()));
    return 1;
  }
  FakeBrowser::Browser* browser = FakeBrowser::NewBrowser(window);
  FakeDom::Document* first = FakeDom::NewDocument();
  FakeBrowser::SetDocument(browser, first);
  CComObject<COrvexDialixBHO>* bho = nullptr;
  Check(SUCCEEDED(CComObject<COrvexDialixBHO>::CreateInstance(&bho)), "helper object");
  if (!bho) return 1;
  bho->AddRef();
  HRESULT sited = bho->SetSite(FakeBrowser::Site(browser));
  if (FAILED(sited)) std::printf("site: 0x%08lX\n", static_cast<unsigned long>(sited));
  Check(SUCCEEDED(sited), "site");

  std::printf("%-12s %8s %12s %12s %8s\n", "shape", "numbers", "highlight ms", "bare scan ms", "ratio");
  double perNumber[2][2] = {};
  int sizes[2] = {1000, 10000};
  for (int s = 0; s < 2; ++s) {
    int numbers = sizes[s];
    std::wstring text;
    for (int i = 0; i < numbers; ++i) text += L"call " + Number(i) + L" now, ";
    double bare = 1e9, one = 1e9, cells = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      size_t found = 0, wrapped = 0;
      bare = std::min(bare, BareScan(text, &found));
      Check(found == static_cast<size_t>(numbers), "bare scan finds every number");
      one = std::min(one, Highlight(bho, browser, numbers, OneText, &wrapped));
      Check(wrapped == static_cast<size_t>(numbers), "one text: every number wrapped");
      cells = std::min(cells, Highlight(bho, browser, numbers, TableCells, &wrapped));
      Check(wrapped == static_cast<size_t>(numbers), "table cells: every number wrapped");
    }
    std::printf("%-12s %8d %12.1f %12.1f %8.2f\n", "one text", numbers, one * 1e3, bare * 1e3, one / bare);
    std::printf("%-12s %8d %12.1f %12.1f %8.2f\n", "table cells", numbers, cells * 1e3, bare * 1e3, cells / bare);
    perNumber[s][0] = one / numbers;
    perNumber[s][1] = cells / numbers;
  }
  std::printf("10,000 over 1,000 (10 is linear): one text %.1f, table cells %.1f\n",
              perNumber[1][0] / perNumber[0][0] * 10, perNumber[1][1] / perNumber[0][1] * 10);

  bho->SetSite(nullptr);
  bho->Release();
  FakeBrowser::Release(browser);
  FakeDom::Release(first);
  ::DestroyWindow(window);
  ::CoRevokeClassObject(cookie);
  service.Release();
  ::CoUninitialize();
  return g_failures ? 1 : 0;
}

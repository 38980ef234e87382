#include <windows.h>
#include "PageTestHost.h"
#include "QorsalDialix.h"
#include "TrelkBinding.h"
#include "WindowProbe.h"
#include "ZCLWait.h"

namespace {

const wchar_t kFrameClass[] = L"PairwellPageTestFrame";
int g_nextCommands = 0;

LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && LOWORD(wParam) == IDC_NEXT) ++g_nextCommands;
  return DefWindowProcW(window, msg, wParam, lParam);
}

HFONT MakeFont(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
}

HMODULE LoadBuiltModule(const wchar_t* name) {
  std::wstring path = PhoneSim::Testing::BinFolder() + L"\\Pairwell\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

}  // namespace

CPageTestHost::CPageTestHost(std::vector<BYTE> media, CDeviceSearchWorker::UtilityFactory search) {
  const GUID ids[4] = {{0x45DE04A6, 0x22B9, 0x41A4, {0x98, 0x83, 0x78, 0x8B, 0x69, 0x2A, 0x1E, 0x1F}},
                       {0x23399C73, 0x7D90, 0x4EA6, {0xBA, 0x20, 0x54, 0x35, 0xE8, 0x50, 0xF7, 0x9E}},
                       {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}},
                       {0x9A34CBAD, 0x3DAB, 0x4439, {0x9D, 0x6E, 0xFE, 0x71, 0x7F, 0x04, 0xC2, 0x24}}};
  for (BYTE medium : media) m_manager.elements.push_back({ids[medium], medium, L"Medium", true});
  Trelk::RUVONBinding().SetReadOptions(false);
  if (RUVON_Initialize(30, 0) != 0 || !m_manager.Register()) return;
  m_language.Reset(LoadBuiltModule(L"Lang_ENG.OLR"));
  m_skin.Reset(LoadBuiltModule(L"Resource_Default.OGR"));
  CXeluLib::Init(GetModuleHandleW(nullptr), m_skin.Get());
  m_titleFont = MakeFont(16, FW_BOLD);
  m_boldFont = MakeFont(14, FW_BOLD);
  m_textFont = MakeFont(14, FW_NORMAL);
  m_media.reset(new CMediaUtility(true));
  if (!m_media->Initialize() || !m_events.Create()) return;
  m_worker.reset(new CDeviceSearchWorker(m_events, m_results, search));
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = &FrameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  RegisterClassExW(&wc);
  m_frame = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, L"Pairwell pages", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            40, 40, 620, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  CreateWindowExW(0, L"BUTTON", L"Next", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 500, 420, 90, 26, m_frame,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_NEXT)), GetModuleHandleW(nullptr), nullptr);
  g_nextCommands = 0;
  m_ready = m_frame != nullptr;
}

CPageTestHost::~CPageTestHost() {
  m_worker.reset();
  if (m_frame) DestroyWindow(m_frame);
  m_media.reset();
  for (HFONT font : {m_titleFont, m_boldFont, m_textFont})
    if (font) DeleteObject(font);
  m_manager.Revoke();
  RUVON_Terminate(0);
}

std::wstring CPageTestHost::LanguageString(UINT id) {
  WCHAR text[1024] = {0};
  if (m_language && LoadStringW(m_language.Get(), id, text, ARRAYSIZE(text)) > 0) return text;
  return L"[" + std::to_wstring(id) + L"]";
}

bool CPageTestHost::FindDeviceByAddress(const std::wstring& address, std::wstring* serial) {
  std::vector<CMediaDevice> devices;
  m_media->CopyDeviceList(&devices);
  for (const CMediaDevice& device : devices) {
    if (lstrcmpiW(device.bluetoothAddress.c_str(), address.c_str()) == 0) {
      *serial = device.serial;
      return true;
    }
  }
  return false;
}

int CPageTestHost::NextCommands() { return g_nextCommands; }

bool PumpUntil(const std::function<bool()>& done) { return ZCLWaitUntil(done, 20000); }

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void SavePageScreenshot(const std::wstring& name) {
  std::wstring folder = WindowProbe::ScreenshotFolder();
  if (folder.empty()) return;
  PumpPending();
  RedrawWindow(GetDesktopWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpPending();
  WindowProbe::SaveScreen(folder + L"\\" + name + L".png");
}

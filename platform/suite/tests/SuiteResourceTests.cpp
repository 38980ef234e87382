#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include "GdiHandles.h"
#include "QorsalDialix.h"
#include "SuiteTestKit.h"
#include "ZCLHandle.h"

namespace {

// Item rectangles in dialog units as the dialog made from the template
// places them, mapped back with the dialog's own units.
struct ItemPlace {
  int left;
  int width;
};

ItemPlace PlaceOf(HWND dialog, int id) {
  RECT item = {};
  ::GetWindowRect(::GetDlgItem(dialog, id), &item);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&item), 2);
  RECT unit = {0, 0, 400, 400};
  ::MapDialogRect(dialog, &unit);
  return ItemPlace{MulDiv(item.left, 400, unit.right), MulDiv(item.right - item.left, 400, unit.right)};
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Expected {
  int id;
  int x;
  int cx;
};

// A dialog made from the flipped template.
HWND FlippedDialog(UINT dialogId, BOOL flag) {
  HGLOBAL flipped = CRTLHelper::FlipDialog(::GetModuleHandleW(nullptr), dialogId, flag);
  if (!flipped) return nullptr;
  HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                             static_cast<const DLGTEMPLATE*>(::GlobalLock(flipped)), nullptr,
                                             &QuietDialog, 0);
  ::GlobalUnlock(flipped);
  ::GlobalFree(flipped);
  return dialog;
}

// Each item's x became width - x - cx; its width stayed.
void ExpectMirrored(UINT dialogId, int width, std::initializer_list<Expected> items) {
  HWND dialog = FlippedDialog(dialogId, FALSE);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(0, ::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  for (const Expected& item : items) {
    ItemPlace place = PlaceOf(dialog, item.id);
    EXPECT_NEAR(width - item.x - item.cx, place.left, 1) << "item " << item.id;
    EXPECT_NEAR(item.cx, place.width, 1) << "item " << item.id;
  }
  ::DestroyWindow(dialog);
}

LONG ScreenLeft(HWND dialog, int id) {
  RECT item = {};
  ::GetWindowRect(::GetDlgItem(dialog, id), &item);
  return item.left;
}

}  // namespace

TEST(FlipDialogTest, MirrorsEveryItemOfThePlainForm) {
  ExpectMirrored(200, 200, {{201, 10, 50}, {202, 0, 120}, {203, 150, 50}});
}

TEST(FlipDialogTest, MirrorsEveryItemOfTheExtendedFormWithItsFont) {
  ExpectMirrored(300, 240, {{301, 12, 160}, {304, 150, 78}, {IDCANCEL, 176, 52}, {309, 64, 52}});
}

TEST(FlipDialogTest, TheFlagLaysTheDialogOutRightToLeft) {
  HWND plain = FlippedDialog(300, FALSE), rtl = FlippedDialog(300, TRUE);
  ASSERT_NE(nullptr, plain);
  ASSERT_NE(nullptr, rtl);
  EXPECT_NE(0, ::GetWindowLongPtrW(rtl, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  // On the screen the title (x 12) and Cancel (x 176) swap sides once per
  // mirroring: the template's, then the layout's.
  EXPECT_GT(ScreenLeft(plain, 301), ScreenLeft(plain, IDCANCEL));
  EXPECT_LT(ScreenLeft(rtl, 301), ScreenLeft(rtl, IDCANCEL));
  ::DestroyWindow(plain);
  ::DestroyWindow(rtl);
}

TEST(FlipDialogTest, AMissingDialogGivesNothing) {
  EXPECT_EQ(nullptr, CRTLHelper::FlipDialog(::GetModuleHandleW(nullptr), 4242, FALSE));
  EXPECT_EQ(nullptr, CRTLHelper::FlipDialog(::GetModuleHandleW(nullptr), 700, FALSE));  // a string, not a dialog
}

TEST_F(SkinModuleTest, EveryPictureTheWizardAsksForDecodesWithItsSize) {
  std::vector<UINT> ids = {3001, 3027, 3028, 3029, 3030, 3032, 3033, 3034, 3051, 3060, 3067};
  for (UINT id = 3002; id <= 3013; ++id) ids.push_back(id);
  for (UINT id = 3035; id <= 3043; ++id) ids.push_back(id);
  for (UINT id = 3047; id <= 3059; ++id) ids.push_back(id);
  for (UINT id : ids) {
    XELU_BITMAP bitmap = {};
    ASSERT_TRUE(CXeluResourceManager::LoadBitmapW(&bitmap, Skin(), id, L"PNG")) << id;
    BITMAP info = {};
    ASSERT_TRUE(::GetObjectW(bitmap.hBitmap, sizeof(info), &info)) << id;
    EXPECT_EQ(info.bmWidth, bitmap.width) << id;
    EXPECT_EQ(info.bmHeight, bitmap.height) << id;
    CXeluResourceManager::UnloadBitmap(&bitmap);
    EXPECT_EQ(nullptr, bitmap.hBitmap);
  }
  XELU_BITMAP background = {};
  ASSERT_TRUE(CXeluResourceManager::LoadBitmapW(&background, Skin(), 3001, L"PNG"));
  EXPECT_EQ(670, background.width);
  EXPECT_EQ(510, background.height);
  CXeluResourceManager::UnloadBitmap(&background);
}

// Frames of one animation look different from their neighbours.
TEST_F(SkinModuleTest, AnimationFramesDiffer) {
  auto pixels = [&](UINT id) {
    XELU_BITMAP bitmap = {};
    EXPECT_TRUE(CXeluResourceManager::LoadBitmapW(&bitmap, Skin(), id, L"PNG"));
    std::vector<DWORD> out(static_cast<size_t>(bitmap.width) * bitmap.height);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), bitmap.width, -bitmap.height, 1, 32, BI_RGB};
    CScreenDC screen(::GetDC(nullptr));
    ::GetDIBits(screen.Get(), bitmap.hBitmap, 0, bitmap.height, out.data(), &info, DIB_RGB_COLORS);
    CXeluResourceManager::UnloadBitmap(&bitmap);
    return out;
  };
  for (auto range : {std::make_pair(3035u, 3043u), std::make_pair(3047u, 3056u), std::make_pair(3057u, 3059u)})
    for (UINT id = range.first; id < range.second; ++id) EXPECT_NE(pixels(id), pixels(id + 1)) << id;
}

TEST_F(SkinModuleTest, AMissingOrUndecodablePictureFailsWithAClearedRecord) {
  XELU_BITMAP bitmap = {reinterpret_cast<HBITMAP>(1), 5, 5};
  EXPECT_FALSE(CXeluResourceManager::LoadBitmapW(&bitmap, Skin(), 3999, L"PNG"));
  EXPECT_EQ(nullptr, bitmap.hBitmap);
  EXPECT_EQ(0, bitmap.width);
  // A colour is data, not a picture.
  EXPECT_FALSE(CXeluResourceManager::LoadBitmapW(&bitmap, Skin(), 600, MAKEINTRESOURCEW(10)));
  EXPECT_EQ(0, bitmap.height);
}

TEST_F(SkinModuleTest, DeviceIconsComeInBothSizesAndDiffer) {
  std::vector<COLORREF> centres;
  for (UINT id = 3061; id <= 3066; ++id) {
    for (int size : {24, 16}) {
      CIconHandle icon(static_cast<HICON>(::LoadImageW(Skin(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
      ASSERT_TRUE(icon.IsValid()) << id << " at " << size;
      ICONINFO info = {};
      ASSERT_TRUE(::GetIconInfo(icon.Get(), &info));
      CGdiObject colour(info.hbmColor), mask(info.hbmMask);
      BITMAP bits = {};
      ::GetObjectW(colour.Get(), sizeof(bits), &bits);
      EXPECT_EQ(size, bits.bmWidth) << id;
      if (size != 24) continue;
      // What the list shows at the icon's heart tells the kinds apart.
      CScreenDC screen(::GetDC(nullptr));
      CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
      CGdiObject canvas(::CreateCompatibleBitmap(screen.Get(), 24, 24));
      CSelectObject select(memory.Get(), canvas.Get());
      RECT all = {0, 0, 24, 24};
      ::FillRect(memory.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::DrawIconEx(memory.Get(), 0, 0, icon.Get(), 24, 24, 0, nullptr, DI_NORMAL);
      centres.push_back(::GetPixel(memory.Get(), 12, 21) ^ (::GetPixel(memory.Get(), 4, 12) << 1));
    }
  }
  for (size_t a = 0; a < centres.size(); ++a)
    for (size_t b = a + 1; b < centres.size(); ++b) EXPECT_NE(centres[a], centres[b]) << a << " and " << b;
}

TEST_F(SkinModuleTest, ColoursComeFromTheModuleAndBlackWithoutOne) {
  const COLORREF title = SutrelLoadColor(Skin(), 600);
  EXPECT_NE(RGB(0, 0, 0), title);
  EXPECT_NE(SutrelLoadColor(Skin(), 601), SutrelLoadColor(Skin(), 604));  // enabled and disabled text
  EXPECT_EQ(RGB(0, 0, 0), SutrelLoadColor(Skin(), 699));
  EXPECT_EQ(RGB(0, 0, 0), SutrelLoadColor(nullptr, 600));
}

TEST(BitmapMirrorTest, FlipsLeftAndRightAndKeepsTheSource) {
  const DWORD pixels[2] = {0x00FF0000, 0x000000FF};  // red, blue (as 0x00RRGGBB)
  CGdiObject source(::CreateBitmap(2, 1, 1, 32, pixels));
  ASSERT_TRUE(source.IsValid());
  CGdiObject mirrored(CXeluBitmap::Mirror(static_cast<HBITMAP>(source.Get())));
  ASSERT_TRUE(mirrored.IsValid());
  auto read = [](HGDIOBJ bitmap, DWORD* out) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), 2, -1, 1, 32, BI_RGB};
    CScreenDC screen(::GetDC(nullptr));
    return ::GetDIBits(screen.Get(), static_cast<HBITMAP>(bitmap), 0, 1, out, &info, DIB_RGB_COLORS) == 1;
  };
  DWORD flipped[2] = {}, kept[2] = {};
  ASSERT_TRUE(read(mirrored.Get(), flipped));
  ASSERT_TRUE(read(source.Get(), kept));
  EXPECT_EQ(0x000000FFu, flipped[0] & 0x00FFFFFF);
  EXPECT_EQ(0x00FF0000u, flipped[1] & 0x00FFFFFF);
  EXPECT_EQ(0x00FF0000u, kept[0] & 0x00FFFFFF);
  EXPECT_EQ(nullptr, CXeluBitmap::Mirror(nullptr));
}

// The launcher records each start in its own folder.
TEST(LauncherTest, EachStartAppendsItsCommandLine) {
  wchar_t temp[MAX_PATH] = L"";
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"kelvast-test-" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring program = folder + L"\\Kelvast.exe", log = folder + L"\\Kelvast.log";
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\Kelvast.exe").c_str(), program.c_str(), FALSE));
  ::DeleteFileW(log.c_str());
  for (const wchar_t* arguments : {L"", L" /first two"}) {
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    CHandle processHandle(process.hProcess), threadHandle(process.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, 20000));
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(0u, code);
  }
  std::ifstream file(log.c_str(), std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  file.close();
  std::string text = content.str();
  EXPECT_EQ(0u, text.find("started\t\""));
  EXPECT_EQ(2, std::count(text.begin(), text.end(), '\n'));
  EXPECT_NE(std::string::npos, text.find("Kelvast.exe\" /first two\n"));
  ::DeleteFileW(log.c_str());
  ::DeleteFileW(program.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

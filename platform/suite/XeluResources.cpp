#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include "ComPtr.h"
#include "Image.h"
#include "XeluInternal.h"
#include "ZCLFrame.h"

namespace {

// The resource's bytes, valid while the module is loaded; false when missing.
bool FindBytes(HINSTANCE module, UINT id, LPCWSTR type, const BYTE** bytes, DWORD* size) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(module, found);
  *size = ::SizeofResource(module, found);
  *bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
  return *bytes && *size > 0;
}

// 32 bits a pixel, rows top-down.
BITMAPINFO TopDownInfo(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A DIB section of that size and its bits.
HBITMAP CreateTopDownDib(int width, int height, void** bits) {
  BITMAPINFO info = TopDownInfo(width, height);
  return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Decodes a picture resource into a premultiplied 32-bit DIB.
HBITMAP DecodePicture(HINSTANCE module, UINT id, LPCWSTR type, int* width, int* height) {
  const BYTE* bytes = nullptr;
  DWORD size = 0;
  if (!FindBytes(module, id, type, &bytes, &size) || !WtlStartGdiPlus()) return nullptr;
  CComPtr<IStream> stream;
  stream.Attach(::SHCreateMemStream(bytes, size));  // made with its one reference
  if (!stream) return nullptr;
  std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
  if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
  int w = static_cast<int>(decoded->GetWidth()), h = static_cast<int>(decoded->GetHeight());
  if (w <= 0 || h <= 0) return nullptr;
  Gdiplus::Rect whole(0, 0, w, h);
  Gdiplus::BitmapData data = {};
  if (decoded->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
    return nullptr;
  void* bits = nullptr;
  CGdiObject dib(CreateTopDownDib(w, h, &bits));
  if (dib) {
    for (int row = 0; row < h; ++row)
      std::memcpy(static_cast<BYTE*>(bits) + static_cast<size_t>(row) * w * 4,
                  static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride,
                  static_cast<size_t>(w) * 4);
  }
  decoded->UnlockBits(&data);
  if (!dib) return nullptr;
  *width = w;
  *height = h;
  return static_cast<HBITMAP>(dib.Detach());
}

}  // namespace

COLORREF WINAPI SutrelLoadColor(HINSTANCE module, UINT id) {
  COLORREF color = RGB(0, 0, 0);
  ZCLGuarded(2, ZCL_SITE, [&] {
    // A colour is an RCDATA resource holding one COLORREF.
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    if (module && FindBytes(module, id, MAKEINTRESOURCEW(10), &bytes, &size) && size >= sizeof(COLORREF)) {
      COLORREF stored;
      std::memcpy(&stored, bytes, sizeof(stored));
      color = stored & 0x00FFFFFF;
    }
  });
  return color;
}

BOOL CXeluResourceManager::LoadBitmapW(XELU_BITMAP* bitmap, HINSTANCE module, UINT id, LPCWSTR type) {
  if (!bitmap) return FALSE;
  *bitmap = XELU_BITMAP{};
  BOOL loaded = FALSE;
  ZCLGuarded(2, ZCL_SITE, [&] {
    int width = 0, height = 0;
    HBITMAP decoded = DecodePicture(module, id, type ? type : L"PNG", &width, &height);
    if (!decoded) return;
    *bitmap = XELU_BITMAP{decoded, width, height};
    loaded = TRUE;
  });
  return loaded;
}

void CXeluResourceManager::UnloadBitmap(XELU_BITMAP* bitmap) {
  if (!bitmap) return;
  if (bitmap->hBitmap) ::DeleteObject(bitmap->hBitmap);
  *bitmap = XELU_BITMAP{};
}

HBITMAP CXeluBitmap::Mirror(HBITMAP bitmap) {
  HBITMAP mirrored = nullptr;
  ZCLGuarded(2, ZCL_SITE, [&] {
    BITMAP source = {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(source), &source) || source.bmWidth <= 0 || source.bmHeight <= 0)
      return;
    const int width = source.bmWidth, height = source.bmHeight;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info = TopDownInfo(width, height);
    CScreenDC screen(::GetDC(nullptr));
    if (!screen || ::GetDIBits(screen.Get(), bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height)
      return;
    for (int row = 0; row < height; ++row) {
      DWORD* line = pixels.data() + static_cast<size_t>(row) * width;
      std::reverse(line, line + width);
    }
    void* bits = nullptr;
    CGdiObject result(CreateTopDownDib(width, height, &bits));
    if (!result) return;
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(DWORD));
    mirrored = static_cast<HBITMAP>(result.Detach());
  });
  return mirrored;
}

bool CXeluImage::Load(UINT id) {
  m_bitmap.Reset();
  m_width = m_height = 0;
  XELU_BITMAP loaded = {};
  if (!id || !CXeluResourceManager::LoadBitmapW(&loaded, CXeluLib::m_hInstRes, id, L"PNG")) return false;
  m_bitmap.Reset(loaded.hBitmap);
  m_width = loaded.width;
  m_height = loaded.height;
  return true;
}

bool CXeluImage::Draw(HDC dc, const RECT& target) const { return DrawPart(dc, target, 0, m_width); }

bool CXeluImage::DrawPart(HDC dc, const RECT& target, int sourceX, int sourceWidth) const {
  if (IsNull() || sourceWidth <= 0 || target.right <= target.left || target.bottom <= target.top) return false;
  CMemoryDC memory(::CreateCompatibleDC(dc));
  if (!memory) return false;
  CSelectObject select(memory.Get(), m_bitmap.Get());
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  return ::GdiAlphaBlend(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
                         memory.Get(), sourceX, 0, sourceWidth, m_height, blend) != FALSE;
}

void XeluDrawThreePart(HDC dc, const RECT& rect, const CXeluImage& left, const CXeluImage& middle,
                       const CXeluImage& right) {
  const int height = rect.bottom - rect.top;
  // Edges keep their shape: scaled to the height, never wider than half.
  auto edgeWidth = [&](const CXeluImage& edge) {
    if (edge.IsNull() || edge.Height() <= 0) return 0;
    int width = MulDiv(edge.Width(), height, edge.Height());
    return std::min(width, static_cast<int>((rect.right - rect.left) / 2));
  };
  const int leftWidth = edgeWidth(left), rightWidth = edgeWidth(right);
  left.Draw(dc, RECT{rect.left, rect.top, rect.left + leftWidth, rect.bottom});
  middle.Draw(dc, RECT{rect.left + leftWidth, rect.top, rect.right - rightWidth, rect.bottom});
  right.Draw(dc, RECT{rect.right - rightWidth, rect.top, rect.right, rect.bottom});
}

std::wstring XeluModuleString(HINSTANCE module, UINT id, const wchar_t* fallback) {
  const wchar_t* text = nullptr;
  int length = module && id ? ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring(fallback);
}

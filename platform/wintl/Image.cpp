#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <memory>
#include <mutex>
#include "AppModule.h"
#include "Image.h"

bool WtlStartGdiPlus() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    // Never shut down: images may be drawn until the process ends.
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  });
  return started;
}

namespace {

HRESULT FromGdiPlusBitmap(Gdiplus::Bitmap* bitmap, CGdiObject* out) {
  if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return E_FAIL;
  HBITMAP handle = nullptr;
  if (bitmap->GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &handle) != Gdiplus::Ok || !handle)
    return E_FAIL;
  out->Reset(handle);
  return S_OK;
}

bool FindEncoder(const wchar_t* mime, CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(codecs[i].MimeType, mime) == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

HRESULT CImage::Load(const wchar_t* path) {
  if (!path || !*path) return E_INVALIDARG;
  if (!WtlStartGdiPlus()) return E_FAIL;
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(path));
  return FromGdiPlusBitmap(bitmap.get(), &m_bitmap);
}

HRESULT CImage::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  if (!WtlStartGdiPlus()) return E_FAIL;
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
  return FromGdiPlusBitmap(bitmap.get(), &m_bitmap);
}

HRESULT CImage::LoadFromResource(UINT id) {
  HANDLE loaded = ::LoadImageW(WtlGetResourceInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                               0, LR_CREATEDIBSECTION);
  if (!loaded) return HRESULT_FROM_WIN32(::GetLastError() ? ::GetLastError() : ERROR_NOT_FOUND);
  m_bitmap.Reset(loaded);
  return S_OK;
}

HRESULT CImage::SavePng(const wchar_t* path) const {
  if (IsNull()) return E_UNEXPECTED;
  if (!WtlStartGdiPlus()) return E_FAIL;
  CLSID png;
  if (!FindEncoder(L"image/png", &png)) return E_FAIL;
  Gdiplus::Bitmap bitmap(static_cast<HBITMAP>(m_bitmap.Get()), nullptr);
  return bitmap.Save(path, &png, nullptr) == Gdiplus::Ok ? S_OK : E_FAIL;
}

int CImage::GetWidth() const {
  BITMAP info = {};
  return ::GetObjectW(m_bitmap.Get(), sizeof(info), &info) ? info.bmWidth : 0;
}

int CImage::GetHeight() const {
  BITMAP info = {};
  return ::GetObjectW(m_bitmap.Get(), sizeof(info), &info) ? info.bmHeight : 0;
}

#pragma once
#include <windows.h>
#include <objidl.h>
#include "GdiHandles.h"

// A picture loaded through GDI+ (any format it reads: BMP, PNG, JPEG, GIF)
// and kept as a device-independent bitmap. Used by one thread at a time.
class CImage {
public:
  CImage() = default;

  HRESULT Load(const wchar_t* path);
  HRESULT Load(IStream* stream);
  // A bitmap resource of the layer's resource instance, as a DIB section.
  HRESULT LoadFromResource(UINT id);
  // Takes over a bitmap handle.
  void Attach(HBITMAP bitmap) { m_bitmap.Reset(bitmap); }
  // Saves as PNG.
  HRESULT SavePng(const wchar_t* path) const;

  void Destroy() { m_bitmap.Reset(); }
  bool IsNull() const { return !m_bitmap.IsValid(); }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_bitmap.Get()); }
  int GetWidth() const;
  int GetHeight() const;

private:
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;
  CGdiObject m_bitmap;
};

// Starts GDI+ for the process once (never in DllMain); false when it cannot
// be started.
bool WtlStartGdiPlus();

#pragma once
#include <windows.h>
#include <commctrl.h>
#include "ZCLHandle.h"

// Owners for the window layer's graphic handles.
struct WtlGdiObjectTraits {
  typedef HGDIOBJ Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::DeleteObject(h); }
};
struct WtlImageListTraits {
  typedef HIMAGELIST Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::ImageList_Destroy(h); }
};
struct WtlIconTraits {
  typedef HICON Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::DestroyIcon(h); }
};
struct WtlWindowDCTraits {
  typedef HDC Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::ReleaseDC(nullptr, h); }
};
struct WtlMemoryDCTraits {
  typedef HDC Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::DeleteDC(h); }
};
struct WtlMenuTraits {
  typedef HMENU Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::DestroyMenu(h); }
};
typedef CUniqueHandle<WtlGdiObjectTraits> CGdiObject;
typedef CUniqueHandle<WtlMenuTraits> CMenuHandle;
typedef CUniqueHandle<WtlImageListTraits> CImageListHandle;
typedef CUniqueHandle<WtlIconTraits> CIconHandle;
typedef CUniqueHandle<WtlWindowDCTraits> CScreenDC;  // from GetDC(nullptr)
typedef CUniqueHandle<WtlMemoryDCTraits> CMemoryDC;

// A window's DC from GetDC(window), given back to that window.
class CWindowDC {
public:
  explicit CWindowDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
  ~CWindowDC() {
    if (m_dc) ::ReleaseDC(m_window, m_dc);
  }
  HDC Get() const { return m_dc; }

private:
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  HWND m_window;
  HDC m_dc;
};

// Restores a DC's previous object when the scope ends.
class CSelectObject {
public:
  CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(::SelectObject(dc, object)) {}
  ~CSelectObject() {
    if (m_old) ::SelectObject(m_dc, m_old);
  }

private:
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  HDC m_dc;
  HGDIOBJ m_old;
};

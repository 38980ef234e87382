#include <windows.h>
#include <commctrl.h>
#include "XeluInternal.h"
#include "ZCLFrame.h"

namespace {

// Marks a window that has a back buffer, for its children's lookup.
const wchar_t kProperty[] = L"XeluBackBuffer";

CXeluControlState* BufferOf(HWND window) {
  return window ? static_cast<CXeluControlState*>(::GetPropW(window, kProperty)) : nullptr;
}

// The nearest ancestor with a back buffer.
CXeluControlState* AncestorBuffer(HWND window) {
  if (!(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)) return nullptr;
  for (HWND parent = ::GetParent(window); parent; parent = ::GetParent(parent)) {
    if (CXeluControlState* found = BufferOf(parent)) return found;
    if (!(::GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD)) break;
  }
  return nullptr;
}

BOOL CALLBACK RebuildChild(HWND child, LPARAM);

// Draws the client area once: the skin bitmap stretched over it or, inside
// a window that has a background already, that picture at the window's
// place, so that a child dialog sits seamless in its frame.
void Rebuild(CXeluControlState* state) {
  HWND window = state->window;
  RECT client = {};
  ::GetClientRect(window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  CScreenDC screen(::GetDC(nullptr));
  CMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  CGdiObject picture(::CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
  if (!memory || !picture) return;
  {
    CSelectObject select(memory.Get(), picture.Get());
    ::FillRect(memory.Get(), &client, ::GetSysColorBrush(COLOR_3DFACE));
    CXeluControlState* ancestor = AncestorBuffer(window);
    if (ancestor && ancestor->picture) {
      POINT origin = {0, 0};
      ::MapWindowPoints(window, ancestor->window, &origin, 1);
      CMemoryDC source(::CreateCompatibleDC(screen.Get()));
      CSelectObject selectSource(source.Get(), ancestor->picture.Get());
      ::BitBlt(memory.Get(), 0, 0, client.right, client.bottom, source.Get(), origin.x, origin.y, SRCCOPY);
    } else {
      CXeluImage image;
      if (image.Load(state->backgroundId)) image.Draw(memory.Get(), client);
    }
  }
  state->pictureBrush.Reset(::CreatePatternBrush(static_cast<HBITMAP>(picture.Get())));
  state->picture = std::move(picture);
  ::EnumChildWindows(window, &RebuildChild, 0);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

BOOL CALLBACK RebuildChild(HWND child, LPARAM) {
  if (CXeluControlState* state = BufferOf(child)) Rebuild(state);
  return TRUE;
}

bool PaintsOver(HWND child) {
  wchar_t name[16] = L"";
  ::GetClassNameW(child, name, 16);
  return lstrcmpiW(name, L"Static") == 0 || lstrcmpiW(name, L"Button") == 0;
}

LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* state = reinterpret_cast<CXeluControlState*>(data);
  switch (message) {
    case WM_NCDESTROY:
      ::RemovePropW(window, kProperty);
      ::RemoveWindowSubclass(window, state->procedure, kXeluSubclassId);
      state->window = nullptr;
      return ::DefSubclassProc(window, message, wParam, lParam);
    case WM_ERASEBKGND:
      if (state->picture) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        CMemoryDC memory(::CreateCompatibleDC(dc));
        CSelectObject select(memory.Get(), state->picture.Get());
        BITMAP size = {};
        ::GetObjectW(state->picture.Get(), sizeof(size), &size);
        ::BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory.Get(), 0, 0, SRCCOPY);
        return 1;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HWND child = reinterpret_cast<HWND>(lParam);
      if (!state->pictureBrush || !PaintsOver(child)) break;
      // The parent's own handler may choose the text colour; its brush is
      // replaced by this window's picture, aligned to the child's place.
      ::DefSubclassProc(window, message, wParam, lParam);
      HDC dc = reinterpret_cast<HDC>(wParam);
      POINT origin = {0, 0};
      ::MapWindowPoints(child, window, &origin, 1);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
      return reinterpret_cast<LRESULT>(state->pictureBrush.Get());
    }
    case WM_WINDOWPOSCHANGED: {
      LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
      const WINDOWPOS* position = reinterpret_cast<const WINDOWPOS*>(lParam);
      const bool moved = !(position->flags & SWP_NOMOVE) && AncestorBuffer(window);
      if (!(position->flags & SWP_NOSIZE) || moved) ZCLGuarded(2, ZCL_SITE, [&] { Rebuild(state); });
      return result;
    }
    default:
      break;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool XeluDrawParentPicture(HWND child, HDC dc, const RECT& client) {
  HWND parent = ::GetParent(child);
  CXeluControlState* buffer = BufferOf(parent);
  if (!buffer || !buffer->picture) return false;
  POINT origin = {0, 0};
  ::MapWindowPoints(child, parent, &origin, 1);
  CMemoryDC memory(::CreateCompatibleDC(dc));
  CSelectObject select(memory.Get(), buffer->picture.Get());
  return ::BitBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top, memory.Get(),
                  origin.x + client.left, origin.y + client.top, SRCCOPY) != FALSE;
}

CXeluBackBuffer::CXeluBackBuffer(UINT bitmap) : m_bitmap(bitmap), m_state(new CXeluControlState) {
  m_state->kind = XELU_BACKGROUND;
}

CXeluBackBuffer::~CXeluBackBuffer() {
  ZCLGuarded(2, ZCL_SITE, [&] { Release(); });
  delete m_state;
}

BOOL CXeluBackBuffer::SetBackground(HWND window) {
  Release();
  BOOL set = FALSE;
  ZCLGuarded(2, ZCL_SITE, [&] {
    m_state->backgroundId = m_bitmap;
    if (!XeluAttach(m_state, window, &BackgroundProc)) return;
    ::SetPropW(window, kProperty, m_state);
    Rebuild(m_state);
    set = TRUE;
  });
  return set;
}

void CXeluBackBuffer::Release() {
  if (HWND window = m_state->window) {
    ::RemovePropW(window, kProperty);
    XeluDetach(m_state);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  m_state->pictureBrush.Reset();
  m_state->picture.Reset();
}

#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include "XeluInternal.h"
#include "ZCLFrame.h"

namespace {

const UINT_PTR kAnimationTimer = 0x5845;

// Repaints at once after the window's own procedure handled a message on
// which it may have drawn itself natively.
void RedrawNow(HWND window) { ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

bool DrawsNatively(UINT message) {
  switch (message) {
    case BM_SETSTATE: case BM_SETCHECK: case BM_SETSTYLE: case BM_CLICK:
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case WM_SETTEXT: case WM_SETFONT:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_KEYDOWN: case WM_KEYUP:
    case WM_CAPTURECHANGED: case WM_UPDATEUISTATE: case WM_SYSCOLORCHANGE:
      return true;
    default:
      return false;
  }
}

std::wstring WindowText(HWND window) {
  int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = ::GetWindowTextW(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

HFONT WindowFont(const CXeluControlState& state) {
  return state.font ? state.font : reinterpret_cast<HFONT>(::SendMessageW(state.window, WM_GETFONT, 0, 0));
}

// Scaled to fit the rectangle with its proportions kept, centred.
RECT FitInside(const CXeluImage& image, const RECT& area) {
  const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
  if (image.Width() <= 0 || image.Height() <= 0) return area;
  int width = areaWidth, height = MulDiv(image.Height(), areaWidth, image.Width());
  if (height > areaHeight) {
    height = areaHeight;
    width = MulDiv(image.Width(), areaHeight, image.Height());
  }
  const int left = area.left + (areaWidth - width) / 2, top = area.top + (areaHeight - height) / 2;
  return RECT{left, top, left + width, top + height};
}

void DrawWindowText(const CXeluControlState& state, HDC dc, RECT area, UINT format, COLORREF color) {
  std::wstring text = WindowText(state.window);
  if (text.empty()) return;
  CSelectObject font(dc, WindowFont(state));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, color);
  if (::SendMessageW(state.window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) format |= DT_HIDEPREFIX;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

COLORREF TextColorOf(const CXeluControlState& state) {
  if (!::IsWindowEnabled(state.window)) return ::GetSysColor(COLOR_GRAYTEXT);
  return state.textColor != CLR_INVALID ? state.textColor : ::GetSysColor(COLOR_BTNTEXT);
}

void PaintText(const CXeluControlState& state, HDC dc, const RECT& client) {
  const LONG_PTR style = ::GetWindowLongPtrW(state.window, GWL_STYLE);
  UINT format = 0;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: format = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format = DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: case SS_LEFTNOWORDWRAP: format = DT_LEFT | DT_SINGLELINE; break;
    default: format = DT_LEFT | DT_WORDBREAK; break;
  }
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  if (style & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS;
  DrawWindowText(state, dc, client, format | DT_EXPANDTABS, TextColorOf(state));
}

enum ButtonKind { kPush, kCheck, kRadio, kOther };

ButtonKind KindOf(HWND button) {
  switch (::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) {
    case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON: case BS_OWNERDRAW: return kPush;
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE: return kCheck;
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return kRadio;
    default: return kOther;
  }
}

int ButtonState(const CXeluControlState& state) {
  const LRESULT now = ::SendMessageW(state.window, BM_GETSTATE, 0, 0);
  const bool pushLike = (::GetWindowLongPtrW(state.window, GWL_STYLE) & BS_PUSHLIKE) != 0;
  if (!::IsWindowEnabled(state.window)) return XELU_STATE_DISABLED;
  if ((now & BST_PUSHED) || (pushLike && (now & BST_CHECKED))) return XELU_STATE_PRESSED;
  return state.hot ? XELU_STATE_HOT : XELU_STATE_NORMAL;
}

bool ShowsFocus(HWND window) {
  return ::GetFocus() == window && !(::SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

void PaintPushButton(const CXeluControlState& state, HDC dc, const RECT& client) {
  const int now = ButtonState(state);
  const size_t first = static_cast<size_t>(now) * 3;
  if (state.images.size() >= first + 3 && !state.images[first + 1].IsNull()) {
    XeluDrawThreePart(dc, client, state.images[first], state.images[first + 1], state.images[first + 2]);
  } else {
    RECT face = client;
    ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (now == XELU_STATE_PRESSED ? DFCS_PUSHED : 0));
  }
  RECT text = client;
  if (now == XELU_STATE_PRESSED) ::OffsetRect(&text, 1, 1);
  COLORREF color = state.buttonStates[now].textColor;
  DrawWindowText(state, dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, color);
  if (ShowsFocus(state.window)) {
    RECT focus = client;
    ::InflateRect(&focus, -4, -4);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::DrawFocusRect(dc, &focus);
  }
}

// A check box's square or a radio button's circle, with its mark.
void PaintGlyph(HDC dc, const RECT& box, ButtonKind kind, LRESULT check, int now) {
  const COLORREF edge = now == XELU_STATE_DISABLED ? RGB(160, 160, 160)
                        : now == XELU_STATE_HOT     ? RGB(60, 130, 210)
                                                    : RGB(70, 95, 135);
  const COLORREF fill = now == XELU_STATE_PRESSED ? RGB(215, 228, 245) : RGB(255, 255, 255);
  const COLORREF mark = now == XELU_STATE_DISABLED ? RGB(160, 160, 160) : RGB(30, 80, 150);
  CGdiObject pen(::CreatePen(PS_SOLID, 1, edge)), brush(::CreateSolidBrush(fill));
  CSelectObject selectPen(dc, pen.Get()), selectBrush(dc, brush.Get());
  if (kind == kRadio) {
    ::Ellipse(dc, box.left, box.top, box.right, box.bottom);
    if (check & BST_CHECKED) {
      CGdiObject dot(::CreateSolidBrush(mark)), dotPen(::CreatePen(PS_SOLID, 1, mark));
      CSelectObject d(dc, dot.Get()), p(dc, dotPen.Get());
      ::Ellipse(dc, box.left + 4, box.top + 4, box.right - 4, box.bottom - 4);
    }
    return;
  }
  ::RoundRect(dc, box.left, box.top, box.right, box.bottom, 3, 3);
  if (check & (BST_CHECKED | BST_INDETERMINATE)) {
    CGdiObject tick(::CreatePen(PS_SOLID, 2, mark));
    CSelectObject p(dc, tick.Get());
    const int w = box.right - box.left, h = box.bottom - box.top;
    if (check & BST_INDETERMINATE) {
      ::MoveToEx(dc, box.left + 3, box.top + h / 2, nullptr);
      ::LineTo(dc, box.right - 3, box.top + h / 2);
    } else {
      POINT points[] = {{box.left + w / 4, box.top + h / 2},
                        {box.left + w * 2 / 5, box.bottom - h / 4 - 1},
                        {box.right - w / 4, box.top + h / 4}};
      ::Polyline(dc, points, 3);
    }
  }
}

void PaintCheckButton(const CXeluControlState& state, HDC dc, const RECT& client, ButtonKind kind) {
  const LONG_PTR style = ::GetWindowLongPtrW(state.window, GWL_STYLE);
  if (style & BS_PUSHLIKE) {
    PaintPushButton(state, dc, client);
    return;
  }
  const int now = ButtonState(state);
  const int size = 13;
  const bool glyphRight = (style & BS_LEFTTEXT) != 0;
  const int top = client.top + (client.bottom - client.top - size) / 2;
  RECT box = glyphRight ? RECT{client.right - size, top, client.right, top + size}
                        : RECT{client.left, top, client.left + size, top + size};
  PaintGlyph(dc, box, kind, ::SendMessageW(state.window, BM_GETCHECK, 0, 0), now);
  RECT text = glyphRight ? RECT{client.left, client.top, box.left - 4, client.bottom}
                         : RECT{box.right + 4, client.top, client.right, client.bottom};
  UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
  DrawWindowText(state, dc, text, format, TextColorOf(state));
  if (ShowsFocus(state.window) && !WindowText(state.window).empty()) {
    RECT measured = text;
    CSelectObject font(dc, WindowFont(state));
    std::wstring caption = WindowText(state.window);
    ::DrawTextW(dc, caption.c_str(), -1, &measured, format | DT_CALCRECT);
    measured.top = text.top + (text.bottom - text.top - (measured.bottom - measured.top)) / 2;
    measured.bottom = measured.top + (measured.bottom - measured.top);
    ::InflateRect(&measured, 1, 1);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::DrawFocusRect(dc, &measured);
  }
}

void Paint(const CXeluControlState& state, HDC dc) {
  RECT client = {};
  ::GetClientRect(state.window, &client);
  if (!XeluDrawParentPicture(state.window, dc, client))
    ::FillRect(dc, &client, XeluParentBackground(state.window, dc));
  switch (state.kind) {
    case XELU_TEXT:
      PaintText(state, dc, client);
      break;
    case XELU_PICTURE:
      if (!state.images.empty()) state.images[0].Draw(dc, FitInside(state.images[0], client));
      break;
    case XELU_BAR:
      if (!state.images.empty()) state.images[0].Draw(dc, client);
      break;
    case XELU_ANIMATION:
      if (state.frame < state.images.size())
        state.images[state.frame].Draw(dc, FitInside(state.images[state.frame], client));
      break;
    case XELU_BUTTON: {
      ButtonKind kind = KindOf(state.window);
      if (kind == kCheck || kind == kRadio)
        PaintCheckButton(state, dc, client, kind);
      else
        PaintPushButton(state, dc, client);
      break;
    }
    case XELU_BACKGROUND:
      break;
  }
}

// The message the control handles itself; false passes it on.
bool HandleControlMessage(CXeluControlState* state, UINT message, WPARAM wParam, LRESULT* result) {
  switch (message) {
    case WM_ERASEBKGND:
      *result = 1;  // the whole client area is painted in WM_PAINT
      return true;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(state->window, &paint);
      if (dc) Paint(*state, dc);
      ::EndPaint(state->window, &paint);
      *result = 0;
      return true;
    }
    case WM_PRINTCLIENT:
      Paint(*state, reinterpret_cast<HDC>(wParam));
      *result = 0;
      return true;
    case WM_TIMER:
      if (wParam != kAnimationTimer) return false;
      if (!state->images.empty()) state->frame = (state->frame + 1) % state->images.size();
      ::InvalidateRect(state->window, nullptr, FALSE);
      *result = 0;
      return true;
    case WM_MOUSEMOVE:
      if (state->kind == XELU_BUTTON && !state->hot) {
        state->hot = true;
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, state->window, 0};
        state->tracking = ::TrackMouseEvent(&track) != FALSE;
        ::InvalidateRect(state->window, nullptr, FALSE);
      }
      return false;
    case WM_MOUSELEAVE:
      if (state->kind == XELU_BUTTON) {
        state->hot = state->tracking = false;
        ::InvalidateRect(state->window, nullptr, FALSE);
      }
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* state = reinterpret_cast<CXeluControlState*>(data);
  if (message == WM_NCDESTROY) {
    // The window goes before its control: give it back now.
    ::RemoveWindowSubclass(window, &ControlProc, kXeluSubclassId);
    state->window = nullptr;
    state->ownsWindow = state->animating = false;
    return ::DefSubclassProc(window, message, wParam, lParam);
  }
  LRESULT result = 0;
  bool handled = false;
  ZCLGuarded(2, ZCL_SITE, [&] { handled = HandleControlMessage(state, message, wParam, &result); });
  if (handled) return result;
  result = ::DefSubclassProc(window, message, wParam, lParam);
  if (DrawsNatively(message) && ::IsWindow(window)) RedrawNow(window);
  return result;
}

// Loads bitmaps first to last; a missing one leaves an empty slot.
void LoadImages(CXeluControlState* state, const UINT* ids, size_t count) {
  state->images.clear();
  for (size_t i = 0; i < count; ++i) {
    state->images.emplace_back();
    state->images.back().Load(ids[i]);
  }
}

HWND CreateStatic(HWND parent, const RECT& rect, UINT id) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

// Loads the control's pictures and takes the window over.
BOOL AttachAs(CXeluControlState* state, HWND window, XeluKind kind, const std::vector<UINT>& ids) {
  BOOL attached = FALSE;
  ZCLGuarded(2, ZCL_SITE, [&] {
    state->kind = kind;
    LoadImages(state, ids.data(), ids.size());
    attached = XeluAttach(state, window, &ControlProc) ? TRUE : FALSE;
  });
  return attached;
}

// A static window made for the control and attached; destroyed again when
// it cannot be, and with the control otherwise.
template <class Control, class Skin>
BOOL CreateAttached(Control* control, CXeluControlState* state, HWND parent, const RECT& rect, UINT id,
                    const Skin* skin) {
  control->Detach();
  HWND window = CreateStatic(parent, rect, id);
  if (!window) return FALSE;
  if (!control->Attach(window, skin)) {
    ::DestroyWindow(window);
    return FALSE;
  }
  state->ownsWindow = true;
  return TRUE;
}

}  // namespace

bool XeluAttach(CXeluControlState* state, HWND window, SUBCLASSPROC procedure) {
  DWORD owner = window ? ::GetWindowThreadProcessId(window, nullptr) : 0;
  if (!owner || owner != ::GetCurrentThreadId()) return false;
  if (!::SetWindowSubclass(window, procedure, kXeluSubclassId, reinterpret_cast<DWORD_PTR>(state))) return false;
  state->window = window;
  state->procedure = procedure;
  ::InvalidateRect(window, nullptr, TRUE);
  return true;
}

void XeluDetach(CXeluControlState* state) {
  HWND window = state->window;
  if (!window) return;
  if (state->animating) ::KillTimer(window, kAnimationTimer);
  state->animating = false;
  ::RemoveWindowSubclass(window, state->procedure, kXeluSubclassId);
  state->window = nullptr;
  if (state->ownsWindow) {
    state->ownsWindow = false;
    ::DestroyWindow(window);
  } else {
    ::InvalidateRect(window, nullptr, TRUE);
  }
}

HBRUSH XeluParentBackground(HWND child, HDC dc) {
  HWND parent = ::GetParent(child);
  HBRUSH brush = parent ? reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                  reinterpret_cast<WPARAM>(dc),
                                                                  reinterpret_cast<LPARAM>(child)))
                        : nullptr;
  return brush ? brush : ::GetSysColorBrush(COLOR_3DFACE);
}

CXeluStaticCtrl::CXeluStaticCtrl() : m_state(new CXeluControlState) {}

CXeluStaticCtrl::~CXeluStaticCtrl() {
  ZCLGuarded(2, ZCL_SITE, [&] { Detach(); });
  delete m_state;
}

BOOL CXeluStaticCtrl::Attach(HWND window, const CXeluStaticBitmapSkin* skin) {
  Detach();
  if (skin && skin->GetBitmap()) return AttachAs(m_state, window, XELU_PICTURE, {skin->GetBitmap()});
  return AttachAs(m_state, window, XELU_TEXT, {});
}

BOOL CXeluStaticCtrl::Create(HWND parent, const RECT& rect, UINT id, const CXeluStaticBitmapSkin* skin) {
  return CreateAttached(this, m_state, parent, rect, id, skin);
}

void CXeluStaticCtrl::Detach() { XeluDetach(m_state); }

HWND CXeluStaticCtrl::GetHwnd() const { return m_state->window; }

void CXeluStaticCtrl::SetTextColor(COLORREF color) {
  m_state->textColor = color;
  if (m_state->window) ::InvalidateRect(m_state->window, nullptr, FALSE);
}

void CXeluStaticCtrl::SetFont(HFONT font) {
  m_state->font = font;
  if (m_state->window) ::SendMessageW(m_state->window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

BOOL CXeluBarStaticCtrl::Attach(HWND window, const CXeluBarStaticSkin* skin) {
  Detach();
  return AttachAs(m_state, window, XELU_BAR, {(skin ? *skin : CXeluBarStaticSkin::GetDefaultSkinDef()).GetBitmap()});
}

BOOL CXeluBarStaticCtrl::Create(HWND parent, const RECT& rect, UINT id, const CXeluBarStaticSkin* skin) {
  return CreateAttached(this, m_state, parent, rect, id, skin);
}

BOOL CXeluButtonCtrl::Attach(HWND window, const CXeluButtonSkin* skin) {
  Detach();
  if (!window || KindOf(window) == kOther) return FALSE;
  const CXeluButtonSkin& use = skin ? *skin : CXeluButtonSkin::GetDefaultSkinDef();
  std::vector<UINT> ids;
  for (int state = 0; state < XELU_STATE_COUNT; ++state) {
    m_state->buttonStates[state] = use.GetState(state);
    ids.insert(ids.end(), use.GetState(state).bitmaps, use.GetState(state).bitmaps + 3);
  }
  m_state->hot = m_state->tracking = false;
  return AttachAs(m_state, window, XELU_BUTTON, ids);
}

BOOL CXeluAniStaticCtrl::Attach(HWND window, const CXeluAniStaticSkin* skin) {
  Detach();
  m_state->frame = 0;
  m_state->frameTime = skin && skin->GetFrameTime() ? skin->GetFrameTime() : 250;
  std::vector<UINT> ids;
  if (skin && skin->GetFirst() && skin->GetLast() >= skin->GetFirst())
    for (UINT id = skin->GetFirst(); id <= skin->GetLast(); ++id) ids.push_back(id);
  return AttachAs(m_state, window, XELU_ANIMATION, ids);
}

BOOL CXeluAniStaticCtrl::Create(HWND parent, const RECT& rect, UINT id, const CXeluAniStaticSkin* skin) {
  return CreateAttached(this, m_state, parent, rect, id, skin);
}

void CXeluAniStaticCtrl::StartAnimation() {
  if (!m_state->window || m_state->animating) return;
  m_state->animating = ::SetTimer(m_state->window, kAnimationTimer, m_state->frameTime, nullptr) != 0;
}

void CXeluAniStaticCtrl::StopAnimation() {
  if (!m_state->window || !m_state->animating) return;
  ::KillTimer(m_state->window, kAnimationTimer);
  m_state->animating = false;
  m_state->frame = 0;
  ::InvalidateRect(m_state->window, nullptr, FALSE);
}

BOOL CXeluAniStaticCtrl::IsAnimating() const { return m_state->animating ? TRUE : FALSE; }

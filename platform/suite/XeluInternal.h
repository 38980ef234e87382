#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "GdiHandles.h"
#include "QorsalDialix.h"

// What the suite UI library's files share inside the library: the decoded
// skin bitmaps, drawing helpers and the state behind every control. Nothing
// here crosses the library's boundary.

// A skin bitmap of CXeluLib::m_hInstRes, owned: a 32-bit top-down DIB with
// premultiplied alpha, so that it draws with AlphaBlend.
class CXeluImage {
public:
  CXeluImage() = default;
  CXeluImage(CXeluImage&& other) noexcept
      : m_bitmap(std::move(other.m_bitmap)), m_width(other.m_width), m_height(other.m_height) {}
  // False (and empty) when the skin module has no such picture.
  bool Load(UINT id);
  bool IsNull() const { return !m_bitmap.IsValid(); }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Stretched over the rectangle; false when empty.
  bool Draw(HDC dc, const RECT& target) const;
  // Source part (x, width) stretched over the rectangle.
  bool DrawPart(HDC dc, const RECT& target, int sourceX, int sourceWidth) const;
  HBITMAP Handle() const { return static_cast<HBITMAP>(m_bitmap.Get()); }

private:
  CXeluImage(const CXeluImage&) = delete;
  CXeluImage& operator=(const CXeluImage&) = delete;
  CGdiObject m_bitmap;
  int m_width = 0;
  int m_height = 0;
};

// Left edge, stretched middle, right edge.
void XeluDrawThreePart(HDC dc, const RECT& rect, const CXeluImage& left, const CXeluImage& middle,
                       const CXeluImage& right);

// What a control's window draws itself as.
enum XeluKind { XELU_TEXT, XELU_PICTURE, XELU_BAR, XELU_BUTTON, XELU_ANIMATION, XELU_BACKGROUND };

// One subclassed window: the control's or back buffer's state. Lives on the
// window's thread; the window's subclass procedure and the owning object are
// the only users.
struct CXeluControlState {
  XeluKind kind = XELU_TEXT;
  HWND window = nullptr;
  SUBCLASSPROC procedure = nullptr;
  bool ownsWindow = false;  // made by Create: destroyed with the control
  COLORREF textColor = CLR_INVALID;
  HFONT font = nullptr;
  std::vector<CXeluImage> images;  // picture, bar, animation frames, button states x3
  XELU_BUTTON_STATE buttonStates[XELU_STATE_COUNT] = {};
  UINT frameTime = 0;
  size_t frame = 0;
  bool animating = false;
  bool hot = false;
  bool tracking = false;
  // Back buffer: the window's client area as drawn, and a brush of it that
  // children paint their background with.
  CGdiObject picture;
  CGdiObject pictureBrush;
  UINT backgroundId = 0;
};

// The id of the library's subclass procedures on their windows.
const UINT_PTR kXeluSubclassId = 0x58454C55;

// Subclasses the window with the procedure (its reference data is the
// state); false when the window is not one or belongs to another thread.
bool XeluAttach(CXeluControlState* state, HWND window, SUBCLASSPROC procedure);
// Gives the window back (and destroys it when the control made it).
void XeluDetach(CXeluControlState* state);

// Copies the back-buffered parent's picture at the child's place into the
// child's client rectangle; false when the parent has no back buffer. Used
// by the library's own controls: a copy stays aligned where a brush does not
// (a right-to-left window mirrors its device context).
bool XeluDrawParentPicture(HWND child, HDC dc, const RECT& client);

// The brush a child of a back-buffered parent fills its background with,
// aligned to the child's place (from WM_CTLCOLORSTATIC to the parent, as a
// plain static would ask); the system's face colour elsewhere.
HBRUSH XeluParentBackground(HWND child, HDC dc);

// The dialog text of a module's string; the fallback when it has none.
std::wstring XeluModuleString(HINSTANCE module, UINT id, const wchar_t* fallback);

#include <windows.h>
#include "QorsalDialix.h"

namespace {

// The skins every control without one of its own draws with; set by the
// program on its main thread before it makes its windows.
CXeluButtonSkin g_defaultButton;
CXeluBarStaticSkin g_defaultBar;

}  // namespace

// The suite's standard button pictures: normal, hot, pressed, disabled.
CXeluButtonSkin::CXeluButtonSkin() {
  const UINT firsts[XELU_STATE_COUNT] = {3002, 3008, 3005, 3011};
  for (int state = 0; state < XELU_STATE_COUNT; ++state)
    SetState(state, firsts[state], firsts[state] + 1, firsts[state] + 2,
             state == XELU_STATE_DISABLED ? RGB(110, 115, 120) : RGB(255, 255, 255));
}

void CXeluButtonSkin::SetState(int state, UINT left, UINT middle, UINT right, COLORREF textColor) {
  if (state < 0 || state >= XELU_STATE_COUNT) return;
  m_states[state] = XELU_BUTTON_STATE{{left, middle, right}, textColor};
}

const XELU_BUTTON_STATE& CXeluButtonSkin::GetState(int state) const {
  return m_states[state >= 0 && state < XELU_STATE_COUNT ? state : XELU_STATE_NORMAL];
}

void CXeluButtonSkin::SetDefaultSkinDef(const CXeluButtonSkin& skin) { g_defaultButton = skin; }
const CXeluButtonSkin& CXeluButtonSkin::GetDefaultSkinDef() { return g_defaultButton; }

CXeluBarStaticSkin::CXeluBarStaticSkin(UINT bitmap) : m_bitmap(bitmap) {}
void CXeluBarStaticSkin::SetDefaultSkinDef(const CXeluBarStaticSkin& skin) { g_defaultBar = skin; }
const CXeluBarStaticSkin& CXeluBarStaticSkin::GetDefaultSkinDef() { return g_defaultBar; }

CXeluStaticBitmapSkin::CXeluStaticBitmapSkin(UINT bitmap) : m_bitmap(bitmap) {}

CXeluAniStaticSkin::CXeluAniStaticSkin(UINT firstBitmap, UINT lastBitmap, UINT frameMilliseconds)
    : m_first(firstBitmap), m_last(lastBitmap), m_frame(frameMilliseconds) {}

CXeluTabSkin::CXeluTabSkin() : m_reserved(0) {}

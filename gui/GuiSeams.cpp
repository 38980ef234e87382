#include <windows.h>
#include <atomic>
#include "GuiSeams.h"

namespace {
std::atomic<GuiClockFunction> g_clock{nullptr};
std::atomic<GuiMessageBoxFunction> g_messageBox{nullptr};
}  // namespace

void GuiSetClock(GuiClockFunction clock) { g_clock = clock; }

time_t GuiNow() {
  GuiClockFunction clock = g_clock;
  return clock ? clock() : ::time(nullptr);
}

void GuiSetMessageBox(GuiMessageBoxFunction box) { g_messageBox = box; }

int GuiMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  GuiMessageBoxFunction box = g_messageBox;
  return box ? box(owner, text, caption, type) : ::MessageBoxW(owner, text, caption, type);
}

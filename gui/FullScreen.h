#pragma once
#include <windows.h>

// What the full-screen test needs to know of the foreground window.
struct ForegroundFacts {
  bool present = false;         // there is a foreground window
  bool desktopOrShell = false;  // it is the desktop or the shell's window
  bool haveRects = false;       // both rectangles could be read
  RECT window = {};             // its window rectangle
  RECT monitor = {};            // the full rectangle of its monitor
  bool maximised = false;
  LONG_PTR style = 0;
};

// True when another program shows full screen, so a popping-up window must
// not go topmost. The desktop with nothing active is no such program (it is
// monitor-sized and has no caption).
bool IsAnotherProgramFullScreen(const ForegroundFacts& facts);

// Reads the facts of the current foreground window.
ForegroundFacts ReadForegroundFacts();

// Brings a window up without moving or sizing it: topmost, or only to the top
// of the normal windows when another program is full screen; flashes it once
// when asked; activates it when asked.
void PopUpWindow(HWND window, bool flash, bool activate);

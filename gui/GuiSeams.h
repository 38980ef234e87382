#pragma once
#include <windows.h>
#include <ctime>

// Points where the tests replace what the windows would otherwise take from
// the system: the clock (call durations, missed-call times) and the message
// box (the text window's send outcome). Set before windows open.
typedef time_t (*GuiClockFunction)();
typedef int (*GuiMessageBoxFunction)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                     UINT type);

void GuiSetClock(GuiClockFunction clock);  // null: the system clock
time_t GuiNow();

void GuiSetMessageBox(GuiMessageBoxFunction box);  // null: MessageBoxW
int GuiMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

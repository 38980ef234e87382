#pragma once
#include <windows.h>
#include <string>

// printf-style wide formatting into a string of whatever length the
// arguments need (names and numbers have no upper bound).
std::wstring GuiFormat(const wchar_t* format, ...);

// "name (number)", or whichever of the two is set.
std::wstring GuiDisplayName(const std::wstring& name, const std::wstring& number);

// Every bare "\n" as "\r\n" (a "\r\n" already there stays as it is).
std::wstring GuiToCrLf(const std::wstring& text);

#pragma once
#include <windows.h>

// Installs one file on the phone through an open file-system handle, by the
// connectivity library's ordinal 400: the library's result (0x80600000
// while the phone's installer is busy).
DWORD InstallFileOnPhone(DWORD fileSystem, const wchar_t* path);

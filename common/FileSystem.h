#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Wide-path helpers for the per-user data folders. Failures are thrown as
// ZCLException with the code named below.

// False when nothing exists at the path; throws code 1 when a file (not a
// directory) of that name exists.
bool DirectoryExists(const std::wstring& path);
// Creates the directory with every missing parent (a full path); throws the
// Win32 error code otherwise, 183 when it already existed.
void CreateDirectoryTree(const std::wstring& path);
// Appends a backslash unless the text is empty or already ends with one.
void EnsureTrailingBackslash(std::wstring& path);
// The folder followed directly by the name: no separator is added.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// Full paths of the sub-folders matching the pattern, "." and ".." left out,
// in the order the file system returns them; with recursion the matches below
// each sub-folder follow after the first level's. A missing folder gives an
// empty list.
std::vector<std::wstring> ListDirectory(const std::wstring& folder, const std::wstring& pattern,
                                        bool recurse);
// ListDirectory(folder, L"*", false).
std::vector<std::wstring> ListDirectory(const std::wstring& folder);

// A folder name that stands for any text (a phone's serial number) and can
// neither leave its parent nor meet another text's folder: characters a file
// name cannot hold, controls, '%', a trailing dot or blank and the first
// letter of a reserved device name (NUL, COM1, ...) become %XX; a name too
// long for the file system is cut and ends in "%~" and a hash of the whole.
// Throws ZCLException (ERROR_INVALID_NAME) for an empty text. Folder names
// are not read back: callers keep the text itself in a file.
std::wstring EscapeFileName(const std::wstring& text);

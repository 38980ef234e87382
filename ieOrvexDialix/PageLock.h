#pragma once
#include <windows.h>
#include <string>

// True when url names a local file inside folder (or below it). The query
// and fragment are cut first; the URL is then decoded to a path, and the
// path made full, so that escapes and ".." cannot climb out of the folder.
// http, UNC and anything that is not a file URL are outside.
bool IsUrlInsideFolder(const std::wstring& url, const std::wstring& folder);

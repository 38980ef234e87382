// Stands in for a program the tray starts (a browser, the wizard): writes
// what it was started with beside itself, as "<own name>.launch" in UTF-8:
// its whole command line, the arguments after the program's name, and the
// working folder, one a line. Then it ends with 0.
#include <windows.h>
#include <cstdio>
#include <string>

namespace {

// The text after the program's name, as the system splits it off.
std::wstring Arguments(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    for (++p; *p && *p != L'"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

// Plain UTF-8: the recorder is copied into folders of its own and links
// nothing but the system.
std::string Utf8(const std::wstring& text) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace

int wmain() {
  wchar_t self[MAX_PATH] = L"", folder[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::wstring record = std::wstring(self) + L".launch";
  FILE* out = _wfopen(record.c_str(), L"wb");
  if (!out) return 1;
  std::string text = Utf8(std::wstring(::GetCommandLineW()) + L"\n" + Arguments(::GetCommandLineW()) +
                                   L"\n" + folder + L"\n");
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  return 0;
}

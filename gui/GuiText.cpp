#include <windows.h>
#include <cstdarg>
#include <cwchar>
#include "GuiText.h"

std::wstring GuiFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  va_list probe;
  va_copy(probe, args);
  int length = _vscwprintf(format, probe);
  va_end(probe);
  std::wstring text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    _vsnwprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

std::wstring GuiDisplayName(const std::wstring& name, const std::wstring& number) {
  if (name.empty()) return number;
  if (number.empty()) return name;
  return GuiFormat(L"%ls (%ls)", name.c_str(), number.c_str());
}

std::wstring GuiToCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

#include <windows.h>
#include "PhoneNumber.h"
#include <cstring>

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
bool IsSeparator(char ch) { return ch != '\0' && strchr(" \t-./()", ch) != nullptr; }

std::string Trimmed(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = strlen(prefix);
  return text.size() >= n && _strnicmp(text.c_str(), prefix, n) == 0;
}

// A leading "+", or "00" as the first two digits.
bool WrittenInternational(const std::string& text) {
  if (!text.empty() && text[0] == '+') return true;
  int zeros = 0;
  for (char ch : text) {
    if (IsSeparator(ch)) continue;
    if (ch != '0') break;
    if (++zeros == 2) return true;
  }
  return false;
}

bool IsCountryCode(const std::string& digits) { return !digits.empty() && digits.size() <= 3 && digits[0] != '0'; }

}  // namespace

bool CPhoneNumber::Parse(const std::string& raw, CPhoneNumber& number) {
  std::string text = Trimmed(raw);
  number = CPhoneNumber();
  number.international = WrittenInternational(text);
  size_t i = text.empty() || text[0] != '+' ? 0 : 1;
  for (; i < text.size(); ++i) {
    char ch = text[i];
    if (IsDigit(ch)) {
      number.digits += ch;
    } else if (number.international && !number.digits.empty() && text.compare(i, 3, "(0)") == 0) {
      // "+44 (0)20 ...": the trunk "0" in brackets is not dialled from abroad.
      i += 2;
    } else if (!IsSeparator(ch)) {
      return false;
    }
  }
  if (number.international && text[0] != '+') number.digits.erase(0, 2);
  return !number.digits.empty();
}

bool CPhoneNumber::Parse(const wchar_t* text, CPhoneNumber& number) {
  number = CPhoneNumber();
  if (!text) return false;
  std::string narrow;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p > 0x7f) return false;
    narrow += static_cast<char>(*p);
  }
  return Parse(narrow, number);
}

bool CPhoneNumber::Matches(const CPhoneNumber& other) const {
  const std::string& a = digits;
  const std::string& b = other.digits;
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[a.size() - 1 - common] == b[b.size() - 1 - common]) ++common;
  if (common < kPhoneMatchDigits) return false;
  std::string restA = a.substr(0, a.size() - common);
  std::string restB = b.substr(0, b.size() - common);
  // Left over on both international sides would be two different countries.
  if (international && other.international) return restA.empty() && restB.empty();
  auto fits = [](const std::string& rest, bool international) {
    return rest.empty() || (international ? IsCountryCode(rest) : rest == "0");
  };
  return fits(restA, international) && fits(restB, other.international);
}

std::string CPhoneNumber::Tail() const {
  if (digits.size() < kPhoneMatchDigits) return std::string();
  return digits.substr(digits.size() - kPhoneMatchDigits);
}

namespace {

// Logical lines of a card: cut at CR and LF (so CR CR LF and lone LF do too),
// a line that begins with a blank continuing the one before it.
std::vector<std::string> UnfoldedLines(const char* text, size_t size) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < size) {
    size_t end = i;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    if (end > i) {
      if (IsBlank(text[i]) && !lines.empty())
        lines.back().append(text + i + 1, end - i - 1);
      else
        lines.emplace_back(text + i, end - i);
    }
    i = end;
    while (i < size && (text[i] == '\r' || text[i] == '\n')) ++i;
  }
  return lines;
}

// The value of a TEL line ("TEL", "tel", "item1.TEL", with any parameters),
// or false for any other line.
bool TelValue(const std::string& line, std::string& value) {
  size_t colon = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < line.size() && colon == std::string::npos; ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) colon = i;
  }
  if (colon == std::string::npos) return false;
  std::string name = line.substr(0, std::min(colon, line.find(';')));
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(0, dot + 1);
  if (_stricmp(Trimmed(name).c_str(), "TEL") != 0) return false;
  value = Trimmed(line.substr(colon + 1));
  // The URI form of newer cards: "tel:+1-555-555-0100;ext=7".
  if (StartsWithNoCase(value, "tel:")) value = value.substr(4, value.find(';') - 4);
  return true;
}

}  // namespace

std::vector<CPhoneNumber> PhoneNumbersOfVCard(const BYTE* data, size_t size) {
  std::vector<CPhoneNumber> numbers;
  if (!data) return numbers;
  const char* text = reinterpret_cast<const char*>(data);
  size = strnlen(text, size);  // the COM setter stores the terminator too
  for (const std::string& line : UnfoldedLines(text, size)) {
    std::string value;
    CPhoneNumber number;
    if (!TelValue(line, value) || !CPhoneNumber::Parse(value, number) || number.Tail().empty()) continue;
    bool seen = false;
    for (const CPhoneNumber& n : numbers) seen = seen || (n.digits == number.digits && n.international == number.international);
    if (!seen) numbers.push_back(number);
  }
  return numbers;
}

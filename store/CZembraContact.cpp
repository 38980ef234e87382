#include <windows.h>
#include "CZembraContact.h"
#include <cstring>
#include "ZCLText.h"

namespace {

// Cuts at every run of delimiters: a leading delimiter gives an empty first
// piece, trailing ones give no empty last piece, an empty text one empty piece.
std::vector<std::string> SplitRuns(const std::string& text, const char* delimiters) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t cut = text.find_first_of(delimiters, pos);
    if (cut == std::string::npos) {
      pieces.push_back(text.substr(pos));
      break;
    }
    pieces.push_back(text.substr(pos, cut - pos));
    pos = text.find_first_not_of(delimiters, cut);
    if (pos == std::string::npos) break;
  }
  return pieces;
}

// Cuts at each single delimiter: empty pieces keep their position.
std::vector<std::string> SplitEach(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t cut = text.find(delimiter, pos);
    if (cut == std::string::npos) {
      pieces.push_back(text.substr(pos));
      return pieces;
    }
    pieces.push_back(text.substr(pos, cut - pos));
    pos = cut + 1;
  }
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Parameter names and values are case-insensitive in every vCard version.
bool MatchesAt(const std::string& text, size_t pos, const char* part) {
  size_t n = strlen(part);
  if (text.size() < pos || text.size() - pos < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Upper(text[pos + i]) != Upper(part[i])) return false;
  return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) { return MatchesAt(text, 0, prefix); }

bool ContainsNoCase(const std::string& text, const char* part) {
  for (size_t i = 0; i < text.size(); ++i)
    if (MatchesAt(text, i, part)) return true;
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "=XX" gives one byte; an "=" without two hex digits after it inside the
// component stays as it is. Soft line breaks were joined with the lines;
// CR and LF left over are dropped.
std::string DecodeQuotedPrintable(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '\r' || c == '\n') continue;
    if (c == '=' && in.size() - i >= 3) {
      int high = HexDigit(in[i + 1]);
      int low = HexDigit(in[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>((high << 4) | low);
        i += 2;
        continue;
      }
    }
    out += c;
  }
  return out;
}

// The character sets a name can be given in; without a CHARSET parameter
// the card's version decides.
enum class Charset { System, Latin1, Utf8 };

std::wstring ToWide(const std::string& bytes, Charset charset) {
  // The text ends at its first zero byte, as a C string would.
  std::string text = bytes.substr(0, bytes.find('\0'));
  switch (charset) {
    case Charset::Utf8:
      return ZCLUtf8ToWide(text);
    case Charset::Latin1: {
      // Every ISO-8859-1 byte is the code point of the same number.
      const unsigned char* latin = reinterpret_cast<const unsigned char*>(text.data());
      return std::wstring(latin, latin + text.size());
    }
    default:
      return ZCLAnsiToWide(text.c_str());
  }
}

// The parameters of a property line (its name first), or none without a colon.
std::vector<std::string> Parameters(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return std::vector<std::string>();
  return SplitRuns(line.substr(0, colon), ";");
}

bool IsQuotedPrintable(const std::vector<std::string>& params) {
  for (const std::string& param : params) {
    // 2.1 also allows the bare encoding name as a parameter.
    if (StartsWithNoCase(param, "ENCODING") ? ContainsNoCase(param, "QUOTED-PRINTABLE")
                                            : StartsWithNoCase(param, "QUOTED-PRINTABLE"))
      return true;
  }
  return false;
}

// A quoted-printable value that ends in "=" goes on on the next line.
bool EndsInSoftBreak(const std::string& line) {
  if (line.empty() || line.back() != '=') return false;
  size_t colon = line.find(':');
  return colon != std::string::npos && colon + 1 < line.size() && IsQuotedPrintable(Parameters(line));
}

// The card's property lines, cut at CR and LF (empty lines vanish) and joined
// again where a line was folded (the next begins with a blank or a tab) or
// soft-broken (quoted-printable "=" at the end). The text ends at its first
// zero byte.
std::vector<std::string> PropertyLines(const std::vector<BYTE>& vcard) {
  const char* data = reinterpret_cast<const char*>(vcard.data());
  size_t length = vcard.size();
  if (const void* nul = memchr(data, 0, length)) length = static_cast<const char*>(nul) - data;
  std::vector<std::string> lines;
  for (std::string& physical : SplitRuns(std::string(data, length), "\r\n")) {
    if (physical.empty()) continue;
    if (!lines.empty() && EndsInSoftBreak(lines.back())) {
      lines.back().pop_back();
      lines.back() += physical;
    } else if (!lines.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
      lines.back().append(physical, 1, std::string::npos);
    } else {
      lines.push_back(std::move(physical));
    }
  }
  // A soft break before the card's last line break has nothing to join.
  bool brokenAtEnd = length > 0 && (data[length - 1] == '\r' || data[length - 1] == '\n');
  if (brokenAtEnd && !lines.empty() && EndsInSoftBreak(lines.back())) lines.back().pop_back();
  return lines;
}

// "3.0" or "4.0": texts without a CHARSET are UTF-8, values are URIs (4.0).
std::string Version(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::vector<std::string> params = Parameters(line);
    if (params.empty() || params[0] != "VERSION") continue;
    std::string value = line.substr(line.find(':') + 1);
    size_t first = value.find_first_not_of(" \t");
    size_t last = value.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
  }
  return std::string();
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The bytes up to and with the first terminator: a phone that hands out a
// larger count than its text must not add what lies behind it.
size_t BoundedSize(const BYTE* data, size_t count) {
  if (!data || count == 0) return 0;
  const void* nul = memchr(data, 0, count);
  return nul ? static_cast<size_t>(static_cast<const BYTE*>(nul) - data) + 1 : count;
}

}  // namespace

CZembraContact::CZembraContact(const CZembraContact& other)
    : m_givenName(other.m_givenName),
      m_familyName(other.m_familyName),
      m_additionalNames(other.m_additionalNames),
      m_honorificPrefix(other.m_honorificPrefix),
      m_honorificSuffix(other.m_honorificSuffix),
      m_photoPath(other.m_photoPath),
      m_vcard(other.m_vcard),
      m_phoneId(other.m_phoneId),
      m_topContact(other.m_topContact),
      m_dbId(other.m_dbId),
      m_fullName(other.m_fullName) {}

CZembraContact& CZembraContact::operator=(const CZembraContact& other) {
  if (this == &other) return *this;
  m_givenName = other.m_givenName;
  m_familyName = other.m_familyName;
  m_additionalNames = other.m_additionalNames;
  m_honorificPrefix = other.m_honorificPrefix;
  m_honorificSuffix = other.m_honorificSuffix;
  m_photoPath = other.m_photoPath;
  m_vcard = other.m_vcard;
  m_phoneId = other.m_phoneId;
  m_topContact = other.m_topContact;
  m_dbId = other.m_dbId;
  m_fullName = other.m_fullName;
  m_formattedName.clear();
  return *this;
}

CZembraContact::CZembraContact(int dbId, Trelk::CUid phoneId, const BYTE* vcard, size_t count)
    : m_phoneId(std::move(phoneId)), m_dbId(dbId) {
  SetVCard(vcard, count);
}

void CZembraContact::SetVCard(const BYTE* data, size_t count) {
  m_vcard.assign(data, data + BoundedSize(data, count));
  ParseVCard();
}

void CZembraContact::ParseVCard() {
  // The names are derived from the vCard alone: a new vCard without them
  // leaves none behind.
  std::wstring* fields[] = {&m_familyName, &m_givenName, &m_additionalNames, &m_honorificPrefix,
                            &m_honorificSuffix};
  for (std::wstring* field : fields) field->clear();
  m_fullName.clear();
  if (m_vcard.empty()) return;

  std::vector<std::string> lines = PropertyLines(m_vcard);
  std::string version = Version(lines);
  // 2.1 leaves the character set to the sender; later versions define UTF-8.
  Charset defaultCharset = version == "3.0" || version == "4.0" ? Charset::Utf8 : Charset::System;

  for (const std::string& line : lines) {
    // A URL, a time or a stray line is no reason to stop: lines without a
    // colon are skipped, and the value is everything after the first colon.
    std::vector<std::string> params = Parameters(line);
    if (params.empty() || (params[0] != "N" && params[0] != "FN")) continue;

    Charset charset = defaultCharset;
    for (const std::string& param : params) {
      if (!StartsWithNoCase(param, "CHARSET")) continue;
      if (ContainsNoCase(param, "ISO-8859-1"))
        charset = Charset::Latin1;
      else if (ContainsNoCase(param, "UTF-8"))
        charset = Charset::Utf8;
    }
    bool quotedPrintable = IsQuotedPrintable(params);
    auto decode = [&](const std::string& raw) {
      return ToWide(quotedPrintable ? DecodeQuotedPrintable(raw) : raw, charset);
    };

    std::string value = line.substr(line.find(':') + 1);
    if (params[0] == "FN") {
      m_fullName = decode(value);
      continue;
    }
    std::vector<std::string> components = SplitEach(value, ';');
    for (size_t i = 0; i < components.size() && i < 5; ++i) *fields[i] = decode(components[i]);
  }
}

const wchar_t* CZembraContact::GetFormattedName() {
  m_formattedName = m_honorificPrefix;
  for (const std::wstring* part : {&m_givenName, &m_additionalNames, &m_familyName, &m_honorificSuffix}) {
    if (part->empty()) continue;
    m_formattedName += L' ';
    m_formattedName += *part;
  }
  // A card that names its contact by FN alone must not show a blank caller.
  if (m_formattedName.empty()) m_formattedName = m_fullName;
  return m_formattedName.c_str();
}

std::unique_ptr<std::vector<BYTE>> CZembraContact::GetPhoto() const {
  if (m_vcard.empty()) return nullptr;
  std::unique_ptr<std::vector<BYTE>> photo(new std::vector<BYTE>());
  std::vector<std::string> lines = PropertyLines(m_vcard);
  size_t i = 0;
  while (i < lines.size() && lines[i].compare(0, 5, "PHOTO") != 0) ++i;
  if (i == lines.size()) return photo;

  // Folded lines are joined already: the colon may have sat on a
  // continuation line when the parameters themselves were folded.
  const std::string& line = lines[i];
  size_t colon = line.find(':');
  if (colon == std::string::npos) return photo;
  std::string data = line.substr(colon + 1);
  if (StartsWithNoCase(data, "data:")) {
    // An inline picture as a URI: the base64 data follows the first comma.
    size_t comma = data.find(',');
    if (comma == std::string::npos || !ContainsNoCase(data.substr(0, comma), ";base64")) return photo;
    data.erase(0, comma + 1);
  } else {
    // A link to a picture elsewhere is no picture data.
    for (const std::string& param : Parameters(line))
      if (StartsWithNoCase(param, "VALUE=URI") || StartsWithNoCase(param, "VALUE=URL")) return photo;
    if (Version(lines) == "4.0") return photo;
  }

  unsigned bits = 0;
  int count = 0;
  for (char c : data) {
    int value = Base64Value(c);
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      photo->push_back(static_cast<BYTE>((bits >> count) & 0xFF));
    }
  }
  return photo;
}

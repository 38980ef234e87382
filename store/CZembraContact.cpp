#include <windows.h>
#include "CZembraContact.h"
#include <cstring>

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

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "=XX" gives one byte; an "=" without two hex digits after it inside the
// component stays as it is. CR and LF are dropped (a soft break "=" CR LF
// vanishes whole).
std::string DecodeQuotedPrintable(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '\r' || c == '\n') continue;
    if (c == '=' && in.size() - i >= 3) {
      if (in[i + 1] == '\r' && in[i + 2] == '\n') {
        i += 2;
        continue;
      }
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

std::wstring ToWide(const std::string& bytes, UINT codePage) {
  // The text ends at its first zero byte, as a C string would.
  size_t length = bytes.find('\0');
  if (length == std::string::npos) length = bytes.size();
  if (length == 0) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(length), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(length), &wide[0], n);
  return wide;
}

std::vector<std::string> Lines(const std::vector<BYTE>& vcard) {
  std::string text(reinterpret_cast<const char*>(vcard.data()), vcard.size());
  return SplitRuns(text, "\r\n");
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
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
      m_dbId(other.m_dbId) {}

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
  m_formattedName.clear();
  return *this;
}

CZembraContact::CZembraContact(int dbId, Trelk::CUid phoneId, const BYTE* vcard, size_t count)
    : m_phoneId(std::move(phoneId)), m_dbId(dbId) {
  if (vcard && count > 0) m_vcard.assign(vcard, vcard + count);
  ParseVCard();
}

void CZembraContact::SetVCard(const BYTE* data, size_t count) {
  if (data && count > 0)
    m_vcard.assign(data, data + count);
  else
    m_vcard.clear();
  ParseVCard();
}

void CZembraContact::ParseVCard() {
  // The names are derived from the vCard alone: a new vCard without them
  // leaves none behind.
  std::wstring* fields[] = {&m_familyName, &m_givenName, &m_additionalNames, &m_honorificPrefix,
                            &m_honorificSuffix};
  for (std::wstring* field : fields) field->clear();
  if (m_vcard.empty()) return;

  for (const std::string& line : Lines(m_vcard)) {
    // A URL, a time or a folded continuation line is no reason to stop:
    // such lines are skipped, and the value is everything after the first colon.
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::vector<std::string> params = SplitRuns(line.substr(0, colon), ";");
    if (params.empty() || params[0] != "N") continue;

    UINT codePage = CP_ACP;
    bool quotedPrintable = false;
    for (const std::string& param : params) {
      if (StartsWith(param, "CHARSET")) {
        if (param.find("ISO-8859-1") != std::string::npos)
          codePage = 28591;
        else if (param.find("UTF-8") != std::string::npos)
          codePage = CP_UTF8;
      } else if (StartsWith(param, "ENCODING")) {
        if (param.find("QUOTED-PRINTABLE") != std::string::npos) quotedPrintable = true;
      }
    }

    std::vector<std::string> components = SplitEach(line.substr(colon + 1), ';');
    for (size_t i = 0; i < components.size() && i < 5; ++i) {
      const std::string& raw = components[i];
      *fields[i] = ToWide(quotedPrintable ? DecodeQuotedPrintable(raw) : raw, codePage);
    }
  }
}

const wchar_t* CZembraContact::GetFormattedName() {
  m_formattedName = m_honorificPrefix;
  for (const std::wstring* part : {&m_givenName, &m_additionalNames, &m_familyName, &m_honorificSuffix}) {
    if (part->empty()) continue;
    m_formattedName += L' ';
    m_formattedName += *part;
  }
  return m_formattedName.c_str();
}

std::unique_ptr<std::vector<BYTE>> CZembraContact::GetPhoto() const {
  if (m_vcard.empty()) return nullptr;
  std::unique_ptr<std::vector<BYTE>> photo(new std::vector<BYTE>());
  std::vector<std::string> lines = Lines(m_vcard);
  size_t i = 0;
  while (i < lines.size() && !StartsWith(lines[i], "PHOTO")) ++i;
  if (i == lines.size()) return photo;

  // Unfold first: the colon may sit on a continuation line when the
  // parameters themselves were folded.
  std::string folded = lines[i];
  for (++i; i < lines.size() && !lines[i].empty() && lines[i][0] == ' '; ++i) folded += lines[i].substr(1);
  size_t colon = folded.find(':');
  if (colon == std::string::npos) return photo;

  unsigned bits = 0;
  int count = 0;
  for (size_t k = colon + 1; k < folded.size(); ++k) {
    int value = Base64Value(folded[k]);
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

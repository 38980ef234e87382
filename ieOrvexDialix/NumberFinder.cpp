#include <windows.h>
#include <shlwapi.h>
#include <algorithm>
#include <boost/regex.hpp>
#include <iterator>
#include "NumberFinder.h"
#include "SutrelRegistry.h"
#include "ZCLFrame.h"

namespace {

// Compiled once, when the library loads.
const boost::regex kNumberPattern(
    R"(\(?(\+\s?)?(\d{1,4})\)?([\.\-\s]?\d{1,3})?(([\.\-\s]\d{3,6}){2,3}|([\.\-\s]?\d{5,10}))|(\d{3,4})[\.\s]\d{3,6})");
const boost::regex kSeparatorPattern(R"([\(\)\- \.\s(&nbsp;)])");
// The longest text the number pattern matches: "(+ 1234)-123" and three
// "-123456" groups.
const size_t kLongestNumber = 33;

// Stands for every unit outside Latin-1: a control character that is neither
// a digit, a blank nor a separator.
const char kForeignUnit = '\x7F';

const wchar_t* const kScannedParents[] = {
    L"abbr", L"acronym", L"address", L"applet", L"b",       L"bdo",    L"big",  L"blockquote", L"caption",
    L"center", L"cite",  L"code",    L"dd",     L"del",     L"div",    L"dfn",  L"dt",         L"em",
    L"fieldset", L"font", L"form",   L"h1",     L"h2",      L"h3",     L"h4",   L"h5",         L"h6",
    L"i",    L"iframe",  L"ins",     L"kbd",    L"li",      L"object", L"nobr", L"pre",        L"p",
    L"q",    L"samp",    L"small",   L"span",   L"strike",  L"s",      L"strong", L"sub",      L"sup",
    L"td",   L"th",      L"tt",      L"u",      L"var"};
static_assert(sizeof(kScannedParents) / sizeof(kScannedParents[0]) == 50, "fifty scanned parents");

const wchar_t kPageBelowFolder[] = L"\\Firefox_ext\\chrome\\content\\html\\orvex-dialix.html";
const DWORD kEscapeBuffer = 1024;

}  // namespace

std::string NarrowForSearch(const wchar_t* text, size_t length) {
  std::string narrow(length, '\0');
  for (size_t i = 0; i < length; ++i)
    narrow[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : kForeignUnit;
  return narrow;
}

std::vector<NumberMatch> FindNumbers(const std::string& narrow) {
  std::vector<NumberMatch> found;
  for (boost::sregex_iterator it(narrow.begin(), narrow.end(), kNumberPattern), end; it != end; ++it)
    found.push_back({static_cast<size_t>(it->position()), static_cast<size_t>(it->length())});
  return found;
}

bool IsScannedParent(const wchar_t* name, size_t length) {
  // Asked once per text node of the page: lowered on the stack, no copy
  // on the heap. No scanned name is longer than "blockquote".
  wchar_t lower[11];
  if (!name || length == 0 || length >= sizeof(lower) / sizeof(lower[0])) return false;
  std::copy(name, name + length, lower);
  lower[length] = L'\0';
  ::CharLowerBuffW(lower, static_cast<DWORD>(length));
  for (const wchar_t* scanned : kScannedParents)
    if (wcscmp(lower, scanned) == 0) return true;
  return false;
}

std::wstring DiallableNumber(const std::wstring& shown, const std::wstring& id) {
  if (shown.empty() || shown.size() > kLongestNumber || shown != id) return std::wstring();
  std::string narrow = NarrowForSearch(shown.data(), shown.size());
  std::vector<NumberMatch> found = FindNumbers(narrow);
  if (found.size() != 1 || found[0].position != 0 || found[0].length != narrow.size()) return std::wstring();
  // What the pattern admits, less the separators, is an optional "+" and digits.
  std::string digits = boost::regex_replace(narrow, kSeparatorPattern, "");
  return std::wstring(digits.begin(), digits.end());
}

// Concatenated, not formatted: the run-time libraries read "%s" differently.
HRESULT BuildPageAddress(const std::wstring& page, const wchar_t* action, const wchar_t* name,
                         const std::wstring& value, std::wstring* address) {
  std::wstring raw = L"file:///" + page;
  if (action) raw += std::wstring(L"?action=") + action + L"&" + name + L"=" + value;
  std::vector<wchar_t> buffer(kEscapeBuffer);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(buffer.size());
    HRESULT hr = ::UrlEscapeW(raw.c_str(), buffer.data(), &length, URL_BROWSER_MODE);
    if (SUCCEEDED(hr)) {
      address->assign(buffer.data(), std::min<size_t>(length, buffer.size()));
      address->resize(wcsnlen(address->c_str(), address->size()));
      return S_OK;
    }
    // A short buffer reports the length it needs: try once more with that.
    if (hr != E_POINTER || length <= buffer.size()) return hr;
    buffer.assign(static_cast<size_t>(length) + 1, L'\0');
  }
  return E_UNEXPECTED;
}

bool LocalPagePath(std::wstring* page) {
  std::wstring folder;
  if (ReadSutrelValue(kApplicationPathValue, &folder) != ERROR_SUCCESS) return false;
  *page = folder + kPageBelowFolder;
  return true;
}

STDMETHODIMP CEventHandler::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

STDMETHODIMP CEventHandler::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) {
  if (dispid == DISPID_VALUE && m_callback)
    ZCLGuarded(3, ZCL_SITE, [&] { m_callback(m_userData); });
  return S_OK;
}

#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Two numbers are one when they agree on at least this many last digits.
const size_t kPhoneMatchDigits = 7;

// A phone number reduced to what tells it apart: its digits, and whether it
// was written in international form ("+" or "00" first, both dropped here).
// A plain value; parsing and matching touch nothing else.
struct CPhoneNumber {
  std::string digits;
  bool international = false;

  // False when the text is no number: empty, no digits, or a character that
  // is neither a digit nor a separator (blank, tab, "-", ".", "/", "(", ")"),
  // such as a letter, "*", "#" or a "+" that does not come first.
  static bool Parse(const std::string& text, CPhoneNumber& number);
  // The same for a caller's number; null and non-ASCII texts are no number.
  static bool Parse(const wchar_t* text, CPhoneNumber& number);

  // Compared from the last digit: at least kPhoneMatchDigits agree, and what
  // is left over on either side is nothing, a country code (of an
  // international number) or a single trunk "0" (of a national one). Two
  // international numbers are one only when all their digits agree.
  bool Matches(const CPhoneNumber& other) const;

  // The last kPhoneMatchDigits digits, by which the number table is indexed;
  // empty for a number too short to match anything.
  std::string Tail() const;
};

// Every distinct number of the card's TEL properties, in card order, that is
// long enough to match; a TEL value that is no number is skipped.
std::vector<CPhoneNumber> PhoneNumbersOfVCard(const BYTE* data, size_t size);

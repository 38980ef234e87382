#include <windows.h>
#include <gtest/gtest.h>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include "CUid.h"
#include "CZembraContact.h"
#include "CZembraEventLog.h"
#include "CZembraSMS.h"
#include "TrelkApi.h"
#include "ZCLException.h"
#include "ZCLText.h"
#include "ZembraPhoneText.h"

namespace {

CZembraContact ContactOf(const std::string& vcard) {
  return CZembraContact(-1, Trelk::CUid(), reinterpret_cast<const BYTE*>(vcard.data()), vcard.size());
}

std::string ParseError(const char* text) {
  try {
    Trelk::CUid::Parse(text);
  } catch (const ZCLException& e) {
    return e.GetMessageText();
  }
  return "no error";
}

TEST(UidTest, TextFormRoundTripsAndOnlyLowerCaseEvenHexParses) {
  Trelk::CUid uid = Trelk::CUid::Parse("0a1b");
  ASSERT_EQ(uid.GetLength(), 2u);
  EXPECT_EQ(uid.GetData()[0], 10);
  EXPECT_EQ(uid.GetData()[1], 27);
  EXPECT_STREQ(uid.ToString(), L"0a1b");

  const BYTE bytes[] = {0x0A, 0xFF, 0x00};
  Trelk::CUid three(bytes, 3);
  EXPECT_STREQ(three.ToString(), L"0aff00");
  std::wstring text = three.ToString();
  std::string narrow(text.begin(), text.end());
  EXPECT_STREQ(Trelk::CUid::Parse(narrow.c_str()).ToString(), L"0aff00");

  EXPECT_EQ(ParseError("0A1B"), "Invalid UID String!");
  EXPECT_EQ(ParseError("0a1"), "Invalid UID String!");
  EXPECT_EQ(ParseError("0g"), "Invalid UID String!");
  EXPECT_TRUE(Trelk::CUid::Parse(nullptr).IsEmpty());
  EXPECT_TRUE(Trelk::CUid::Parse("").IsEmpty());
  EXPECT_STREQ(Trelk::CUid().ToString(), L"");
}

TEST(VCardTest, CharsetAndEncodingOfTheNameLine) {
  CZembraContact utf8 = ContactOf("BEGIN:VCARD\r\nN;CHARSET=UTF-8:M\xC3\xBCller;J\xC3\xB6rg\r\nEND:VCARD\r\n");
  EXPECT_STREQ(utf8.GetFamilyName(), L"M\u00fcller");
  EXPECT_STREQ(utf8.GetGivenName(), L"J\u00f6rg");

  CZembraContact latin = ContactOf("N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg\r\n");
  EXPECT_STREQ(latin.GetFamilyName(), L"M\u00fcller");
  EXPECT_STREQ(latin.GetGivenName(), L"J\u00f6rg");

  CZembraContact smith = ContactOf("N:Smith;John;;Dr.;\r\n");
  EXPECT_STREQ(smith.GetFamilyName(), L"Smith");
  EXPECT_STREQ(smith.GetGivenName(), L"John");
  EXPECT_STREQ(smith.GetAdditionalNames(), L"");
  EXPECT_STREQ(smith.GetHonorificPrefix(), L"Dr.");
  EXPECT_STREQ(smith.GetFormattedName(), L"Dr. John Smith");

  CZembraContact anna = ContactOf("N:;Anna");
  EXPECT_STREQ(anna.GetFamilyName(), L"");
  EXPECT_STREQ(anna.GetFormattedName(), L" Anna");

  // Only "N" gives name parts; a card without them shows its FN.
  CZembraContact fn = ContactOf("FN:Ann Lee\r\nX-N:Lee\r\n");
  EXPECT_STREQ(fn.GetFamilyName(), L"");
  EXPECT_STREQ(fn.GetFormattedName(), L"Ann Lee");
}

TEST(VCardTest, LinesThatDoNotSplitInTwoAreSkippedNotFatal) {
  CZembraContact url = ContactOf("BEGIN:VCARD\r\nURL:http://example.org\r\nN:Lee;Ann\r\nEND:VCARD\r\n");
  EXPECT_STREQ(url.GetFamilyName(), L"Lee");
  EXPECT_STREQ(url.GetGivenName(), L"Ann");

  std::string folded = "BEGIN:VCARD\nPHOTO;ENCODING=BASE64:AAAA\n BBBB\n CCCC\nN:Lee;Ann\nEND:VCARD\n";
  CZembraContact photo = ContactOf(folded);
  EXPECT_STREQ(photo.GetFormattedName(), L" Ann Lee");
  // The vCard itself is kept byte for byte.
  ASSERT_EQ(photo.GetVCardSize(), folded.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(photo.GetVCardData()), photo.GetVCardSize()), folded);
}

TEST(VCardTest, ComponentsOfAnyLengthParse) {
  std::string plain(600, 'x');
  EXPECT_EQ(std::wstring(ContactOf("N:" + plain + ";Ann\r\n").GetFamilyName()), std::wstring(600, L'x'));

  std::string encoded;
  for (int i = 0; i < 600; ++i) encoded += "=41";
  CZembraContact qp = ContactOf("N;ENCODING=QUOTED-PRINTABLE:" + encoded + ";Ann\r\n");
  EXPECT_EQ(std::wstring(qp.GetFamilyName()), std::wstring(600, L'A'));
  EXPECT_STREQ(qp.GetGivenName(), L"Ann");
}

TEST(VCardTest, MalformedQuotedPrintableKeepsItsRawTextAndStaysInsideTheComponent) {
  CZembraContact tail = ContactOf("N;ENCODING=QUOTED-PRINTABLE:Lee=A;Ann=\r\n");
  EXPECT_STREQ(tail.GetFamilyName(), L"Lee=A");
  // "=" before the line break is a soft break, not text.
  EXPECT_STREQ(tail.GetGivenName(), L"Ann");
  EXPECT_STREQ(ContactOf("N;ENCODING=QUOTED-PRINTABLE:=G1x=41").GetFamilyName(), L"=G1xA");
  // "=A;" must not read the delimiter or the next component as hex.
  EXPECT_STREQ(ContactOf("N;ENCODING=QUOTED-PRINTABLE:=A;B").GetGivenName(), L"B");
}

TEST(VCardTest, SetVCardReplacesTheNamesAndCopyKeepsEverythingButTheCache) {
  const BYTE uidBytes[] = {1, 2};
  std::string v = "N:Lee;Ann;Mary;Ms.;Jr.\r\n";
  CZembraContact original(7, Trelk::CUid(uidBytes, 2), reinterpret_cast<const BYTE*>(v.data()), v.size());
  original.SetTopContact(1);
  original.SetPhotoPath(L"C:\\p\\0102");
  EXPECT_STREQ(original.GetFormattedName(), L"Ms. Ann Mary Lee Jr.");
  CZembraContact copy(original);
  EXPECT_EQ(copy.GetDbId(), 7);
  EXPECT_STREQ(copy.GetPhoneId().ToString(), L"0102");
  EXPECT_EQ(copy.GetTopContact(), 1);
  EXPECT_STREQ(copy.GetPhotoPath(), L"C:\\p\\0102");
  EXPECT_EQ(copy.GetVCardSize(), v.size());
  EXPECT_STREQ(copy.GetHonorificSuffix(), L"Jr.");

  std::string other = "FN:nobody\r\n";
  copy.SetVCard(reinterpret_cast<const BYTE*>(other.data()), other.size());
  EXPECT_STREQ(copy.GetFamilyName(), L"");
  EXPECT_STREQ(copy.GetFormattedName(), L"nobody");
  EXPECT_STREQ(original.GetFamilyName(), L"Lee");
}

TEST(VCardTest, PhotoIsBase64OverFoldedLines) {
  // Groups of four, then a padded last group; the second blank of the last
  // continuation line is data and skipped; the line after the block is not photo data.
  CZembraContact c = ContactOf("BEGIN:VCARD\r\nPHOTO;ENCODING=b:TWFu\r\n TWFu\r\n  TQ==\r\nN:x\r\nTWFu\r\n");
  auto photo = c.GetPhoto();
  ASSERT_TRUE(photo);
  EXPECT_EQ(std::string(photo->begin(), photo->end()), "ManManM");

  auto none = ContactOf("BEGIN:VCARD\r\nN:x\r\nEND:VCARD\r\n").GetPhoto();
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(CZembraContact().GetPhoto());
}

// Cards as phones of several makers export them.
TEST(VCardTest, CardsAsPhonesExportThem) {
  // 2.1, quoted-printable names broken across lines with "=": joined before
  // decoding, also where the break splits one UTF-8 character.
  CZembraContact latin = ContactOf(
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=\r\n=FCller;Hans\r\n"
      "TEL;CELL:+491701234567\r\nEND:VCARD\r\n");
  EXPECT_STREQ(latin.GetFamilyName(), L"M\u00fcller");
  EXPECT_STREQ(latin.GetGivenName(), L"Hans");
  CZembraContact utf8 = ContactOf(
      "BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=\n=BCller;J=C3=B6rg;;;\nEND:VCARD\n");
  EXPECT_STREQ(utf8.GetFamilyName(), L"M\u00fcller");
  EXPECT_STREQ(utf8.GetGivenName(), L"J\u00f6rg");
  // Without a CHARSET a 2.1 card is in the system's code page.
  CZembraContact system = ContactOf("BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:M=\r\n=FCller;Hans\r\n");
  EXPECT_EQ(std::wstring(system.GetFamilyName()), ZCLAnsiToWide("M\xFCller"));
  EXPECT_STREQ(system.GetGivenName(), L"Hans");

  // 3.0 with LF line ends: UTF-8 without a CHARSET, a folded name line, a
  // base64 picture folded over lines before it.
  CZembraContact v3 = ContactOf(
      "BEGIN:VCARD\nVERSION:3.0\nPHOTO;ENCODING=b;TYPE=JPEG:TWFu\n TWFu\nN:Gonz\xC3\xA1lez;Mar\n \xC3\xAD" "a;;;\n"
      "FN:Mar\xC3\xAD" "a Gonz\xC3\xA1lez\nEND:VCARD\n");
  EXPECT_STREQ(v3.GetFamilyName(), L"Gonz\u00e1lez");
  EXPECT_STREQ(v3.GetGivenName(), L"Mar\u00eda");
  auto v3Photo = v3.GetPhoto();
  ASSERT_TRUE(v3Photo);
  EXPECT_EQ(std::string(v3Photo->begin(), v3Photo->end()), "ManMan");

  // 4.0: UTF-8 by definition, the picture inline as a data URI.
  CZembraContact v4 = ContactOf(
      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E\r\n"
      "N:\xE5\xB1\xB1\xE7\x94\xB0;\xE5\xA4\xAA\xE9\x83\x8E;;;\r\nPHOTO:data:image/jpeg;base64,TWFu\r\n TQ==\r\n"
      "END:VCARD\r\n");
  EXPECT_STREQ(v4.GetFamilyName(), L"\u5c71\u7530");
  EXPECT_STREQ(v4.GetGivenName(), L"\u592a\u90ce");
  auto v4Photo = v4.GetPhoto();
  ASSERT_TRUE(v4Photo);
  EXPECT_EQ(std::string(v4Photo->begin(), v4Photo->end()), "ManM");
  // A picture given as a link holds no picture bytes.
  auto link = ContactOf("BEGIN:VCARD\r\nVERSION:3.0\r\nPHOTO;VALUE=uri:http://example.org/a.jpg\r\nEND:VCARD\r\n");
  EXPECT_TRUE(link.GetPhoto()->empty());

  // A card that names its contact by FN alone, or with an empty N.
  EXPECT_STREQ(ContactOf("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pizza Roma\r\nTEL:+390612345\r\nEND:VCARD\r\n")
                   .GetFormattedName(),
               L"Pizza Roma");
  CZembraContact emptyN = ContactOf("BEGIN:VCARD\r\nVERSION:2.1\r\nN:;;;;\r\nFN:Front Desk\r\nEND:VCARD\r\n");
  EXPECT_STREQ(emptyN.GetFormattedName(), L"Front Desk");
  EXPECT_STREQ(CZembraContact(emptyN).GetFormattedName(), L"Front Desk");
}

// Two pages, the second unreadable: a text placed at the end of the first
// one shows whether a reader stops at its terminator or runs on past it.
class GuardedPage {
public:
  GuardedPage() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    m_size = info.dwPageSize;
    m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, m_size * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_base + m_size, m_size, PAGE_NOACCESS, &old);
  }
  ~GuardedPage() { VirtualFree(m_base, 0, MEM_RELEASE); }
  // Copies the bytes so that they end where the readable page ends.
  void* AtEnd(const void* data, size_t size) {
    BYTE* at = m_base + m_size - size;
    memcpy(at, data, size);
    return at;
  }

private:
  BYTE* m_base = nullptr;
  size_t m_size = 0;
};

TEST(PhoneRecordTest, TextsEndAtTheirTerminatorAsWellAsTheirCount) {
  GuardedPage page;
  const char card[] = "BEGIN:VCARD\r\nN:Lee;Ann\r\nEND:VCARD\r\n";  // with its terminator
  const BYTE* bytes = static_cast<const BYTE*>(page.AtEnd(card, sizeof card));
  CZembraContact contact(-1, Trelk::CUid(), bytes, sizeof card + 4096);
  EXPECT_EQ(contact.GetVCardSize(), sizeof card);
  EXPECT_STREQ(contact.GetGivenName(), L"Ann");
  // What follows the terminator inside the count is not part of the card.
  const char padded[] = "N:Lee;Ann\r\n\0\r\nN:Evil;Mallory\r\n";
  contact.SetVCard(reinterpret_cast<const BYTE*>(padded), sizeof padded - 1);
  EXPECT_EQ(contact.GetVCardSize(), 12u);
  EXPECT_STREQ(contact.GetFamilyName(), L"Lee");

  const wchar_t text[] = L"hi";
  CZembraPhoneSmsItem item;
  item.text = static_cast<const wchar_t*>(page.AtEnd(text, sizeof text));
  item.textBytes = 400;
  EXPECT_EQ(std::wstring(CZembraSMS(item).GetMessage()), L"hi");

  // Bare pointers have no count: a text that lost its terminator is cut.
  std::wstring endless(kZembraPhoneTextMax + 500, L'7');
  CZembraPhoneSmsItem::Address address = {2, endless.c_str()};
  item.addresses = &address;
  item.addressCount = 1;
  EXPECT_EQ(wcslen(CZembraSMS(item).GetAddresses()[0]->GetAddress()), kZembraPhoneTextMax);
  CZembraPhoneLogItem log;
  log.number = endless.c_str();
  log.name = endless.c_str();
  CZembraEventLog entry(log);
  EXPECT_EQ(entry.GetNumber().size(), kZembraPhoneTextMax);
  EXPECT_EQ(entry.GetName().size(), kZembraPhoneTextMax);
}

TEST(TimeStampTest, MessageFromAZeroedRecord) {
  CZembraPhoneSmsItem item;
  item.textBytes = 40;      // a failed read: counts without pointers
  item.addressCount = 3;
  CZembraSMS sms(item);
  EXPECT_EQ(sms.GetId(), -1);
  EXPECT_STREQ(sms.GetMessage(), L"");
  EXPECT_EQ(sms.GetAddressCount(), 0u);
  EXPECT_EQ(sms.GetStatus(), 0);
  EXPECT_STREQ(sms.GetTimeStamp(), L"0-00-00T00:00:00+00:00");
}

TEST(TimeStampTest, ZoneIsTruncatedToWholeHours) {
  CZembraPhoneSmsItem item;
  item.year = 2007; item.month = 5; item.day = 14; item.hour = 10; item.minute = 22; item.second = 5;
  struct { INT32 a, b; const wchar_t* text; } cases[] = {
      {60, 60, L"2007-05-14T10:22:05+02:00"},
      {-30, 0, L"2007-05-14T10:22:05+00:00"},
      {300, 30, L"2007-05-14T10:22:05+05:00"},
      {-60, -30, L"2007-05-14T10:22:05-01:00"},
      {-300, 0, L"2007-05-14T10:22:05-05:00"},
  };
  for (const auto& c : cases) {
    item.zone1 = c.a;
    item.zone2 = c.b;
    EXPECT_STREQ(CZembraSMS(item).GetTimeStamp(), c.text) << c.a << " " << c.b;
  }
}

TEST(TimeStampTest, ExtremeFieldsNeitherOverflowNorWrap) {
  CZembraPhoneSmsItem item;
  item.year = 65535; item.month = 255; item.day = 255; item.hour = 255; item.minute = 255; item.second = 255;
  item.zone1 = INT_MAX;
  item.zone2 = INT_MAX;
  EXPECT_STREQ(CZembraSMS(item).GetTimeStamp(), L"65535-255-255T255:255:255+71582788:00");
  item.zone1 = INT_MIN;
  item.zone2 = INT_MIN;
  EXPECT_STREQ(CZembraSMS(item).GetTimeStamp(), L"65535-255-255T255:255:255-71582788:00");
}

TEST(TimeStampTest, CallLogWithoutZoneTakesThePlatformBias) {
  TIME_ZONE_INFORMATION tz = {};
  GetTimeZoneInformation(&tz);
  wchar_t expected[64];
  _snwprintf(expected, 63, L"2007-11-03T23:59:00%+03d:00", static_cast<int>(-tz.Bias / 60));
  expected[63] = 0;
  CZembraPhoneLogItem item;
  item.year = 2007; item.month = 11; item.day = 3; item.hour = 23; item.minute = 59;
  item.zone1 = 120;
  item.zone2 = -1;
  CZembraEventLog entry(item);
  EXPECT_EQ(entry.GetTimeStamp(), expected);
  EXPECT_EQ(entry.GetNumber(), L"Unknown number");
  EXPECT_EQ(entry.GetName(), L"");
  item.zone2 = 0;
  EXPECT_EQ(CZembraEventLog(item).GetTimeStamp(), L"2007-11-03T23:59:00+02:00");
}

TEST(SmsRecordTest, FieldsFromThePhoneAndIndependentCopies) {
  const wchar_t text[] = L"hello";
  CZembraPhoneSmsItem::Address addresses[] = {{2, L"+358401234567"}, {3, nullptr}};
  const BYTE uidBytes[] = {0xAB};
  CZembraPhoneSmsItem item;
  item.uid = Trelk::CUid(uidBytes, 1);
  item.folderId = 4;
  item.flags = 0x3641;
  item.text = text;
  item.textBytes = 10;
  item.addresses = addresses;
  item.addressCount = 2;
  std::unique_ptr<CZembraSMS> original(new CZembraSMS(item));
  EXPECT_STREQ(original->GetMessage(), L"hello");
  EXPECT_EQ(original->GetStatus(), 6);
  EXPECT_EQ(original->GetFolder(), 4);
  EXPECT_STREQ(original->GetPhoneId().ToString(), L"ab");

  CZembraSMS copy(*original);
  original.reset();
  auto list = copy.GetAddresses();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->GetType(), 2);
  EXPECT_STREQ(list[0]->GetAddress(), L"+358401234567");
  EXPECT_STREQ(list[1]->GetAddress(), L"");
}

TEST(SmsRecordTest, BuiltFromTheLibrariesRecords) {
  BYTE uid[] = {0x01, 0xfe};
  TESSIM_ITEM_ID id = {};
  id.dwSize = sizeof id;
  id.dwFolderId = 3;
  id.dwUidLength = 2;
  id.pbUid = uid;
  WCHAR text[] = L"ok";
  WCHAR number[] = L"+3584";
  TESSIM_SMS_ADDRESS address = {sizeof address, 2, number};
  TESSIM_SMS_ITEM item = {};
  item.dwSize = sizeof item;
  item.dwInfo = 0x0501;
  item.dwTextLength = 4;
  item.pstrText = text;
  item.bNumOfAddresses = 1;
  item.pAddresses = &address;
  item.wYear = 2007; item.bMonth = 5; item.bDay = 14; item.bHour = 10; item.bMinute = 22; item.bSecond = 5;
  item.lZoneOffset1 = 120;
  CZembraSMS sms(&id, &item);
  EXPECT_STREQ(sms.GetPhoneId().ToString(), L"01fe");
  EXPECT_EQ(sms.GetFolder(), 3);
  EXPECT_EQ(sms.GetStatus(), 5);
  EXPECT_STREQ(sms.GetMessage(), L"ok");
  ASSERT_EQ(sms.GetAddressCount(), 1u);
  EXPECT_STREQ(sms.GetAddresses()[0]->GetAddress(), L"+3584");
  EXPECT_STREQ(sms.GetTimeStamp(), L"2007-05-14T10:22:05+02:00");

  LOGVEX_LOG_ITEM log = {};
  log.dwSize = sizeof log;
  log.dwEntryId = 9;
  log.ullBytesReceived = 5000000000ULL;
  log.pstrName = number;
  log.wYear = 2007; log.bMonth = 11; log.bDay = 3; log.bHour = 23; log.bMinute = 59;
  log.lZoneOffset1 = -300;
  CZembraEventLog entry(&log);
  EXPECT_EQ(entry.GetId(), 9);
  EXPECT_EQ(entry.GetBytesReceived(), 5000000000LL);
  EXPECT_EQ(entry.GetNumber(), L"Unknown number");
  EXPECT_EQ(entry.GetName(), L"+3584");
  EXPECT_EQ(entry.GetTimeStamp(), L"2007-11-03T23:59:00-05:00");
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include "CZembraDb.h"
#include "PhoneNumber.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

bool Same(const char* a, const char* b) {
  CPhoneNumber x, y;
  if (!CPhoneNumber::Parse(a, x) || !CPhoneNumber::Parse(b, y)) return false;
  EXPECT_EQ(x.Matches(y), y.Matches(x)) << a << " / " << b;
  return x.Matches(y);
}

TEST(PhoneNumberRule, MatchesOnDigitsFromTheEnd) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      // Blanks in the card and in the caller's number alike.
      {"+44 20 7946 0958", "+44 20 7946 0958", true},
      {"+44 20 7946 0958", "+442079460958", true},
      {"+44 20 7946 0958", "0044 20 7946 0958", true},
      // National with trunk 0 against the international form.
      {"+44 20 7946 0958", "020 7946 0958", true},
      {"+44 20 7946 0958", "02079460958", true},
      {"+44 (0)20 7946 0958", "020 7946 0958", true},
      {"0044 (0)20 7946 0958", "+442079460958", true},
      // A country code against none.
      {"+1 650 555 1212", "(650) 555-1212", true},
      {"00 1 650 555 1212", "+16505551212", true},
      // Punctuation is no part of the number.
      {"(111) 555-1212", "1115551212", true},
      {"030-1234-5678", "03012345678", true},
      {"030.1234/5678", "(030) 1234 5678", true},
      // Seven digits are the least that can match.
      {"555 1212", "5551212", true},
      {"123456", "123456", false},
      // Same last six, or seven, digits; different numbers.
      {"(650) 555-1212", "(111) 555-1212", false},
      {"0401234567", "0409234567", false},
      {"0401234567", "0501234567", false},
      // Two countries, and left-overs that are no country code or trunk.
      {"+49 30 1234 5678", "+44 30 1234 5678", false},
      {"+44 20 7946 0958", "7946 0958", false},
      {"020 7946 0958", "7946 0958", false},
      {"555 1212", "650 555 1212", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Same(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(PhoneNumberRule, TextsThatAreNoNumber) {
  CPhoneNumber n;
  for (const char* text : {"", "   ", "+", "-()", "1-800-FLOWERS", "INFO1234567", "*31#0401234567", "0401234567#",
                           "12+34567890", "0401234567p12", "040 123 4567 ext 5"})
    EXPECT_FALSE(CPhoneNumber::Parse(text, n)) << text;
  EXPECT_FALSE(CPhoneNumber::Parse(static_cast<const wchar_t*>(nullptr), n));
  EXPECT_FALSE(CPhoneNumber::Parse(L"040\u00b712345678", n));
  ASSERT_TRUE(CPhoneNumber::Parse(L" +358 40-123 4567 ", n));
  EXPECT_EQ(n.digits, "358401234567");
  EXPECT_TRUE(n.international);
  EXPECT_EQ(n.Tail(), "1234567");
  ASSERT_TRUE(CPhoneNumber::Parse("00358401234567", n));
  EXPECT_EQ(n.digits, "358401234567");
  EXPECT_TRUE(n.international);
  ASSERT_TRUE(CPhoneNumber::Parse("112", n));
  EXPECT_EQ(n.Tail(), "");
}

std::vector<std::string> NumbersOf(const std::string& card) {
  std::vector<std::string> out;
  for (const CPhoneNumber& n : PhoneNumbersOfVCard(reinterpret_cast<const BYTE*>(card.data()), card.size()))
    out.push_back((n.international ? "+" : "") + n.digits);
  return out;
}

TEST(PhoneNumberRule, TelValuesOfACard) {
  using V = std::vector<std::string>;
  EXPECT_EQ(NumbersOf("BEGIN:VCARD\r\nTEL;CELL:+44 20 7946 0958\r\nEND:VCARD\r\n"), V{"+442079460958"});
  // CR CR LF, LF alone, lower case, groups, parameters with quotes, URI form.
  EXPECT_EQ(NumbersOf("BEGIN:VCARD\r\r\nTEL;TYPE=WORK:(650) 555-1212\r\r\nEND:VCARD\r\r\n"), V{"6505551212"});
  EXPECT_EQ(NumbersOf("tel;type=home:030-1234-5678\nitem1.TEL;TYPE=\"voice,cell\":0401234567\n"),
            (V{"03012345678", "0401234567"}));
  EXPECT_EQ(NumbersOf("TEL;VALUE=uri:tel:+1-555-555-0100;ext=7\r\n"), V{"+15555550100"});
  // A folded value, a duplicate, and the terminator the COM setter keeps.
  EXPECT_EQ(NumbersOf(std::string("TEL:+44 20\r\n 7946 0958\r\nTEL:+442079460958\r\n\0", 50)), V{"+442079460958"});
  // Only TEL counts: not an e-mail, a note or a picture line.
  EXPECT_EQ(NumbersOf("EMAIL:0401234567@sms.example.com\r\nNOTE:0401234567\r\nX-TEL:0401234567\r\n"
                      "PHOTO;ENCODING=BASE64:MDQwMTIzNDU2Nw==\r\n"),
            V{});
}

TEST(PhoneNumberRule, BrokenTelLinesAreSkippedAndTheRestIsRead) {
  EXPECT_EQ(NumbersOf("TEL:\r\nTEL;CELL\r\nTEL:call me\r\nTEL:=2B44\r\nTEL:12345\r\nTEL:\"0401234567\"\r\n"
                      "TEL;HOME:0409876543\r\n"),
            std::vector<std::string>{"0409876543"});
  EXPECT_TRUE(NumbersOf("").empty());
  EXPECT_TRUE(PhoneNumbersOfVCard(nullptr, 10).empty());
}

class NumberTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Open(folder.Db().c_str());
    ASSERT_TRUE(db.IsOpen());
  }
  int Insert(const std::string& name, const std::string& tel, const char* phoneId = nullptr,
             const char* eol = "\r\n") {
    CZembraContact c = Contact("BEGIN:VCARD" + std::string(eol) + "N:" + name + eol + "TEL;CELL:" + tel + eol +
                                   "END:VCARD" + eol,
                               phoneId);
    return db.InsertContact(c);
  }
  std::vector<std::wstring> Found(const wchar_t* number) {
    std::vector<std::wstring> names;
    for (CZembraContact& c : db.FindContactsByNumber(number)) names.push_back(c.GetFamilyName());
    return names;
  }
  std::string NumberRows() { return SideConnection(folder.Db()).Value("SELECT count(*) FROM contact_numbers"); }
  TempFolder folder;
  CZembraDb db;
};

using Names = std::vector<std::wstring>;

TEST_F(NumberTableTest, CardsFromSeveralPhonesAreFoundByTheirOwnNumber) {
  Insert("London", "+44 20 7946 0958");
  Insert("Palo", "(650) 555-1212", nullptr, "\r\r\n");
  Insert("Other", "(111) 555-1212");
  Insert("Tokyo", "030-1234-5678");
  for (const wchar_t* n : {L"+44 20 7946 0958", L"+442079460958", L"02079460958", L"0044 20 7946 0958"})
    EXPECT_EQ(Found(n), Names{L"London"}) << n;
  EXPECT_EQ(Found(L"(650) 555-1212"), Names{L"Palo"});
  EXPECT_EQ(Found(L"+1 650 555 1212"), Names{L"Palo"});
  EXPECT_EQ(Found(L"1115551212"), Names{L"Other"});
  EXPECT_EQ(Found(L"03012345678"), Names{L"Tokyo"});
  EXPECT_TRUE(Found(L"555 1212").empty());
}

TEST_F(NumberTableTest, OnlyTelLinesMatchAndShortOrOddNumbersFindNothing) {
  CZembraContact mail = Contact("N:Mail\r\nEMAIL:0401234567@sms.example.com\r\nNOTE:call 0401234567\r\n");
  ASSERT_GT(db.InsertContact(mail), 0);
  CZembraContact mixed = Contact("N:Mixed\r\nTEL:not known\r\nTEL;WORK:0409876543\r\n");
  ASSERT_GT(db.InsertContact(mixed), 0);
  Insert("Short", "12345");
  EXPECT_TRUE(Found(L"0401234567").empty());
  EXPECT_EQ(Found(L"+358 40 987 6543"), Names{L"Mixed"});
  for (const wchar_t* n : {L"12345", L"1 2 3 4 5", L"", L"0409876543*", L"#31#0409876543", L"O4O9876543"})
    EXPECT_TRUE(Found(n).empty()) << n;
  EXPECT_TRUE(Found(nullptr).empty());
}

TEST_F(NumberTableTest, SeveralMatchesComeTopFirstThenByIdAndDeletedOnesNever) {
  int a = Insert("A", "0401234567");
  int b = Insert("B", "+358 40 123 4567");
  int c = Insert("C", "040-123 45 67");
  Insert("D", "0401234567");
  CZembraContact top = Contact("N:C\r\nTEL:0401234567\r\nTEL:0401234567\r\n", nullptr, c);
  top.SetTopContact(1);
  db.UpdateContact(top);
  db.DeleteContact(b);
  EXPECT_EQ(Found(L"+358401234567"), (Names{L"C", L"A", L"D"}));
  EXPECT_EQ(Found(L"0401234567"), (Names{L"C", L"A", L"D"}));
  // A row marked deleted by a write that bypasses the table is not offered either.
  SideConnection(folder.Db()).Exec("UPDATE contacts_local SET deleted=1 WHERE id=" + std::to_string(a));
  EXPECT_EQ(Found(L"0401234567"), (Names{L"C", L"D"}));
}

TEST_F(NumberTableTest, KeptInStepWithInsertUpdateAndDelete) {
  int id = Insert("Lee", "0401234567");
  EXPECT_EQ(Found(L"0401234567"), Names{L"Lee"});
  EXPECT_EQ(NumberRows(), "1");

  CZembraContact moved = Contact("N:Lee\r\nTEL:0409999999\r\nTEL:+44 20 7946 0958\r\n", nullptr, id);
  db.UpdateContact(moved);
  EXPECT_TRUE(Found(L"0401234567").empty());
  EXPECT_EQ(Found(L"0409999999"), Names{L"Lee"});
  EXPECT_EQ(Found(L"02079460958"), Names{L"Lee"});

  CZembraContact none = Contact("N:Lee\r\nEMAIL:lee@example.com\r\n", nullptr, id);
  db.UpdateContact(none);
  EXPECT_TRUE(Found(L"0409999999").empty());
  EXPECT_EQ(NumberRows(), "0");

  db.UpdateContact(moved);
  EXPECT_EQ(NumberRows(), "2");
  db.DeleteContact(id);
  EXPECT_TRUE(Found(L"0409999999").empty());
  EXPECT_EQ(NumberRows(), "0");
  db.DeleteLocalContactRow(id);
  db.DeletePhoneContactRow(id);

  int other = Insert("Kim", "0405555555");
  db.DeleteLocalContactRow(other);
  EXPECT_TRUE(Found(L"0405555555").empty());
  EXPECT_EQ(NumberRows(), "0");
}

// What the sync engine does with a contact changed on the phone: the phone
// copy, then the local row matched by phone id; then a read that no longer
// sees a contact removes it.
TEST_F(NumberTableTest, FollowsAChangeReadFromThePhone) {
  ASSERT_GT(Insert("Lee", "0401234567", "0a"), 0);
  ASSERT_GT(Insert("Kim", "0407654321", "0b"), 0);
  CZembraContact changed = Contact("BEGIN:VCARD\r\nN:Lee\r\nTEL;CELL:+358 50 111 2222\r\nEND:VCARD\r\n", "0a");
  ASSERT_TRUE(db.MarkPhoneContactExisting(changed));
  ASSERT_EQ(db.UpdatePhoneContactVCard(changed), 1);
  ASSERT_EQ(db.UpdateLocalContact(changed, false), 1);
  EXPECT_TRUE(Found(L"0401234567").empty());
  EXPECT_EQ(Found(L"0501112222"), Names{L"Lee"});
  EXPECT_EQ(Found(L"0407654321"), Names{L"Kim"});

  // That read saw both; only Lee is on the phone in the next one.
  EXPECT_EQ(db.DeleteNonExistingContacts(), 0);
  db.MarkPhoneContactExisting(changed);
  EXPECT_EQ(db.DeleteNonExistingContacts(), 1);
  EXPECT_TRUE(Found(L"0407654321").empty());
  EXPECT_EQ(NumberRows(), "1");
}

TEST_F(NumberTableTest, AFailedWriteLeavesContactsAndNumbersAsTheyWere) {
  int id = Insert("Lee", "0401234567");
  SideConnection side(folder.Db());
  ASSERT_EQ(side.Exec("CREATE TRIGGER refuse BEFORE INSERT ON contact_numbers WHEN NEW.digits LIKE '%999%' "
                      "BEGIN SELECT RAISE(ABORT, 'injected'); END"),
            SQLITE_OK);

  CZembraContact bad = Contact("N:Bad\r\nTEL:0409999999\r\n");
  EXPECT_THROW(db.InsertContact(bad), ZCLSqlException);
  EXPECT_EQ(bad.GetDbId(), -1);
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_local"), "1");
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_phone"), "1");

  CZembraContact edit = Contact("N:Lee\r\nTEL:0409999999\r\n", nullptr, id);
  EXPECT_THROW(db.UpdateContact(edit), ZCLSqlException);
  EXPECT_EQ(Found(L"0401234567"), Names{L"Lee"});
  EXPECT_NE(side.Value("SELECT vcard_data FROM contacts_local").find("0401234567"), std::string::npos);
  EXPECT_EQ(NumberRows(), "1");

  ASSERT_EQ(side.Exec("DROP TRIGGER refuse"), SQLITE_OK);
  EXPECT_GT(db.InsertContact(bad), 0);
  EXPECT_EQ(Found(L"0409999999"), Names{L"Bad"});
}

// The five tables as an earlier version of the service left them.
TEST_F(NumberTableTest, ADatabaseMadeBeforeTheTableGetsItFilledWhenFirstOpened) {
  TempFolder old;
  {
    SideConnection side(old.Db());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(side.Exec(CZembraDb::GetSchemaText(i)), SQLITE_OK);
    ASSERT_EQ(side.Exec("INSERT INTO contacts_local (phone_id, vcard_data) VALUES "
                        "('0a', CAST('BEGIN:VCARD\r\nN:Lee\r\nTEL:+44 20 7946 0958\r\nEND:VCARD\r\n' AS BLOB)), "
                        "(NULL, CAST('N:Kim\nTEL:broken\nTEL:(650) 555-1212\n' AS BLOB)), "
                        "(NULL, NULL)"),
              SQLITE_OK);
    ASSERT_EQ(side.Exec("INSERT INTO contacts_local (vcard_data, deleted) VALUES "
                        "(CAST('N:Gone\r\nTEL:+44 20 7946 0958\r\n' AS BLOB), 1)"),
              SQLITE_OK);
  }
  CZembraDb upgraded;
  upgraded.Open(old.Db().c_str());
  ASSERT_TRUE(upgraded.IsOpen());
  auto lee = upgraded.FindContactsByNumber(L"020 7946 0958");
  ASSERT_EQ(lee.size(), 1u);
  EXPECT_STREQ(lee[0].GetFamilyName(), L"Lee");
  EXPECT_EQ(upgraded.FindContactsByNumber(L"+16505551212").size(), 1u);
  SideConnection side(old.Db());
  EXPECT_EQ(side.Value("SELECT count(*) FROM contact_numbers"), "2");

  // Made once: opening again neither rebuilds nor doubles it.
  upgraded.Close();
  side.Exec("DELETE FROM contact_numbers WHERE digits='6505551212'");
  upgraded.Open(old.Db().c_str());
  EXPECT_TRUE(upgraded.FindContactsByNumber(L"+16505551212").empty());
  EXPECT_EQ(side.Value("SELECT count(*) FROM contact_numbers"), "1");
}

TEST_F(NumberTableTest, AFailedFirstBuildLeavesNoTableAndIsTriedAgain) {
  TempFolder old;
  {
    SideConnection side(old.Db());
    for (int i = 0; i < 5; ++i) side.Exec(CZembraDb::GetSchemaText(i));
    side.Exec("INSERT INTO contacts_local (vcard_data) VALUES (CAST('N:Lee\r\nTEL:0401234567\r\n' AS BLOB))");
  }
  SideConnection side(old.Db());
  // Others may read, nobody else may write: the build cannot start.
  ASSERT_EQ(side.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
  CZembraDb upgraded;
  upgraded.Open(old.Db().c_str());
  EXPECT_FALSE(upgraded.IsOpen());
  side.Exec("COMMIT");
  EXPECT_EQ(side.Value("SELECT count(*) FROM sqlite_master WHERE name LIKE 'contact_numbers%'"), "0");
  auto found = upgraded.FindContactsByNumber(L"0401234567");  // reopens
  EXPECT_EQ(found.size(), 1u);
}

}  // namespace

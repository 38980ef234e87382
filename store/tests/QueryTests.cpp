#include <windows.h>
#include <gtest/gtest.h>
#include "CZembraDb.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

// Stands in for the sync engine: writes contacts to a "phone" that keeps its
// own form of each vCard, and records the outcome in the database the way
// the engine does after a good commit.
class FakeEngine : public IZembraDbCB {
public:
  explicit FakeEngine(CZembraDb& db) : m_db(db) {}
  bool phoneAccepts = true;
  std::string phoneSuffix = "X-PHONE:1\r\n";  // the phone's own touch on what it stores
  int writes = 0;
  std::map<std::string, std::string> phone;  // uid text -> vCard

  void SelectUpdatedLocalContactsCB(CZembraContact* c) override { Write(*c); }
  void SelectNewLocalContactsCB(CZembraContact* c) override { Write(*c); }
  bool SelectDeletedLocalContactsCB(CZembraContact* c) override {
    std::wstring w = c->GetPhoneId().ToString();
    return phoneAccepts && phone.erase(std::string(w.begin(), w.end())) == 1;
  }

  // The single-contact sync from the phone.
  void FromPhone(const std::string& uid, const std::string& vcard) {
    CZembraContact c = Contact(vcard, uid.c_str());
    if (m_db.MarkPhoneContactExisting(c)) {
      if (m_db.UpdatePhoneContactVCard(c) > 0) {
        ASSERT_EQ(m_db.UpdateLocalContact(c, false), 1);
      }
    } else {
      ASSERT_GT(m_db.InsertContact(c), 0);
    }
  }
  // A whole read from the phone: every contact it holds, then the purge.
  int ReadAll() {
    for (const auto& item : phone) FromPhone(item.first, item.second);
    return m_db.DeleteNonExistingContacts();
  }

private:
  void Write(const CZembraContact& c) {
    ++writes;
    if (!phoneAccepts) return;  // the engine logs the failure and goes on
    std::wstring w = c.GetPhoneId().ToString();
    std::string uid(w.begin(), w.end());
    if (uid.empty()) uid = "f" + std::to_string(phone.size() + 1) + "0";
    if (uid.size() % 2) uid += "0";
    std::string stored = VCardText(c);
    if (stored.find(phoneSuffix) == std::string::npos) stored += phoneSuffix;
    phone[uid] = stored;
    CZembraContact back = Contact(stored, uid.c_str(), c.GetDbId());
    m_db.UpdatePhoneId(back);
    FromPhone(uid, stored);
  }
  CZembraDb& m_db;
};

struct Rows : IZembraDbCB {
  void SelectContactsCB(CZembraContact* c) override { contacts.push_back(*c); }
  void SelectSmsCB(CZembraSMS* s) override { sms.push_back(*s); }
  void SelectEventsCB(CZembraEventLog* e) override { events.push_back(*e); }
  void SelectUpdatedLocalContactsCB(CZembraContact* c) override { updated.push_back(*c); }
  std::vector<CZembraContact> contacts, updated;
  std::vector<CZembraSMS> sms;
  std::vector<CZembraEventLog> events;
};

class QueryTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Open(folder.Db().c_str());
    ASSERT_TRUE(db.IsOpen());
  }
  std::vector<CZembraContact> Contacts() {
    Rows rows;
    db.SelectContacts(&rows);
    return rows.contacts;
  }
  size_t UpdatedCount() {
    Rows rows;
    db.SelectUpdatedLocalContacts(&rows);
    return rows.updated.size();
  }
  TempFolder folder;
  CZembraDb db;
};

TEST_F(QueryTest, EditSurvivesAFailedWriteAndIsWrittenNextTime) {
  FakeEngine engine(db);
  engine.phone["0a"] = "BEGIN:VCARD\r\nN:Lee;Ann\r\nEND:VCARD\r\n";
  engine.ReadAll();
  ASSERT_EQ(Contacts().size(), 1u);

  CZembraContact edited = Contacts()[0];
  std::string newCard = "BEGIN:VCARD\r\nN:Lee;Anne\r\nEND:VCARD\r\n";
  edited.SetVCard(reinterpret_cast<const BYTE*>(newCard.data()), newCard.size());
  EXPECT_EQ(db.UpdateContact(edited), 1);

  engine.phoneAccepts = false;
  db.SelectUpdatedLocalContacts(&engine);
  EXPECT_EQ(engine.writes, 1);
  engine.ReadAll();  // the phone still holds the old card
  ASSERT_EQ(Contacts().size(), 1u);
  EXPECT_EQ(VCardText(Contacts()[0]), newCard);
  EXPECT_STREQ(Contacts()[0].GetGivenName(), L"Anne");

  engine.phoneAccepts = true;
  db.SelectUpdatedLocalContacts(&engine);
  EXPECT_EQ(engine.writes, 2);
  EXPECT_EQ(engine.phone["0a"], newCard + engine.phoneSuffix);
  EXPECT_EQ(VCardText(Contacts()[0]), newCard + engine.phoneSuffix);
  EXPECT_EQ(UpdatedCount(), 0u);
  engine.ReadAll();
  EXPECT_EQ(VCardText(Contacts()[0]), newCard + engine.phoneSuffix);
}

TEST_F(QueryTest, ContactMadeOnThePcSurvivesPurgesUntilWritten) {
  FakeEngine engine(db);
  CZembraContact made = Contact("BEGIN:VCARD\r\nN:New;Pc\r\nEND:VCARD\r\n");
  ASSERT_GT(db.InsertContact(made), 0);
  engine.phone["0b"] = "N:Phone;Only\r\n";
  engine.ReadAll();
  engine.phone.clear();  // gone from the phone
  EXPECT_EQ(engine.ReadAll(), 1);
  EXPECT_EQ(engine.ReadAll(), 0);
  ASSERT_EQ(Contacts().size(), 1u);
  EXPECT_STREQ(Contacts()[0].GetFamilyName(), L"New");

  engine.phoneAccepts = false;
  db.SelectNewLocalContacts(&engine);
  engine.ReadAll();
  EXPECT_EQ(Contacts().size(), 1u);
  engine.phoneAccepts = true;
  db.SelectNewLocalContacts(&engine);
  ASSERT_EQ(engine.phone.size(), 1u);
  engine.ReadAll();
  ASSERT_EQ(Contacts().size(), 1u);
  EXPECT_FALSE(Contacts()[0].GetPhoneId().IsEmpty());
}

TEST_F(QueryTest, UpdateMatchesByDatabaseIdAndRefusesAMissingRow) {
  CZembraContact made = Contact("N:Kim\r\n");
  int id = db.InsertContact(made);
  ASSERT_GT(id, 0);
  EXPECT_EQ(made.GetDbId(), id);
  std::string card = "N:Kimberly\r\n";
  made.SetVCard(reinterpret_cast<const BYTE*>(card.data()), card.size());
  EXPECT_EQ(db.UpdateContact(made), 1);
  EXPECT_STREQ(Contacts()[0].GetFamilyName(), L"Kimberly");

  // Written once by the new-contact pass, edit included, and no longer marked.
  FakeEngine engine(db);
  db.SelectUpdatedLocalContacts(&engine);
  EXPECT_EQ(engine.writes, 0);
  db.SelectNewLocalContacts(&engine);
  EXPECT_EQ(engine.writes, 1);
  EXPECT_EQ(UpdatedCount(), 0u);

  CZembraContact stranger = Contact("N:X\r\n", nullptr, 999);
  EXPECT_THROW(db.UpdateContact(stranger), ZCLException);
  EXPECT_THROW(db.UpdateContact(Contact("N:Y\r\n")), ZCLException);
}

TEST_F(QueryTest, TopMarkIsStoredAndSurvivesAChangeFromThePhone) {
  FakeEngine engine(db);
  CZembraContact top = Contact("N:Top\r\n", "0c");
  top.SetTopContact(1);
  ASSERT_GT(db.InsertContact(top), 0);
  EXPECT_EQ(Contacts()[0].GetTopContact(), 1);
  engine.FromPhone("0c", "N:Top;Changed\r\n");
  EXPECT_STREQ(Contacts()[0].GetGivenName(), L"Changed");
  EXPECT_EQ(Contacts()[0].GetTopContact(), 1);
}

TEST_F(QueryTest, MultiStatementChangesAreAllOrNothing) {
  SideConnection side(folder.Db());
  // The phone row's id is taken: the second insert fails.
  ASSERT_EQ(side.Exec("INSERT INTO contacts_phone (id) VALUES (1)"), SQLITE_OK);
  CZembraContact c = Contact("N:Orphan\r\n");
  EXPECT_THROW(db.InsertContact(c), ZCLSqlException);
  EXPECT_EQ(c.GetDbId(), -1);
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_local"), "0");

  ASSERT_EQ(side.Exec("CREATE TRIGGER no_bad BEFORE INSERT ON sms_address WHEN NEW.address='bad' "
                      "BEGIN SELECT RAISE(ABORT, 'injected'); END"),
            SQLITE_OK);
  CZembraSMS sms;
  sms.SetPhoneId(Trelk::CUid::Parse("01"));
  sms.AddAddress(2, L"ok");
  sms.AddAddress(2, L"bad");
  EXPECT_THROW(db.InsertSms(sms), ZCLSqlException);
  EXPECT_EQ(sms.GetId(), -1);
  EXPECT_EQ(side.Value("SELECT count(*) FROM sms"), "0");
  EXPECT_EQ(side.Value("SELECT count(*) FROM sms_address"), "0");

  CZembraSMS good;
  good.AddAddress(1, L"a");
  good.AddAddress(1, L"b");
  int id = db.InsertSms(good);
  ASSERT_EQ(side.Exec("CREATE TRIGGER keep BEFORE DELETE ON sms BEGIN SELECT RAISE(ABORT, 'injected'); END"),
            SQLITE_OK);
  EXPECT_THROW(db.DeleteSms(id), ZCLSqlException);
  EXPECT_EQ(side.Value("SELECT count(*) FROM sms_address"), "2");

  side.Exec("DELETE FROM contacts_phone");
  CZembraContact pc = Contact("N:Pc\r\n");
  int pcId = db.InsertContact(pc);
  ASSERT_GT(pcId, 0);
  ASSERT_EQ(side.Exec("CREATE TRIGGER fixed BEFORE UPDATE ON contacts_phone BEGIN SELECT RAISE(ABORT, 'x'); END"),
            SQLITE_OK);
  EXPECT_THROW(db.UpdatePhoneId(Contact("N:Pc\r\n", "0d", pcId)), ZCLSqlException);
  EXPECT_EQ(side.Value("SELECT phone_id FROM contacts_local WHERE id=" + std::to_string(pcId)), "NULL");
}

class NumberSearchTest : public QueryTest {
protected:
  void SetUp() override {
    QueryTest::SetUp();
    CZembraContact crlf = Contact("BEGIN:VCARD\r\nN:Lee\r\nTEL;CELL:+358401234567\r\nEND:VCARD\r\n", "01");
    CZembraContact lf = Contact("BEGIN:VCARD\nN:Kim\nTEL:0409876543\nEND:VCARD\n", "02");
    CZembraContact plain = Contact("N:Plain\r\nTEL:12345678\r\n", "03");
    for (CZembraContact* c : {&crlf, &lf, &plain}) ASSERT_GT(db.InsertContact(*c), 0);
  }
};

TEST_F(NumberSearchTest, BlanksAreDroppedAndShortNumbersFindNothing) {
  auto found = db.FindContactsByNumber(L"040 123 4567");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_STREQ(found[0].GetFamilyName(), L"Lee");
  EXPECT_STREQ(found[0].GetPhoneId().ToString(), L"01");
  EXPECT_EQ(db.FindContactsByNumber(L"12 345 678").size(), 1u);
  EXPECT_TRUE(db.FindContactsByNumber(L"1 2 3 4 5").empty());
  EXPECT_TRUE(db.FindContactsByNumber(nullptr).empty());
}

TEST_F(NumberSearchTest, LineFeedOnlyVCardsAreFound) {
  auto found = db.FindContactsByNumber(L"+358 40 987 6543");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_STREQ(found[0].GetFamilyName(), L"Kim");
}

TEST_F(NumberSearchTest, PercentAndUnderscoreAreNoWildcards) {
  EXPECT_TRUE(db.FindContactsByNumber(L"12%45678").empty());
  EXPECT_TRUE(db.FindContactsByNumber(L"123_5678").empty());
  EXPECT_TRUE(db.FindContactsByNumber(L"%%%%%%").empty());
}

TEST_F(QueryTest, MessagesRoundTripAndFollowTheirDeletedState) {
  CZembraSMS sms;
  sms.SetPhoneId(Trelk::CUid::Parse("a1"));
  sms.SetMessage(L"Hei \u00e4iti");
  sms.SetTimeStamp(L"2007-05-14T10:22:05+02:00");
  sms.SetStatus(5);
  sms.SetFolder(1);
  sms.AddAddress(2, L"+358401234567");
  sms.AddAddress(3, L"");
  int id = db.InsertSms(sms);
  EXPECT_EQ(sms.GetId(), id);
  EXPECT_TRUE(db.SmsExists(Trelk::CUid::Parse("a1")));
  EXPECT_FALSE(db.SmsExists(Trelk::CUid::Parse("a2")));

  Rows rows;
  db.SelectSms(&rows);
  ASSERT_EQ(rows.sms.size(), 1u);
  const CZembraSMS& back = rows.sms[0];
  EXPECT_EQ(back.GetId(), id);
  EXPECT_STREQ(back.GetMessage(), L"Hei \u00e4iti");
  EXPECT_STREQ(back.GetTimeStamp(), L"2007-05-14T10:22:05+02:00");
  EXPECT_EQ(back.GetStatus(), 5);
  auto addresses = back.GetAddresses();
  ASSERT_EQ(addresses.size(), 2u);
  EXPECT_STREQ(addresses[0]->GetAddress(), L"+358401234567");
  EXPECT_EQ(addresses[1]->GetType(), 3);

  CZembraSMS read = back;
  read.SetStatus(6);
  EXPECT_TRUE(db.UpdateSms(read));
  db.SetSmsDeleted(id, 2);
  Rows hidden;
  db.SelectSms(&hidden);
  EXPECT_TRUE(hidden.sms.empty());
  EXPECT_EQ(db.DeleteNonExistingSms(), 0);  // updated since the last read
  EXPECT_EQ(db.DeleteNonExistingSms(), 1);
  SideConnection side(folder.Db());
  EXPECT_EQ(side.Value("SELECT count(*) FROM sms_address"), "0");

  int gone = db.InsertSms(sms);
  int kept = db.InsertSms(sms);
  db.SetSmsDeleted(gone, 1);
  db.SetSmsDeleted(kept, 3);
  struct Yes : IZembraDbCB {
    bool SelectDeletedSmsCB(CZembraSMS* s) override { return s->GetId() == -1; }
  } yes;
  db.SelectDeletedSms(&yes);
  Rows after;
  db.SelectSms(&after);
  ASSERT_EQ(after.sms.size(), 1u);
  EXPECT_EQ(after.sms[0].GetId(), kept);
  EXPECT_EQ(after.sms[0].GetAddressCount(), 2u);
  EXPECT_EQ(side.Value("SELECT deleted FROM sms"), "0");
}

TEST_F(QueryTest, CallLogEntryIsReplacedNotDuplicated) {
  CZembraEventLog e;
  e.SetId(17);
  e.SetNumber(L"+358401234567");
  e.SetName(L"Ann");
  e.SetType(1);
  e.SetDirection(2);
  e.SetDuration(65);
  e.SetTimeStamp(L"2007-11-03T23:59:00-05:00");
  e.SetBytesSent(5000000000LL);
  e.SetBytesReceived(7);
  EXPECT_EQ(db.InsertEvent(e), 17);
  EXPECT_EQ(db.InsertEvent(e), 17);
  Rows rows;
  db.SelectEvents(&rows);
  ASSERT_EQ(rows.events.size(), 1u);
  EXPECT_EQ(rows.events[0].GetBytesSent(), 5000000000LL);
  EXPECT_EQ(rows.events[0].GetName(), L"Ann");
  EXPECT_EQ(rows.events[0].GetTimeStamp(), L"2007-11-03T23:59:00-05:00");
}

TEST_F(QueryTest, DeletedContactsLeaveOnlyWhenThePhoneAgrees) {
  FakeEngine engine(db);
  engine.phone["0e"] = "N:Gone\r\n";
  engine.ReadAll();
  int id = Contacts()[0].GetDbId();
  db.DeleteContact(id);
  EXPECT_TRUE(Contacts().empty());
  IZembraDbCB defaults;
  db.SelectDeletedLocalContacts(&defaults);
  engine.phoneAccepts = false;
  db.SelectDeletedLocalContacts(&engine);
  SideConnection side(folder.Db());
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_local"), "1");
  engine.phoneAccepts = true;
  db.SelectDeletedLocalContacts(&engine);
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_local"), "0");
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_phone"), "0");
}

}  // namespace

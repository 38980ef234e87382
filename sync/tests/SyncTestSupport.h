#pragma once
#include <windows.h>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "CZembraDb.h"
#include "CZembraSync.h"
#include "LogFileTest.h"
#include "PhoneWorld.h"
#include "SimTestSupport.h"
#include "StoreTestSupport.h"
#include "TrelkApi.h"

// A simulated phone in a world of its own, its database and picture folder,
// and the sync engine between them (the fallback libraries beside the test).
namespace synctest {

const wchar_t kSerial[] = L"SN-SYNC";

// A 1x1 PNG, as a vCard's base64 PHOTO lines (folded).
const char kPngBase64[] =
    "PHOTO;ENCODING=BASE64;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJ\r\n"
    " AAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\n";
const size_t kPngSize = 70;

inline std::string Card(const std::string& given, const std::string& family, const std::string& extra = "") {
  return "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:" + family + ";" + given + "\r\nFN;CHARSET=UTF-8:" + given +
         " " + family + "\r\n" + extra + "END:VCARD\r\n";
}

class SyncFixture : public LogFileTest {
protected:
  void SetUp() override {
    LogFileTest::SetUp();
    m_scratch.reset(new PhoneSim::Testing::CScratchWorld());
    m_world.reset(new PhoneSim::CPhoneWorld(m_scratch->Folder()));
    PhoneSim::CPhone phone;
    phone.serial = kSerial;
    m_world->PlugPhone(phone);
    m_folder.reset(new storetest::TempFolder(L"sync"));
    m_db.Open(m_folder->Db().c_str());
    ASSERT_TRUE(m_db.IsOpen());
    m_side.reset(new storetest::SideConnection(m_folder->Db()));
    NewEngine();
  }
  void TearDown() override {
    m_sync.reset();
    m_side.reset();
    m_db.Close();
    m_folder.reset();
    m_world.reset();
    m_scratch.reset();
    LogFileTest::TearDown();
  }

  void NewEngine() {
    m_sync.reset();
    m_sync.reset(new CZembraSync(kSerial, &m_db, m_folder->Path().c_str()));
  }

  // The start-up order of the device implementation, whose steps each go on
  // after a failure of the one before.
  void FullSync() {
    for (void (CZembraSync::*pass)() : {&CZembraSync::SyncContactsFromPhone, &CZembraSync::SyncContactsToPhone,
                                        &CZembraSync::SyncSmsFromPhone, &CZembraSync::SyncSmsToPhone,
                                        &CZembraSync::SyncEvents}) {
      try {
        (m_sync.get()->*pass)();
      } catch (const ZCLException&) {
      }
    }
  }

  std::wstring PutContact(const std::string& vcard, const std::wstring& uid = L"") {
    PhoneSim::CContact c;
    c.uid = uid;
    c.vcard = vcard;
    return m_world->WriteContact(kSerial, c);
  }
  std::map<std::wstring, std::string> PhoneContacts() {
    std::map<std::wstring, std::string> cards;
    for (const PhoneSim::CContact& c : m_world->ListContacts(kSerial)) cards[c.uid] = c.vcard;
    return cards;
  }
  // How many phone contacts have this text in their vCard.
  int PhoneCount(const std::string& text) {
    int n = 0;
    for (const auto& c : PhoneContacts()) n += c.second.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  std::wstring PutMessage(DWORD folder, const std::wstring& text) {
    PhoneSim::CMessage m;
    m.folder = folder;
    m.text = text;
    m.addresses.resize(1);
    m.addresses[0].address = L"+358401234567";
    m.time.year = 2026;
    m.time.month = 3;
    m.time.day = 4;
    return m_world->WriteMessage(kSerial, m);
  }

  // The local row of a contact by its given name (text), as "<column>".
  std::string Local(const std::string& column, const std::string& given) {
    return m_side->Value("SELECT " + column + " FROM contacts_local WHERE given_name='" + given + "'");
  }
  int Count(const std::string& sql) {
    std::string value = m_side->Value(sql);
    if (value.empty() || value.find_first_not_of("-0123456789") != std::string::npos) {
      ADD_FAILURE() << sql << " read " << value << " (" << m_side->Value("PRAGMA integrity_check") << ")";
      return -1;
    }
    return std::stoi(value);
  }
  int DbId(const std::string& given) { return std::stoi(Local("id", given)); }
  std::string LocalCard(const std::string& given) {
    return m_side->Value("SELECT CAST(vcard_data AS TEXT) FROM contacts_local WHERE given_name='" + given + "'");
  }
  // A PC edit as the clients' update makes it.
  void EditOnPc(const std::string& given, const std::string& card) {
    CZembraContact c = storetest::Contact(card, nullptr, DbId(given));
    m_db.UpdateContact(c);
  }
  int CreateOnPc(const std::string& card) {
    CZembraContact c = storetest::Contact(card);
    return m_db.InsertContact(c);
  }
  std::string Integrity() { return m_side->Value("PRAGMA integrity_check"); }
  bool Logged(const std::string& text) { return NewText().find(text) != std::string::npos; }

  std::unique_ptr<PhoneSim::Testing::CScratchWorld> m_scratch;
  std::unique_ptr<PhoneSim::CPhoneWorld> m_world;
  std::unique_ptr<storetest::TempFolder> m_folder;
  CZembraDb m_db;
  std::unique_ptr<storetest::SideConnection> m_side;
  std::unique_ptr<CZembraSync> m_sync;
};

}  // namespace synctest

#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "CUid.h"
#include "PhoneTime.h"
#include "ZCLText.h"

struct TESSIM_ITEM_ID;
struct TESSIM_SMS_ITEM;

// One address of a text message: the phone's address type and its text.
class CZembraSMSAddress {
public:
  CZembraSMSAddress() {}
  CZembraSMSAddress(int type, const wchar_t* address) : m_type(type), m_address(ZCLNullToEmpty(address)) {}

  int GetType() const { return m_type; }
  const wchar_t* GetAddress() const { return m_address.c_str(); }

private:
  int m_type = 0;
  std::wstring m_address;
};

// What the phone hands out for one message, field by field: the item id's
// uid and folder and the message item's flags, text and addresses, with its
// date and zone parts. Pointers are the library's and are only read during
// construction.
struct CZembraPhoneSmsItem : Trelk::CPhoneTime {
  struct Address {
    int type;
    const wchar_t* address;  // may be null
  };
  Trelk::CUid uid;
  int folderId = 0;
  DWORD flags = 0;
  const wchar_t* text = nullptr;  // UTF-16, not terminated; a zero before the count ends it
  DWORD textBytes = 0;
  const Address* addresses = nullptr;
  size_t addressCount = 0;
};

// One text message with its addresses, which it owns. A plain value without
// a lock: copied between the database, the sync engine, tasks and data objects.
class CZembraSMS {
public:
  // The status a client gives a message it has read: the phone marks it read too.
  static const int StatusRead = 5;

  CZembraSMS() {}
  explicit CZembraSMS(const CZembraPhoneSmsItem& item);
  // A message as the content-access library reads it: the item id (uid and
  // folder) and the message item (format 1). Null records read as zeroed.
  CZembraSMS(const TESSIM_ITEM_ID* id, const TESSIM_SMS_ITEM* item);
  CZembraSMS(const CZembraSMS& other);
  CZembraSMS& operator=(const CZembraSMS& other);

  int GetId() const { return m_id; }
  void SetId(int id) { m_id = id; }
  Trelk::CUid GetPhoneId() const { return m_phoneId; }
  void SetPhoneId(Trelk::CUid id) { m_phoneId = std::move(id); }
  const wchar_t* GetMessage() const { return m_message.c_str(); }
  void SetMessage(const wchar_t* text) { m_message = ZCLNullToEmpty(text); }
  const wchar_t* GetTimeStamp() const { return m_timeStamp.c_str(); }
  void SetTimeStamp(const wchar_t* text) { m_timeStamp = ZCLNullToEmpty(text); }
  int GetStatus() const { return m_status; }
  void SetStatus(int status) { m_status = status; }
  int GetFolder() const { return m_folder; }
  void SetFolder(int folder) { m_folder = folder; }

  void AddAddress(int type, const wchar_t* address);
  // The entries stay owned by this message: valid until it changes or ends.
  std::vector<const CZembraSMSAddress*> GetAddresses() const;
  size_t GetAddressCount() const { return m_addresses.size(); }

private:
  int m_id = -1;
  Trelk::CUid m_phoneId;
  std::wstring m_message;
  std::wstring m_timeStamp;
  std::vector<std::unique_ptr<CZembraSMSAddress>> m_addresses;
  int m_status = 0;
  int m_folder = 0;
};

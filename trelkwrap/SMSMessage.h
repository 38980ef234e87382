#pragma once
#include <windows.h>
#include <string>
#include "TrelkApi.h"

namespace Trelk {

// The date fields of a message record as a calendar time (no day of week,
// no milliseconds).
SYSTEMTIME SmsItemTime(const TESSIM_SMS_ITEM& item);

// A text message prepared for or read from the content-access library: its
// text and number, and the message and address records handed to the
// library, the first pointing at the second. A plain value of one thread.
class SMSMessage {
public:
  SMSMessage();
  SMSMessage(const SMSMessage& other);
  SMSMessage& operator=(const SMSMessage& other);
  virtual ~SMSMessage();

  void SetText(const wchar_t* text);
  // Every U+0020 blank is removed; other white space stays.
  void SetNumber(const wchar_t* number);
  // Year to second are kept; day of week and milliseconds are dropped.
  void SetTime(const SYSTEMTIME& time);

  // The message record readied for writing, stamped with the PC's local
  // time; its pointers stay valid while the message is not changed.
  TESSIM_SMS_ITEM* GetItemData();

  const std::wstring& GetText() const { return m_text; }
  const std::wstring& GetNumber() const { return m_number; }
  SYSTEMTIME GetTime() const { return SmsItemTime(m_item); }
  const TESSIM_SMS_ITEM& GetRecord() const { return m_item; }

private:
  void Link();

  std::wstring m_text;
  std::wstring m_number;
  TESSIM_SMS_ITEM m_item;
  TESSIM_SMS_ADDRESS m_address;
};

}  // namespace Trelk

using Trelk::SMSMessage;

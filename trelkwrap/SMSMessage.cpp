#include <windows.h>
#include "SMSMessage.h"
#include "PhoneTime.h"
#include "ZCLLogger.h"
#include "ZCLText.h"

namespace Trelk {

namespace {
const DWORD kDateSize = 20;
}  // namespace

SMSMessage::SMSMessage() {
  ZCLScopeTracer trace("Trelk::SMSMessage::SMSMessage");
  ZeroMemory(&m_item, sizeof(m_item));
  ZeroMemory(&m_address, sizeof(m_address));
  m_item.dwSize = sizeof(TESSIM_SMS_ITEM);
  m_item.dwInfo = TESSIM_SMS_INFO_NEW;
  m_item.bNumOfAddresses = 1;
  m_item.dwDateSize = kDateSize;
  m_address.dwSize = sizeof(TESSIM_SMS_ADDRESS);
  m_address.dwAddressType = TESSIM_SMS_ADDRESS_NUMBER;
  Link();
}

SMSMessage::SMSMessage(const SMSMessage& other)
    : m_text(other.m_text), m_number(other.m_number), m_item(other.m_item), m_address(other.m_address) {
  Link();
}

SMSMessage& SMSMessage::operator=(const SMSMessage& other) {
  if (this != &other) {
    m_text = other.m_text;
    m_number = other.m_number;
    m_item = other.m_item;
    m_address = other.m_address;
    Link();
  }
  return *this;
}

SMSMessage::~SMSMessage() { ZCLScopeTracer trace("Trelk::SMSMessage::~SMSMessage"); }

// A copy points at its own records and strings, never at another message's.
void SMSMessage::Link() {
  m_item.pAddresses = &m_address;
  m_item.pstrText = const_cast<WCHAR*>(m_text.c_str());
  m_item.dwTextLength = static_cast<DWORD>(m_text.size() * sizeof(WCHAR));
  m_address.pstrAddress = const_cast<WCHAR*>(m_number.c_str());
}

void SMSMessage::SetText(const wchar_t* text) {
  ZCLScopeTracer trace("Trelk::SMSMessage::SetText");
  m_text = ZCLNullToEmpty(text);
  Link();
}

void SMSMessage::SetNumber(const wchar_t* number) {
  ZCLScopeTracer trace("Trelk::SMSMessage::SetNumber");
  m_number.clear();
  for (const wchar_t* p = number; p && *p; ++p)
    if (*p != L' ') m_number += *p;
  Link();
}

void SMSMessage::SetTime(const SYSTEMTIME& time) {
  ZCLScopeTracer trace("Trelk::SMSMessage::SetTime");
  m_item.wYear = time.wYear;
  m_item.bMonth = static_cast<BYTE>(time.wMonth);
  m_item.bDay = static_cast<BYTE>(time.wDay);
  m_item.bHour = static_cast<BYTE>(time.wHour);
  m_item.bMinute = static_cast<BYTE>(time.wMinute);
  m_item.bSecond = static_cast<BYTE>(time.wSecond);
}

SYSTEMTIME SmsItemTime(const TESSIM_SMS_ITEM& item) { return PhoneTimeOf(item).ToSystemTime(); }

TESSIM_SMS_ITEM* SMSMessage::GetItemData() {
  ZCLScopeTracer trace("Trelk::SMSMessage::GetItemData");
  Link();
  SYSTEMTIME now;
  GetLocalTime(&now);
  SetTime(now);
  return &m_item;
}

}  // namespace Trelk

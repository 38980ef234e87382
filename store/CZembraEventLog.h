#pragma once
#include <windows.h>
#include <string>
#include "PhoneTime.h"

struct LOGVEX_LOG_ITEM;

// What the phone hands out for one call-log entry, field by field (the
// event-log library's item record), with its date and zone parts (-1: not
// given). Text pointers may be null.
struct CZembraPhoneLogItem : Trelk::CPhoneTime {
  int id = 0;
  int type = 0;
  int direction = 0;
  int duration = 0;
  INT64 bytesSent = 0;
  INT64 bytesReceived = 0;
  const wchar_t* number = nullptr;
  const wchar_t* name = nullptr;
};

// One call-log entry. A plain value without a lock.
class CZembraEventLog {
public:
  CZembraEventLog() {}
  explicit CZembraEventLog(const CZembraPhoneLogItem& item);
  // An entry as the event-log library reads it; null reads as zeroed.
  explicit CZembraEventLog(const LOGVEX_LOG_ITEM* item);

  int GetId() const { return m_id; }
  void SetId(int id) { m_id = id; }
  int GetType() const { return m_type; }
  void SetType(int type) { m_type = type; }
  int GetDirection() const { return m_direction; }
  void SetDirection(int direction) { m_direction = direction; }
  int GetDuration() const { return m_duration; }
  void SetDuration(int duration) { m_duration = duration; }
  INT64 GetBytesSent() const { return m_bytesSent; }
  void SetBytesSent(INT64 bytes) { m_bytesSent = bytes; }
  INT64 GetBytesReceived() const { return m_bytesReceived; }
  void SetBytesReceived(INT64 bytes) { m_bytesReceived = bytes; }
  std::wstring GetNumber() const { return m_number; }
  void SetNumber(std::wstring number) { m_number = std::move(number); }
  std::wstring GetName() const { return m_name; }
  void SetName(std::wstring name) { m_name = std::move(name); }
  std::wstring GetTimeStamp() const { return m_timeStamp; }
  void SetTimeStamp(std::wstring timeStamp) { m_timeStamp = std::move(timeStamp); }

private:
  int m_id = 0;
  int m_type = 0;
  int m_direction = 0;
  int m_duration = 0;
  INT64 m_bytesSent = 0;
  INT64 m_bytesReceived = 0;
  std::wstring m_number;
  std::wstring m_name;
  std::wstring m_timeStamp;
};

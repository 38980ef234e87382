#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CTaskBase.h"
#include "CZembraSMS.h"
#include "ZCLLogger.h"

struct CServiceLinks;

// A text message arrived on a phone: it is stored once and announced to the
// message window and the subscribed clients. Queued by the phone's
// content-access notification thread, run on "TaskQueue"; owns its record,
// which goes with the task whether it ran or not.
class CMessageReceivedTask : public CTaskBase {
public:
  CMessageReceivedTask(const CServiceLinks& links, const wchar_t* serialNumber, CZembraSMS* message);
  void Execute() override;
  bool IsAutoDelete() override { return m_autoDelete; }

private:
  ZCLObjectTracer<CMessageReceivedTask> m_tracer;
  const CServiceLinks& m_links;
  bool m_autoDelete = true;
  std::wstring m_serialNumber;
  std::unique_ptr<CZembraSMS> m_message;
};

// A phone's call log changed: it is read into the database again and the
// subscribed clients are told. Queued by the event-log notification thread,
// run on "TaskQueue".
class CRefreshEventLogTask : public CTaskBase {
public:
  CRefreshEventLogTask(const CServiceLinks& links, const wchar_t* serialNumber);
  void Execute() override;
  bool IsAutoDelete() override { return true; }
  const std::wstring& GetSerialNumber() const { return m_serialNumber; }

private:
  ZCLObjectTracer<CRefreshEventLogTask> m_tracer;
  const CServiceLinks& m_links;
  std::wstring m_serialNumber;
};

// Accepts the queued tasks of the same class as the given one for the same
// phone, so that a burst of notifications leaves one refresh waiting.
class CheckTypeAndSerial : public CheckRemoval {
public:
  explicit CheckTypeAndSerial(const CRefreshEventLogTask& task) : m_task(task) {}
  bool Check(CTaskBase* task) override;

private:
  const CRefreshEventLogTask& m_task;
};

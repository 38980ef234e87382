#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include "CTaskBase.h"
#include "ZCLLogger.h"

class CClientManager;

// The base of the client-bound tasks. Built on any thread, run on
// "TaskQueue"; the cancel flag may be set from the main thread meanwhile.
class CTask : public CTaskBase {
public:
  explicit CTask(const std::wstring& clientId) : m_clientId(clientId) {}
  CTask() = default;
  bool IsAutoDelete() override { return m_autoDelete; }
  virtual void SetCancelled(bool cancelled) { m_cancelled = cancelled; }
  virtual bool IsCancelled() { return m_cancelled; }

protected:
  std::wstring m_clientId;
  bool m_autoDelete = false;

private:
  std::atomic<bool> m_cancelled{false};
};

// Tells a new client its id (ConnectCompleted).
class CConnectTask : public CTask {
public:
  CConnectTask(CClientManager& clients, const std::wstring& clientId);
  void Execute() override;

private:
  CClientManager& m_clients;
  ZCLObjectTracer<CConnectTask> m_tracer;
};

// Takes a client's record out, tells the client (DisconnectCompleted, the
// last call its delivery takes) and lets the record go; the delivery revokes
// the callback from the GIT once that call was made.
class CDisconnectTask : public CTask {
public:
  CDisconnectTask(CClientManager& clients, const std::wstring& clientId);
  void Execute() override;

private:
  CClientManager& m_clients;
  ZCLObjectTracer<CDisconnectTask> m_tracer;
};

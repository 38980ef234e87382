#include <windows.h>
#include "CPageThread.h"
#include "ZCLFrame.h"
#include "ZCLThreadName.h"

struct CPageThread::CState {
  Body body;
  CHandle stop;
};

CPageThread::~CPageThread() { Stop(); }

DWORD WINAPI CPageThread::ThreadProc(LPVOID param) {
  std::unique_ptr<std::shared_ptr<CState>> state(static_cast<std::shared_ptr<CState>*>(param));
  ZCLGuarded(2, ZCL_SITE, [&] {
    ZCLSetThreadName(static_cast<DWORD>(-1), "wizard page worker");
    (*state)->body((*state)->stop.Get());
  });
  return 0;
}

bool CPageThread::Start(Body body) {
  Stop();
  auto state = std::make_shared<CState>();
  state->body = std::move(body);
  state->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!state->stop) return false;
  std::unique_ptr<std::shared_ptr<CState>> param(new std::shared_ptr<CState>(state));
  m_thread.Reset(CreateThread(nullptr, 0, &CPageThread::ThreadProc, param.get(), 0, nullptr));
  if (!m_thread) return false;
  param.release();
  m_state = state;
  return true;
}

bool CPageThread::Stop(DWORD milliseconds) {
  if (!m_thread) return true;
  SetEvent(m_state->stop.Get());
  bool ended = WaitForSingleObject(m_thread.Get(), milliseconds) == WAIT_OBJECT_0;
  if (!ended) ZCLLogMessage(2, nullptr, "A wizard page's worker did not end in %lu ms; it is left to finish", milliseconds);
  m_thread.Reset();
  m_state.reset();
  return ended;
}

bool CPageThread::IsRunning() const { return m_thread && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT; }

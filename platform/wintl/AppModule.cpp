#include <windows.h>
#include <new>
#include "AppModule.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

CAppModule* _pWtlModule = nullptr;

HINSTANCE WtlGetResourceInstance() {
  if (_pWtlModule && _pWtlModule->GetResourceInstance()) return _pWtlModule->GetResourceInstance();
  return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
  if (!filter) return FALSE;
  m_filters.push_back(filter);
  return TRUE;
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
  for (auto it = m_filters.begin(); it != m_filters.end(); ++it) {
    if (*it == filter) {
      m_filters.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CMessageLoop::PreTranslateMessage(MSG* pMsg) {
  // A filter may remove itself while it runs (its window closes): walk a copy.
  std::vector<CMessageFilter*> filters(m_filters.rbegin(), m_filters.rend());
  for (CMessageFilter* filter : filters)
    if (filter->PreTranslateMessage(pMsg)) return TRUE;
  return FALSE;
}

int CMessageLoop::Run() {
  MSG msg;
  for (;;) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return -1;
    if (!got) return static_cast<int>(msg.wParam);
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

CAppModule::CAppModule() {}

CAppModule::~CAppModule() { Term(); }

bool CAppModule::Init(HINSTANCE instance) {
  m_instance = instance;
  m_mainThreadId = ::GetCurrentThreadId();
  CLockGuard guard(&m_lock);
  if (!m_loops) {
    m_loops = new (std::nothrow) std::map<DWORD, CMessageLoop*>();
    if (!m_loops) return false;
  }
  _pWtlModule = this;
  return true;
}

void CAppModule::Term() {
  std::map<DWORD, CMessageLoop*>* loops;
  {
    CLockGuard guard(&m_lock);
    loops = m_loops;
    m_loops = nullptr;
  }
  delete loops;  // the loops themselves belong to their threads
  if (_pWtlModule == this) _pWtlModule = nullptr;
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
  if (!loop) return FALSE;
  CLockGuard guard(&m_lock);
  if (!m_loops) return FALSE;
  try {
    return m_loops->emplace(::GetCurrentThreadId(), loop).second ? TRUE : FALSE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

BOOL CAppModule::RemoveMessageLoop() {
  CLockGuard guard(&m_lock);
  if (!m_loops) return FALSE;
  return m_loops->erase(::GetCurrentThreadId()) ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
  CLockGuard guard(&m_lock);
  if (!m_loops) return nullptr;
  auto it = m_loops->find(threadId);
  return it == m_loops->end() ? nullptr : it->second;
}

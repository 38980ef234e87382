#include <windows.h>
#include "CZembraDevice.h"
#include <exception>
#include "CThreadHandle.h"
#include "FileSystem.h"
#include "ZCLException.h"

namespace {

// How long a caller waits for a piece of the phone's work: a first sync of a
// full phone takes minutes, a phone that hangs for longer is given up on.
const DWORD kPhoneWorkWaitMs = 10 * 60 * 1000;

// What a waiting caller and the queued work share: the work may outlive the
// caller that gave up on it.
struct CPhoneWorkResult {
  CEventHandle done;
  std::exception_ptr error;
};

// One piece of a phone's work on its queue; a task the queue discards
// unrun reports that to its caller.
class CPhoneWorkTask : public CTaskBase {
public:
  CPhoneWorkTask(std::function<void()> work, std::shared_ptr<CPhoneWorkResult> result)
      : m_work(std::move(work)), m_result(std::move(result)) {}
  ~CPhoneWorkTask() override {
    if (m_ran) return;
    m_result->error = std::make_exception_ptr(ZCLException(ZCL_POS + "The phone's queue stopped first."));
    m_result->done.Set();
  }
  void Execute() override {
    m_ran = true;
    try {
      m_work();
    } catch (...) {
      m_result->error = std::current_exception();
    }
    m_work = nullptr;  // what the work owned goes before the caller hears
    m_result->done.Set();
  }
  bool IsAutoDelete() override { return true; }

private:
  std::function<void()> m_work;
  std::shared_ptr<CPhoneWorkResult> m_result;
  bool m_ran = false;
};

}  // namespace

CZembraDevice::CZembraDevice() { ZCLScopeTracer trace("CZembraDevice::CZembraDevice"); }

// The queue goes first: its work uses the rest.
CZembraDevice::~CZembraDevice() {
  ZCLScopeTracer trace("CZembraDevice::~CZembraDevice");
  if (OnPhoneQueue()) {
    // Its own thread cannot wait for itself to end.
    ZCLLogMessage(1, nullptr, "CZembraDevice released on its own queue %s", ZCL_POS.c_str());
    m_queue.release();
  }
  m_queue.reset();
  m_db.Close();
  m_dataFolder.clear();
  m_impl.reset();
}

bool CZembraDevice::OnPhoneQueue() {
  DWORD thread = m_queueThread;
  return thread && thread == ::GetCurrentThreadId();
}

void CZembraDevice::RunOnPhone(std::function<void()> work) {
  if (OnPhoneQueue()) {
    work();
    return;
  }
  std::shared_ptr<CPhoneWorkResult> result = std::make_shared<CPhoneWorkResult>();
  {
    CLockGuard lock(&m_lock);
    if (!m_queue) {
      std::unique_ptr<CGlobalQueue> queue(new CGlobalQueue(L"Phone"));
      ZCLThrowOnFalse(queue->StartThread(), ZCL_POS + "The phone's queue could not be started.");
      m_queueThread = queue->GetThreadHandle().GetThreadId();
      m_queue = std::move(queue);
    }
    std::unique_ptr<CPhoneWorkTask> task(new CPhoneWorkTask(std::move(work), result));
    m_queue->AddTask(task.get());
    task.release();
  }
  if (ZCLWaitServingApartment(result->done.Handle(), kPhoneWorkWaitMs) != WAIT_OBJECT_0)
    ZCLThrowOnFalse(false, ZCL_POS + "The phone is still busy with earlier work.");
  if (result->error) std::rethrow_exception(result->error);
}

void CZembraDevice::SetDeviceInfo(const CZembraDeviceInfo& info) {
  ZCLScopeTracer trace("CZembraDevice::SetDeviceInfo");
  CopyDeviceIdentity(info, *this);
}

CZembraDeviceInfo& CZembraDevice::DeviceInfo(CZembraDeviceInfo& out) {
  ZCLScopeTracer trace("CZembraDevice::DeviceInfo");
  out = *static_cast<CZembraDeviceInfo*>(this);
  return out;
}

// The flags follow the implementation's start-up and go before its
// tear-down, so no caller is told of call control that is stopping.
bool CZembraDevice::SetDeviceImpl(CZembraDeviceImpl* impl) {
  ZCLScopeTracer trace("CZembraDevice::SetDeviceImpl");
  // Deleted with the work when the work never ran, unless it is the one
  // attached (the device deletes that one itself).
  struct CIncoming {
    CZembraDevice* device;
    CZembraDeviceImpl* impl;
    ~CIncoming() {
      if (impl && impl != device->m_impl.get()) delete impl;
    }
  };
  std::shared_ptr<CIncoming> owned(new CIncoming{this, impl});
  {
    CLockGuard lock(&m_lock);
    if (!impl && !m_queue) return true;  // never had one
  }
  std::shared_ptr<bool> up = std::make_shared<bool>(true);
  RunOnPhone([this, owned, up] {
    m_callControl = false;
    m_eventLog = false;
    if (m_impl) m_impl->Uninitialize();
    CZembraDeviceImpl* next = owned->impl;
    owned->impl = nullptr;
    if (m_impl.get() != next) m_impl.reset(next);
    m_hasImpl = m_impl != nullptr;
    if (!m_impl) return;
    *up = m_impl->Initialize();
    m_callControl = m_impl->CallControlEnabled();
    m_eventLog = m_impl->EventLogEnabled();
  });
  return *up;
}

bool CZembraDevice::HasDeviceImpl() { return m_hasImpl; }

std::wstring CZembraDevice::GetDataFolder() {
  CLockGuard lock(&m_lock);
  return m_dataFolder;
}

// The path goes to the database as wide text: it reaches SQLite as UTF-8, so
// a folder outside the ANSI code page still names the right file.
void CZembraDevice::SetDataFolder(const wchar_t* folder) {
  ZCLScopeTracer trace("CZembraDevice::SetDataFolder");
  {
    CLockGuard lock(&m_lock);
    m_dataFolder = folder ? folder : L"";
  }
  std::wstring path = GetDataFolder();
  EnsureTrailingBackslash(path);
  path += L"OrvexDialix.db";
  m_db.Open(path.c_str());
}

CZembraDeviceImpl& CZembraDevice::RequireImpl() {
  if (!m_impl) ZCLThrowOnFalse(false, "Not implemented!");
  return *m_impl;
}

void CZembraDevice::Forward(const char* name, void (IZembraDevice::*sync)()) {
  ZCLScopeTracer trace(name);
  RunOnPhone([this, sync] { (RequireImpl().*sync)(); });
}

// Local changes and selections go to the database, which has its own lock:
// they never wait for the phone.
void CZembraDevice::UpdateContact(CZembraContact* contact) {
  ZCLScopeTracer trace("CZembraDevice::UpdateContact");
  if (!contact) return;
  if (contact->GetDbId() == -1) {
    m_db.InsertContact(*contact);
  } else {
    m_db.UpdateContact(*contact);
  }
}

void CZembraDevice::DeleteContact(CZembraContact* contact) {
  ZCLScopeTracer trace("CZembraDevice::DeleteContact");
  if (!contact) return;
  m_db.DeleteContact(contact->GetDbId());
}

void CZembraDevice::UpdateSms(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraDevice::UpdateSms");
  if (!sms) return;
  m_db.UpdateSms(*sms);
}

void CZembraDevice::DeleteSms(CZembraSMS* sms, int deletedState) {
  ZCLScopeTracer trace("CZembraDevice::DeleteSms");
  if (!sms) return;
  m_db.SetSmsDeleted(sms->GetId(), deletedState);
}

void CZembraDevice::MarkSmsAsRead(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraDevice::MarkSmsAsRead");
  if (!sms) return;
  Trelk::CUid uid = sms->GetPhoneId();
  RunOnPhone([this, uid] {
    RequireImpl().MarkSmsAsRead(uid);
    // Taken: the next sync need not mark it again (a failed one it does).
    m_db.ForgetSmsReadMark(uid);
  });
}

bool CZembraDevice::CallControlEnabled() {
  ZCLScopeTracer trace("CZembraDevice::CallControlEnabled");
  return m_callControl;
}

bool CZembraDevice::EventLogEnabled() {
  ZCLScopeTracer trace("CZembraDevice::EventLogEnabled");
  return m_eventLog;
}

void CZembraDevice::SendMessage(const wchar_t* number, const wchar_t* text) {
  ZCLScopeTracer trace("CZembraDevice::SendMessageW");
  std::wstring to = number ? number : L"", body = text ? text : L"";
  RunOnPhone([this, to, body] { RequireImpl().SendMessage(to.c_str(), body.c_str()); });
}

void CZembraDevice::SyncContactsFromPhone() { Forward("CZembraDevice::SyncContactsFromPhone", &IZembraDevice::SyncContactsFromPhone); }

void CZembraDevice::SyncContactsToPhone() { Forward("CZembraDevice::SyncContactsToPhone", &IZembraDevice::SyncContactsToPhone); }

void CZembraDevice::SelectContacts(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectContacts");
  m_db.SelectContacts(callback);
}

void CZembraDevice::SyncSmsFromPhone() { Forward("CZembraDevice::SyncSmsFromPhone", &IZembraDevice::SyncSmsFromPhone); }

void CZembraDevice::SyncSmsToPhone() { Forward("CZembraDevice::SyncSmsToPhone", &IZembraDevice::SyncSmsToPhone); }

void CZembraDevice::SelectSms(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectSms");
  m_db.SelectSms(callback);
}

void CZembraDevice::MarkSmsAsRead(Trelk::CUid) { ZCLScopeTracer trace("CZembraDevice::MarkSmsAsRead"); }

void CZembraDevice::SyncEvents() { Forward("CZembraDevice::SyncEvents", &IZembraDevice::SyncEvents); }

void CZembraDevice::SelectEvents(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectEvents");
  m_db.SelectEvents(callback);
}

bool CZembraDevice::StoreReceivedSms(CZembraSMS& sms) {
  ZCLScopeTracer trace("CZembraDevice::StoreReceivedSms");
  return m_db.InsertSmsIfAbsent(sms) != -1;
}

std::vector<CZembraContact> CZembraDevice::FindContactsByNumber(const wchar_t* number) {
  ZCLScopeTracer trace("CZembraDevice::FindContactsByNumber");
  return m_db.FindContactsByNumber(number);
}

std::unique_ptr<CZembraSync> CZembraDevice::NewSync(const wchar_t* serialNumber) {
  return std::unique_ptr<CZembraSync>(new CZembraSync(serialNumber, &m_db, GetDataFolder().c_str()));
}

#include <windows.h>
#include "CZembraDevice.h"
#include "FileSystem.h"
#include "ZCLException.h"

CZembraDevice::CZembraDevice() { ZCLScopeTracer trace("CZembraDevice::CZembraDevice"); }

CZembraDevice::~CZembraDevice() {
  ZCLScopeTracer trace("CZembraDevice::~CZembraDevice");
  m_db.Close();
  m_dataFolder.clear();
  m_impl.reset();
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

bool CZembraDevice::SetDeviceImpl(CZembraDeviceImpl* impl) {
  ZCLScopeTracer trace("CZembraDevice::SetDeviceImpl");
  std::unique_ptr<CZembraDeviceImpl> incoming(impl);
  CLockGuard lock(&m_lock);
  if (m_impl) m_impl->Uninitialize();
  if (m_impl.get() == impl) {
    incoming.release();  // already ours
  } else {
    m_impl = std::move(incoming);
  }
  m_hasImpl = m_impl != nullptr;
  return m_impl ? m_impl->Initialize() : true;
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
  CLockGuard lock(&m_lock);
  m_dataFolder = folder ? folder : L"";
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
  CLockGuard lock(&m_lock);
  (RequireImpl().*sync)();
}

// An insert reports failure as -1 and raises nothing: raise here, so no
// operation completes with a contact that was never stored.
void CZembraDevice::UpdateContact(CZembraContact* contact) {
  ZCLScopeTracer trace("CZembraDevice::UpdateContact");
  if (!contact) return;
  CLockGuard lock(&m_lock);
  if (contact->GetDbId() == -1) {
    ZCLThrowOnFalse(m_db.InsertContact(*contact) != -1, ZCL_POS + "The contact could not be stored.");
  } else {
    m_db.UpdateContact(*contact);
  }
}

void CZembraDevice::DeleteContact(CZembraContact* contact) {
  ZCLScopeTracer trace("CZembraDevice::DeleteContact");
  if (!contact) return;
  CLockGuard lock(&m_lock);
  m_db.DeleteContact(contact->GetDbId());
}

void CZembraDevice::UpdateSms(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraDevice::UpdateSms");
  if (!sms) return;
  CLockGuard lock(&m_lock);
  m_db.UpdateSms(*sms);
}

void CZembraDevice::DeleteSms(CZembraSMS* sms, int deletedState) {
  ZCLScopeTracer trace("CZembraDevice::DeleteSms");
  if (!sms) return;
  CLockGuard lock(&m_lock);
  m_db.SetSmsDeleted(sms->GetId(), deletedState);
}

void CZembraDevice::MarkSmsAsRead(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraDevice::MarkSmsAsRead");
  if (!sms) return;
  CLockGuard lock(&m_lock);
  RequireImpl().MarkSmsAsRead(sms->GetPhoneId());
  // Taken: the next sync need not mark it again (a failed one it does).
  m_db.ForgetSmsReadMark(sms->GetPhoneId());
}

bool CZembraDevice::CallControlEnabled() {
  ZCLScopeTracer trace("CZembraDevice::CallControlEnabled");
  CLockGuard lock(&m_lock);
  return m_impl && m_impl->CallControlEnabled();
}

bool CZembraDevice::EventLogEnabled() {
  ZCLScopeTracer trace("CZembraDevice::EventLogEnabled");
  CLockGuard lock(&m_lock);
  return m_impl && m_impl->EventLogEnabled();
}

void CZembraDevice::SendMessage(const wchar_t* number, const wchar_t* text) {
  ZCLScopeTracer trace("CZembraDevice::SendMessageW");
  CLockGuard lock(&m_lock);
  RequireImpl().SendMessage(number, text);
}

void CZembraDevice::SyncContactsFromPhone() { Forward("CZembraDevice::SyncContactsFromPhone", &IZembraDevice::SyncContactsFromPhone); }

void CZembraDevice::SyncContactsToPhone() { Forward("CZembraDevice::SyncContactsToPhone", &IZembraDevice::SyncContactsToPhone); }

void CZembraDevice::SelectContacts(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectContacts");
  CLockGuard lock(&m_lock);
  m_db.SelectContacts(callback);
}

void CZembraDevice::SyncSmsFromPhone() { Forward("CZembraDevice::SyncSmsFromPhone", &IZembraDevice::SyncSmsFromPhone); }

void CZembraDevice::SyncSmsToPhone() { Forward("CZembraDevice::SyncSmsToPhone", &IZembraDevice::SyncSmsToPhone); }

void CZembraDevice::SelectSms(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectSms");
  CLockGuard lock(&m_lock);
  m_db.SelectSms(callback);
}

void CZembraDevice::MarkSmsAsRead(Trelk::CUid) { ZCLScopeTracer trace("CZembraDevice::MarkSmsAsRead"); }

void CZembraDevice::SyncEvents() { Forward("CZembraDevice::SyncEvents", &IZembraDevice::SyncEvents); }

void CZembraDevice::SelectEvents(IZembraDbCB* callback) {
  ZCLScopeTracer trace("CZembraDevice::SelectEvents");
  CLockGuard lock(&m_lock);
  m_db.SelectEvents(callback);
}

#include <windows.h>
#include "CZembraGenericDeviceImpl.h"
#include "CIdList.h"
#include "ComTL.h"
#include "ServiceLinks.h"
#include "CZembraDevice.h"
#include "CZembraSync.h"
#include "PhoneTasks.h"
#include "SMSMessage.h"
#include "ZCLException.h"
#include "ZCLFrame.h"

namespace {

// The connection group of the libraries' result codes: device not found to
// port open failed. After one of them the phone is not there to talk to.
bool IsConnectionFailure(int code) {
  unsigned value = static_cast<unsigned>(code);
  return value >= 0x80200000u && value <= 0x8020000Eu;
}

const DWORD kNewMessageReason = 2;
const DWORD kSentFolder = 2;
const DWORD kReadMarkingOption = 2;

}  // namespace

CZembraGenericDeviceImpl::CZembraGenericDeviceImpl(CZembraDevice& device, const CServiceLinks& links)
    : m_device(device),
      m_links(links),
      m_smsListener(static_cast<ITessimNotify*>(this)),
      m_eventLogListener(static_cast<ILOGVEXNotify*>(this)) {
  device.DeviceInfo(m_identity);
}

// The engine goes first; the members follow in reverse order: the listeners
// stop, the connections close, the libraries terminate.
CZembraGenericDeviceImpl::~CZembraGenericDeviceImpl() {
  ZCLGuarded(1, ZCL_SITE, [&] { m_sync.reset(); });
}

bool CZembraGenericDeviceImpl::CallControlEnabled() {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::CallControlEnabled");
  return m_callControl;
}

bool CZembraGenericDeviceImpl::EventLogEnabled() {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::EventLogEnabled");
  return m_eventLog && m_eventLogNotifications;
}

void CZembraGenericDeviceImpl::Forward(const char* name, void (CZembraSync::*sync)()) {
  ZCLScopeTracer trace(name);
  if (m_sync) (m_sync.get()->*sync)();
}

void CZembraGenericDeviceImpl::SyncContactsFromPhone() {
  Forward("CZembraGenericDeviceImpl::SyncContactsFromPhone", &CZembraSync::SyncContactsFromPhone);
}

void CZembraGenericDeviceImpl::SyncContactsToPhone() {
  Forward("CZembraGenericDeviceImpl::SyncContactsToPhone", &CZembraSync::SyncContactsToPhone);
}

void CZembraGenericDeviceImpl::SyncSmsFromPhone() {
  Forward("CZembraGenericDeviceImpl::SyncSmsFromPhone", &CZembraSync::SyncSmsFromPhone);
}

void CZembraGenericDeviceImpl::SyncSmsToPhone() {
  Forward("CZembraGenericDeviceImpl::SyncSmsToPhone", &CZembraSync::SyncSmsToPhone);
}

void CZembraGenericDeviceImpl::SyncEvents() {
  Forward("CZembraGenericDeviceImpl::SyncEvents", &CZembraSync::SyncEvents);
}

void CZembraGenericDeviceImpl::SendMessage(const wchar_t* number, const wchar_t* text) {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::SendMessageW");
  if (!m_smsConnection.GetHandle())
    ZCLComThrowOnFail(E_NOTIMPL, ZCL_POS + "SendMessage not Supported!");
  Trelk::COperation operation;
  m_smsConnection.BeginOperation(operation);
  SMSMessage message;
  message.SetText(text);
  message.SetNumber(number);
  m_smsConnection.WriteItem(operation, kSentFolder, message);
  Trelk::CIdList written;
  operation.Commit(written);
  operation.End();
}

// A marking the phone did not take is logged and reported to the caller, so
// that the client is not told its message was marked read when it was not.
void CZembraGenericDeviceImpl::MarkSmsAsRead(Trelk::CUid uid) {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::MarkSmsAsRead");
  if (!m_smsConnection.GetHandle())
    ZCLComThrowOnFail(E_NOTIMPL, ZCL_POS + "MarkSmsAsRead not Supported!");
  if (uid.IsEmpty()) return;
  std::vector<BYTE> bytes(uid.GetData(), uid.GetData() + uid.GetLength());
  try {
    SMSMessage message;
    Trelk::COperation operation;
    m_smsConnection.BeginOperation(operation);
    TESSIM_ITEM_ID id;
    ZeroMemory(&id, sizeof(id));
    id.dwSize = sizeof(TESSIM_ITEM_ID);
    id.dwUidLength = static_cast<DWORD>(bytes.size());
    id.pbUid = bytes.data();
    m_smsConnection.ReadItem(operation, &id, message, kReadMarkingOption);
    operation.Commit();
    operation.End();
  } catch (const ZCLException& e) {
    ZCLLogCaughtAs(3, ZCLTypeName<ZCLException>(), e);
    throw;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    throw;
  }
}

template <class Step>
void CZembraGenericDeviceImpl::RunStep(const char* text, const std::string& position, Step step) {
  try {
    step();
  } catch (const ZCLException& e) {
    ZCLLogMessage(4, nullptr, "%s%s", text, position.c_str());
    if (IsConnectionFailure(e.GetCode())) m_fatal = true;
  } catch (...) {
    ZCLLogMessage(4, nullptr, "%s%s", text, position.c_str());
  }
}

// Brings the phone up step by step. A step that fails is logged and the rest
// goes on, unless the phone itself is gone (a connection-group code): then
// nothing more is tried and the phone is not registered for calls.
bool CZembraGenericDeviceImpl::Initialize() {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::Initialize");
  try {
    m_fatal = false;
    try {
      m_contentAccess.Initialize();
    } catch (...) {
      ZCLLogMessage(1, nullptr, "Failed to initialize Device! %s", ZCL_POS.c_str());
      return false;
    }

    try {
      m_sync.reset();
      m_sync = m_device.NewSync(Serial());
    } catch (const ZCLException& e) {
      ZCLLogMessage(4, nullptr, "Failed to initialize CZembraSync: %s", ZCL_POS.c_str());
      if (IsConnectionFailure(e.GetCode())) m_fatal = true;
    } catch (...) {
      ZCLLogCaughtHere(4, ZCL_SITE);
    }

    if (!m_fatal) {
      RunStep("Failed to initialize SMS Connection: ", ZCL_POS, [&] {
        m_contentAccess.OpenSMS(Serial(), m_smsConnection);
        Trelk::CFolderInfo folder;
        m_smsConnection.GetFolderInfo(folder);
        m_smsConnected = true;
      });
    }
    if (m_smsConnected && !m_fatal) {
      RunStep("Failed to initialize SMS Notifications: ", ZCL_POS, [&] {
        m_smsListener.Start(m_smsConnection);
        m_smsNotifications = true;
      });
    }
    IZembraDevice& device = m_device;
    if (!m_fatal) {
      RunStep("Failed to Sync contacts: ", ZCL_POS, [&] {
        device.SyncContactsFromPhone();
        device.SyncContactsToPhone();
      });
    }
    if (!m_fatal) {
      RunStep("Failed to Sync SMS: ", ZCL_POS, [&] {
        device.SyncSmsFromPhone();
        device.SyncSmsToPhone();
      });
    }
    if (!m_fatal) {
      RunStep("Failed to initialize Event LOG: ", ZCL_POS, [&] {
        m_eventLogLibrary.Initialize();
        m_eventLog = true;
        m_eventLogLibrary.Open(Serial(), m_eventLogConnection);
        m_eventLogListener.Start(m_eventLogConnection);
        m_eventLogNotifications = true;
      });
    }
    if (EventLogEnabled() && !m_fatal) {
      try {
        device.SyncEvents();
      } catch (const ZCLException& e) {
        ZCLLogMessage(4, nullptr, "Failed to Sync events: %s", ZCL_POS.c_str());
        if (IsConnectionFailure(e.GetCode())) m_fatal = true;
      } catch (...) {
        ZCLLogMessage(4, nullptr, "Failed to Sync Events:%s", ZCL_POS.c_str());
      }
    }
    if (m_fatal) return false;
    RegisterWithCallControl();
    return true;
  } catch (...) {
    ZCLLogMessage(1, nullptr, "Failed to initialize Device! %s", ZCL_POS.c_str());
    return false;
  }
}

// What call control answers is this phone's call handling; a failure here
// changes nothing else.
void CZembraGenericDeviceImpl::RegisterWithCallControl() {
  ZCLGuarded(2, ZCL_SITE, [&] {
    CComPtr<ICallControl> callControl = m_links.CallControl();
    if (!callControl) return;
    CComBSTR serial(Serial());
    if (!serial) throw std::bad_alloc();
    m_callControl = SUCCEEDED(callControl->AddDevice(serial));
  });
}

void CZembraGenericDeviceImpl::UnregisterFromCallControl() {
  CComPtr<ICallControl> callControl = m_links.CallControl();
  if (!callControl) return;
  CComBSTR serial(Serial());
  if (!serial) throw std::bad_alloc();
  callControl->RemoveDevice(serial);
}

// Every step runs even when one before it failed: a failure to reach call
// control must not leave the listeners running and the handles open.
void CZembraGenericDeviceImpl::Uninitialize() {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::Uninitialize");
  int number = 0;
  auto step = [&](const std::string& position, auto body) {
    ++number;
    try {
      if (m_links.faults.TakeUninitializeFault(number))
        ZCLThrowOnFalse(false, position + "Uninitialize step failed for a test.");
      body();
    } catch (...) {
      ZCLLogMessage(1, nullptr, "%s", position.c_str());
    }
  };
  step(ZCL_POS, [&] { m_sync.reset(); });
  step(ZCL_POS, [&] { UnregisterFromCallControl(); });
  m_callControl = false;
  m_smsConnected = false;
  m_smsNotifications = false;
  step(ZCL_POS, [&] { m_smsListener.Stop(); });
  step(ZCL_POS, [&] { m_smsConnection.Close(); });
  step(ZCL_POS, [&] { m_contentAccess.Terminate(); });
  m_eventLog = false;
  m_eventLogNotifications = false;
  step(ZCL_POS, [&] { m_eventLogListener.Stop(); });
  step(ZCL_POS, [&] { m_eventLogConnection.Close(); });
  step(ZCL_POS, [&] { m_eventLogLibrary.Terminate(); });
}

// A read that failed leaves nothing to store or announce and nothing the
// library handed out to free: the message is skipped.
DWORD CZembraGenericDeviceImpl::OnTessimNotify(DWORD dwReason, DWORD, TESSIM_ITEM_ID* pItemId) {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::OnTessimNotify");
  if (dwReason != kNewMessageReason) return 0;
  ZCLGuarded(1, ZCL_SITE, [&] {
    Trelk::COperation operation;
    m_smsConnection.BeginOperation(operation);
    TESSIM_SMS_ITEM record;
    ZeroMemory(&record, sizeof(record));
    record.dwSize = sizeof(TESSIM_SMS_ITEM);
    DWORD result = TessimReadItem(operation.Current(), pItemId, 0, TESSIM_FORMAT_SMS, &record);
    if (result != 0) {
      ZCLLogMessage(1, nullptr, "TessimReadItem failed (0x%08X), message skipped %s",
                    static_cast<unsigned>(result), ZCL_POS.c_str());
      return;
    }
    std::unique_ptr<CZembraSMS> message;
    {
      struct CFreeItem {
        DWORD handle;
        TESSIM_SMS_ITEM* item;
        ~CFreeItem() { TessimFreeItemData(handle, TESSIM_FORMAT_SMS, item); }
      } free{m_smsConnection.GetHandle(), &record};
      message.reset(new CZembraSMS(pItemId, &record));
    }
    operation.Commit();
    operation.End();
    std::unique_ptr<CMessageReceivedTask> task(new CMessageReceivedTask(m_links, Serial(), message.release()));
    m_links.tasks.AddTask(task.get());
    task.release();
  });
  return 0;
}

DWORD CZembraGenericDeviceImpl::OnLOGVEXNtf(DWORD, void*) {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::OnLOGVEXNtf");
  ZCLGuarded(1, ZCL_SITE, [&] {
    std::unique_ptr<CRefreshEventLogTask> task(new CRefreshEventLogTask(m_links, Serial()));
    CheckTypeAndSerial sameRefresh(*task);
    m_links.tasks.AddTaskRemoveEarlier(task.get(), &sameRefresh);
    task.release();
  });
  return 0;
}

DWORD CZembraGenericDeviceImpl::OnLOGVEXConnectionLostNtf() {
  ZCLScopeTracer trace("CZembraGenericDeviceImpl::OnLOGVEXConnectionLostNtf");
  return 0;
}

CZembraDeviceImpl* CreateDeviceImpl(CZembraDevice& device, const CServiceLinks& links) {
  return new CZembraGenericDeviceImpl(device, links);
}

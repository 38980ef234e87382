#pragma once
#include <windows.h>
#include <memory>
#include "CContentAccess.h"
#include "CEventLog.h"
#include "CSMSNotificationListener.h"
#include "CZembraDeviceInfo.h"
#include "IZembraDevice.h"
#include "TrelkApi.h"
#include "ZCLLogger.h"

struct CServiceLinks;
class CZembraDevice;
class CZembraSync;

// The connection to one online phone over the content-access and event-log
// libraries, with the phone's sync engine.
// Everything but the sinks runs on the owning device's queue thread, one at a
// time, in the order the phone's work was asked for. The sinks
// run on the libraries' notification threads: they read only the identity,
// the message connection's handle and the links, and queue tasks.
class CZembraGenericDeviceImpl : public CZembraDeviceImpl, public ITessimNotify, public ILOGVEXNotify {
public:
  CZembraGenericDeviceImpl(CZembraDevice& device, const CServiceLinks& links);
  ~CZembraGenericDeviceImpl() override;

  bool CallControlEnabled() override;
  bool EventLogEnabled() override;
  void SendMessage(const wchar_t* number, const wchar_t* text) override;
  void SyncContactsFromPhone() override;
  void SyncContactsToPhone() override;
  void SelectContacts(IZembraDbCB*) override {}
  void SyncSmsFromPhone() override;
  void SyncSmsToPhone() override;
  void SelectSms(IZembraDbCB*) override {}
  void MarkSmsAsRead(Trelk::CUid uid) override;
  void SyncEvents() override;
  void SelectEvents(IZembraDbCB*) override {}
  bool Initialize() override;
  void Uninitialize() override;

  DWORD OnTessimNotify(DWORD dwReason, DWORD dwStatus, TESSIM_ITEM_ID* pItemId) override;
  DWORD OnLOGVEXNtf(DWORD dwParam, void* pIndicationData) override;
  DWORD OnLOGVEXConnectionLostNtf() override;

private:
  CZembraGenericDeviceImpl(const CZembraGenericDeviceImpl&) = delete;
  CZembraGenericDeviceImpl& operator=(const CZembraGenericDeviceImpl&) = delete;

  const wchar_t* Serial() const { return m_identity.GetSerialNumber(); }
  // One step of Initialize: a failure is logged with the text and the
  // handler's position; a connection-group code makes it fatal.
  template <class Step>
  void RunStep(const char* text, const std::string& position, Step step);
  void Forward(const char* name, void (CZembraSync::*sync)());
  void RegisterWithCallControl();
  void UnregisterFromCallControl();

  ZCLObjectTracer<CZembraGenericDeviceImpl> m_tracer;
  bool m_callControl = false;
  bool m_eventLog = false;
  bool m_smsConnected = false;
  bool m_smsNotifications = false;
  CZembraDeviceInfo m_identity;
  CZembraDevice& m_device;
  const CServiceLinks& m_links;
  Trelk::CSMSConnection m_smsConnection;
  Trelk::CContentAccess m_contentAccess;
  Trelk::CSMSNotificationListener m_smsListener;
  Trelk::CEventLog m_eventLogLibrary;
  Trelk::CEventLogConnection m_eventLogConnection;
  Trelk::CEventLogNotificationListener m_eventLogListener;
  bool m_eventLogNotifications = false;
  std::unique_ptr<CZembraSync> m_sync;
  bool m_fatal = false;  // Initialize only
};

// The implementation the device manager attaches to a phone that came online.
CZembraDeviceImpl* CreateDeviceImpl(CZembraDevice& device, const CServiceLinks& links);

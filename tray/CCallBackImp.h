#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include "CLockable.h"
#include "ComTL.h"
#include "SZembra.h"

class CZembraTrayWindow;

// What the sink hands the window thread: a new device summary, or a
// device's state for a balloon.
struct TrayUpdate {
  enum Kind { Summary, DeviceState } kind;
  std::wstring text;   // summary, or state text
  std::wstring title;  // the device's name
  bool anyConnected;
  bool anyConnecting;
};

// The tray's callback from the service. Called on COM's threads; it only
// reads what the service hands it, queues the result and posts to the window
// thread, which alone touches the icon and its menu. The owner, its window,
// the event and the queue are guarded by the sink's lock; the window clears
// them before it goes, so late calls find nobody to tell.
class CCallBackImp : public CComObjectRootEx<CComMultiThreadModel>, public IZembraCallback {
public:
  BEGIN_COM_MAP(CCallBackImp)
  COM_INTERFACE_ENTRY(IZembraCallback)
  END_COM_MAP()

  // Posted to the window when updates are waiting.
  static const UINT kUpdatesMessage = WM_USER + 102;

  void SetOwner(CZembraTrayWindow* owner, HANDLE connectEvent);
  // The window's handle, once it exists; pending updates are posted then.
  void SetWindow(HWND window);
  void ClearOwner();
  std::wstring GetClientId();
  std::deque<TrayUpdate> TakeUpdates();
  void FinalRelease() { ClearOwner(); }

  STDMETHOD(ConnectCompleted)(BSTR clientId) override;
  STDMETHOD(DisconnectCompleted)(BSTR clientId) override;
  STDMETHOD(OperationCompleted)(BSTR clientId, BSTR operationId, IOperation* operation) override;
  STDMETHOD(OperationFailed)(BSTR clientId, BSTR operationId, HRESULT result, IErrorInfo* info) override;
  STDMETHOD(OperationProgress)(BSTR, BSTR, IProgressInfo*) override { return S_OK; }
  STDMETHOD(OperationData)(BSTR, BSTR, IOperation*) override { return S_OK; }
  STDMETHOD(NewDevice)(BSTR clientId, IDevice* device) override;
  STDMETHOD(DeviceStateChanged)(BSTR clientId, IDevice* device) override;
  STDMETHOD(Notification)(BSTR, REFIID, ISNotification*) override { return S_OK; }

private:
  void SetConnectEvent();
  void Queue(const TrayUpdate& update);
  void ShowDeviceState(IDevice* device);

  CLockable m_lock;
  CZembraTrayWindow* m_owner = nullptr;
  HWND m_window = nullptr;
  HANDLE m_event = INVALID_HANDLE_VALUE;
  std::wstring m_clientId;
  std::deque<TrayUpdate> m_updates;
};

// A resource string formatted with wide-text inserts (FormatMessageW).
std::wstring FormatResourceString(UINT id, const wchar_t* insert = nullptr);
std::wstring LoadResourceString(UINT id);

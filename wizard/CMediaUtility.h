#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "CComPortDetector.h"
#include "CDeviceSearch.h"
#include "CLockable.h"
#include "ComPtr.h"
#include "QorsalConnectionManager.h"
#include "TrelkApi.h"

// Told about phones that come and go; called on the utility's own thread.
class IMediaNotifySink {
public:
  virtual void OnDeviceArrived(const LNYX_DEVICE& device) = 0;
  // Both texts are empty when the phone is no longer known.
  virtual void OnDeviceLeft(const std::wstring& name, const std::wstring& serial) = 0;

protected:
  ~IMediaNotifySink() = default;
};

const DWORD kMaxConnections = 10;

struct CMediaDevice {
  std::wstring displayName;
  DWORD media[kMaxConnections] = {0};
  DWORD deviceIds[kMaxConnections] = {0};
  DWORD states[kMaxConnections] = {0};
  DWORD connectionCount = 0;
  std::wstring serial;
  std::wstring model;
  std::wstring bluetoothAddress;
};

const int kPluginTextCapacity = 40;

struct CMediaPlugin {
  WCHAR name[kPluginTextCapacity] = {0};
  WCHAR id[kPluginTextCapacity] = {0};
  bool enabled = false;
};

// Mask bits of the connection manager's media 0 to 3.
const DWORD kMediaInfrared = 0x2;
const DWORD kMediaCable = 0x4;
const DWORD kMediaBluetooth = 0x8;
const DWORD kMediaCable2 = 0x10;

// The wizard's view of the phones and of the suite's connection media.
// Created, used and destroyed on one thread (the main thread, or the search
// worker's); the library's notifications reach the registering utility as
// posted copies, handled on that thread. The device list has a lock of its
// own, held only while the list is rebuilt or copied.
class CMediaUtility : public ISearchUtility {
public:
  // Only one utility of a process registers for the library's notifications:
  // a second would have each arrival handled twice.
  explicit CMediaUtility(bool registerCallback);
  ~CMediaUtility() override;

  bool Initialize() override;
  bool QueryDeviceList();
  void CopyDeviceList(std::vector<CMediaDevice>* devices);
  // Paired devices go to the front of the list; a connection with neither
  // name nor address gives no entry.
  DWORD SearchAvailableDevices(DWORD options, DWORD timeout, CSearchList* list,
                               LNYX_SEARCH_PROGRESS progress) override;
  DWORD ChangeDeviceTrustedState(DWORD options, const wchar_t* device, const wchar_t* passcode) override;

  void RefreshMedia();
  bool IsMediaAvailable(DWORD mask) const { return (m_availableMask & mask) != 0; }
  bool EnableMedium(DWORD maskBit);
  bool EnableMediumById(const wchar_t* guidText);
  void LoadPlugins() override;
  bool EnsurePluginEnabled() override;
  bool HasPluginList() const override { return !m_plugins.empty(); }
  const std::vector<CMediaPlugin>& GetPlugins() const { return m_plugins; }
  bool SetNotifySink(IMediaNotifySink* sink);
  // Started and stopped by the main dialog while the cable page waits.
  CComPortDetector& CableDetector() { return m_cableDetector; }
  static bool FindConnectionIndex(const CMediaDevice& device, DWORD medium, int* index);

  // Handles one notification as the library gave it (the posted copy's
  // handler; tests call it directly).
  void HandleNotification(DWORD status, const std::wstring& serial);

  // The texts of the three known plug-ins come from the language module.
  typedef std::wstring (*TextSource)(UINT id);
  void SetTextSource(TextSource source) { m_text = source; }

private:
  CMediaUtility(const CMediaUtility&) = delete;
  CMediaUtility& operator=(const CMediaUtility&) = delete;

  static DWORD CALLBACK NotifyCallback(DWORD status, const WCHAR* serial);
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool ListElements(std::vector<CComPtr<IQorsalConnection>>* elements);
  bool SwitchOn(const GUID& id);
  DWORD Search(DWORD options, DWORD timeout, CSearchList* list, LNYX_SEARCH_PROGRESS progress);
  static CMediaDevice MakeRecord(const LNYX_DEVICE& device);

  DWORD m_availableMask = 0;
  std::vector<CMediaDevice> m_devices;  // guarded by m_listLock
  CLockable m_listLock;
  std::map<DWORD, DWORD> m_mediumMask;
  std::map<DWORD, bool> m_mediumEnabled;
  CComPortDetector m_cableDetector;
  DWORD m_handle = 0;
  bool m_handleOpen = false;
  IMediaNotifySink* m_sink = nullptr;
  CComPtr<IQorsalConnectionManager> m_manager;
  std::vector<CMediaPlugin> m_plugins;
  bool m_registers;
  HWND m_window = nullptr;  // receives the posted notifications
  TextSource m_text = nullptr;
};

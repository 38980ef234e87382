#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "CLockable.h"
#include "TrelkCallControl.h"

class CDeviceCallControl;

// The phones call control serves: one state machine per serial, the serials
// being started or stopped, and the uses of the call-control library that
// keep it from being terminated under a phone. Any thread; the lock guards
// the table, the claims, the uses and the shut-down state, and is held only
// around lookups and changes, never across a call into the library or a
// state machine.
class CCallPhoneTable {
public:
  typedef std::shared_ptr<CDeviceCallControl> DevicePtr;
  typedef std::vector<DevicePtr> Devices;

  // The library is terminated when the last use ends after the shutdown.
  explicit CCallPhoneTable(Trelk::CCallControl& library) : m_library(library) {}

  // A start, restart or stop of one phone holds its serial from the claim to
  // the end of this object. A phone the claim leaves in the table after a
  // shutdown took the rest is stopped here.
  class CClaim {
  public:
    CClaim(CCallPhoneTable& table, const std::wstring& serial) : m_table(table), m_serial(serial) {}
    ~CClaim();

  private:
    CClaim(const CClaim&) = delete;
    CClaim& operator=(const CClaim&) = delete;
    CCallPhoneTable& m_table;
    std::wstring m_serial;
  };

  // Claims the serial for a start (not known) or a restart (known, with its
  // machine); false, logged, when shut down or the serial is claimed already.
  bool ClaimForStart(const std::wstring& serial, bool* known, DevicePtr* device);
  // Claims the serial for a stop: S_OK with its machine, S_FALSE for a phone
  // not in the table, E_FAIL (logged) while it is claimed already.
  HRESULT ClaimForStop(const std::wstring& serial, DevicePtr* device);
  // A started phone goes into the table; false once shut down, when the
  // caller keeps it and stops it again.
  bool Insert(const std::wstring& serial, const DevicePtr& device);
  void Erase(const std::wstring& serial);
  DevicePtr Find(const std::wstring& serial, bool* known);
  size_t Count();
  bool IsShutDown();

  // No phone is claimed from here on; the shutdown holds a use of its own.
  void BeginShutdown();
  // Empties the table but for the phones being started or stopped, which
  // their claims stop.
  Devices TakeAll();
  void BeginLibraryUse();
  void EndLibraryUse();
  // Each phone: the listener, then the handle.
  static void StopAll(Devices& devices);

private:
  Trelk::CCallControl& m_library;
  CLockable m_lock;
  std::map<std::wstring, DevicePtr> m_devices;  // guarded by m_lock
  std::set<std::wstring> m_busy;                 // guarded by m_lock
  int m_libraryUses = 0;                         // guarded by m_lock
  bool m_terminated = false;                     // guarded by m_lock
  bool m_shutDown = false;                       // guarded by m_lock
};

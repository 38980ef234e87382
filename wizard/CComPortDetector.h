#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "ZCLHandle.h"

// Looks on a thread of its own ("check com") for the port of the phone's
// serial cable, by the port's device description and by asking each serial
// port for the phone's identification, and writes the port it finds into
// the connection manager's serial-cable setting. Started and stopped on the
// main thread; the thread alone writes the ports found.
class CComPortDetector {
public:
  // Cable kinds and the device descriptions that mark them.
  enum Kind { kAdapter = 1, kUsbCable = 2 };

  CComPortDetector();
  ~CComPortDetector();

  // Nothing when running already.
  void Start();
  // Ends the thread (a probe under way finishes first) and closes its
  // events: nonzero when they were closed, 0 when it was not running or
  // the thread did not end within 30 s (it is then left to finish alone).
  int Stop();
  bool IsRunning() const { return m_running; }

  static bool ProbePort(int port);
  // 0 when the manager cannot be created, -2 on a later failure.
  static int GetConfiguredPort();
  static bool SetConfiguredPort(int port);
  // The native serial ports' numbers, each at most 255 (the setting's size).
  static std::vector<int> ListPorts();
  // -1 unless the device's "PortName" is a COM port.
  static int PortNumberFromDeviceId(const std::wstring& deviceId);
  // The port of a present device of the kind's description, or -1.
  static int FindPortByDescription(Kind kind);

private:
  struct CState;
  CComPortDetector(const CComPortDetector&) = delete;
  CComPortDetector& operator=(const CComPortDetector&) = delete;
  static DWORD WINAPI ThreadProc(LPVOID param);

  std::shared_ptr<CState> m_state;
  CHandle m_thread;
  bool m_running = false;
};

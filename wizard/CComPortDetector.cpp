#include <windows.h>
#include <setupapi.h>
#include "CComPortDetector.h"
#include "ComApartment.h"
#include "ComPtr.h"
#include "ComVariant.h"
#include "QorsalConnectionManager.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"
#include "ZCLThreadName.h"

namespace {

const GUID kSerialCableMedium = {0x23399C73, 0x7D90, 0x4EA6, {0xBA, 0x20, 0x54, 0x35, 0xE8, 0x50, 0xF7, 0x9E}};
const wchar_t* const kDescriptions[] = {nullptr, L"Port 1 on Orvex Adapter", L"Orvex KX-19 USB"};
const int kMaxPort = 255;  // the setting holds one byte
const DWORD kLookInterval = 2000;
const DWORD kStopWait = 30000;

struct CSetupDeviceListTraits {
  typedef HDEVINFO Type;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(Type h) { ::SetupDiDestroyDeviceInfoList(h); }
};
typedef CUniqueHandle<CSetupDeviceListTraits> CSetupDeviceList;

// "COM<n>" as n; -1 for anything else.
int ComNumber(const std::wstring& text) {
  if (text.size() < 4 || text.compare(0, 3, L"COM") != 0) return -1;
  int number = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9' || number > 100000) return -1;
    number = number * 10 + (text[i] - L'0');
  }
  return number;
}

// A registry text value, terminated whatever the value held.
bool ReadText(HKEY key, const wchar_t* name, std::wstring* text) {
  WCHAR buffer[256] = {0};
  DWORD type = 0, size = sizeof(buffer) - sizeof(WCHAR);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  buffer[size / sizeof(WCHAR)] = 0;
  *text = buffer;
  return true;
}

CComPtr<IQorsalConnectionSettings> CableSettings(bool* created) {
  *created = false;
  CComPtr<IQorsalConnectionManager> manager;
  if (FAILED(CoCreateInstance(CLSID_QorsalConnectionManager, nullptr, CLSCTX_LOCAL_SERVER,
                              IID_IQorsalConnectionManager, reinterpret_cast<void**>(&manager))))
    return CComPtr<IQorsalConnectionSettings>();
  *created = true;
  CComPtr<IUnknown> unknown;
  CComPtr<IQorsalConnectionSettings> settings;
  if (SUCCEEDED(manager->GetConnectionSettings(kSerialCableMedium, &unknown)) && unknown)
    unknown->QueryInterface(IID_IQorsalConnectionSettings, reinterpret_cast<void**>(&settings));
  return settings;
}

}  // namespace

// Shared with the thread, so that a thread that outlives a timed-out Stop
// still has its events and fields.
struct CComPortDetector::CState {
  CHandle stop, done;
  int found[3] = {-1, -1, -1};  // by kind; the probed port in slot 0
  void Run();
  bool Stopped(DWORD milliseconds) { return WaitForSingleObject(stop.Get(), milliseconds) != WAIT_TIMEOUT; }
};

bool CComPortDetector::ProbePort(int port) {
  WCHAR name[32];
  wsprintfW(name, L"\\\\.\\COM%d", port);
  CHandle file(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  DCB dcb = {sizeof(dcb)};
  if (!GetCommState(file.Get(), &dcb)) return false;
  dcb.BaudRate = CBR_2400;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fErrorChar = TRUE;
  if (!SetCommState(file.Get(), &dcb) || !SetupComm(file.Get(), 1024, 1024)) return false;
  PurgeComm(file.Get(), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  // Fails on some ports (a pseudo-terminal among them) that answer anyway.
  EscapeCommFunction(file.Get(), SETDTR);
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadTotalTimeoutConstant = 1750;
  timeouts.WriteTotalTimeoutConstant = 1000;
  SetCommTimeouts(file.Get(), &timeouts);
  DWORD written = 0;
  WriteFile(file.Get(), "ATI3\r", 5, &written, nullptr);
  FlushFileBuffers(file.Get());
  char reply[20];
  DWORD read = 0;
  if (!ReadFile(file.Get(), reply, sizeof(reply), &read, nullptr) || read == 0) return false;
  WCHAR text[sizeof(reply) + 1] = {0};
  int length = MultiByteToWideChar(CP_ACP, 0, reply, static_cast<int>(read), text, sizeof(reply));
  text[length > 0 ? length : 0] = 0;
  return std::wstring(text, length > 0 ? length : 0).find(L"Orvex") != std::wstring::npos;
}

int CComPortDetector::GetConfiguredPort() {
  bool created = false;
  CComPtr<IQorsalConnectionSettings> settings = CableSettings(&created);
  if (!created) return 0;
  CComVariant value;
  if (!settings || FAILED(settings->GetSetting(0, &value)) || value.vt != VT_UI1) return -2;
  return value.bVal;
}

bool CComPortDetector::SetConfiguredPort(int port) {
  if (port < 1 || port > kMaxPort) return false;
  if (GetConfiguredPort() == port) return true;
  bool created = false;
  CComPtr<IQorsalConnectionSettings> settings = CableSettings(&created);
  if (!settings) return false;
  CComVariant value;
  value.vt = VT_UI1;
  value.bVal = static_cast<BYTE>(port);
  return SUCCEEDED(settings->SetSetting(0, value));
}

std::vector<int> CComPortDetector::ListPorts() {
  std::vector<int> ports;
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    WCHAR name[256] = {0};
    WCHAR data[64] = {0};
    DWORD nameLength = ARRAYSIZE(name), type = 0, size = sizeof(data) - sizeof(WCHAR);
    LONG status = RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (type != REG_SZ) continue;
    data[size / sizeof(WCHAR)] = 0;
    int port = ComNumber(data);
    if (wcsstr(name, L"\\Device\\Serial") && port >= 1 && port <= kMaxPort) ports.push_back(port);
  }
  return ports;
}

int CComPortDetector::PortNumberFromDeviceId(const std::wstring& deviceId) {
  CRegistryKey key;
  std::wstring path = L"SYSTEM\\CurrentControlSet\\Enum\\" + deviceId + L"\\Device Parameters";
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return -1;
  std::wstring name;
  if (!ReadText(key.Get(), L"PortName", &name)) return -1;
  return ComNumber(name);
}

int CComPortDetector::FindPortByDescription(Kind kind) {
  if (kind != kAdapter && kind != kUsbCable) return -1;
  GUID ports[4];
  DWORD count = 0;
  if (!SetupDiClassGuidsFromNameW(L"Ports", ports, ARRAYSIZE(ports), &count) || count == 0) return -1;
  CSetupDeviceList devices(SetupDiGetClassDevsW(&ports[0], nullptr, nullptr, DIGCF_PRESENT));
  if (!devices) return -1;
  SP_DEVINFO_DATA device = {sizeof(device)};
  for (DWORD i = 0; SetupDiEnumDeviceInfo(devices.Get(), i, &device); ++i) {
    BYTE buffer[8192 + sizeof(WCHAR)] = {0};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices.Get(), &device, SPDRP_DEVICEDESC, &type, buffer, 8192, nullptr))
      continue;
    if (wcscmp(reinterpret_cast<const WCHAR*>(buffer), kDescriptions[kind]) != 0) continue;
    WCHAR id[201] = {0};
    if (!SetupDiGetDeviceInstanceIdW(devices.Get(), &device, id, 200, nullptr)) id[0] = 0;
    int port = PortNumberFromDeviceId(id);
    return port >= 1 && port <= kMaxPort ? port : -1;
  }
  return -1;
}

void CComPortDetector::CState::Run() {
  std::vector<int> ports = ListPorts();
  CComApartment com(COINIT_MULTITHREADED);
  int configured = GetConfiguredPort();
  for (bool looking = true; looking;) {
    for (int port : ports) {
      if (Stopped(0)) return;
      OutputDebugStringW(L"check com\n");
      if (!ProbePort(port)) continue;
      found[0] = port;
      if (port != configured) looking = false;
      break;
    }
    if (looking) {
      found[kUsbCable] = FindPortByDescription(kUsbCable);
      if (found[kUsbCable] != -1 && found[kUsbCable] != configured) {
        looking = false;
      } else {
        found[kAdapter] = FindPortByDescription(kAdapter);
        if (found[kAdapter] != -1 && found[kAdapter] != configured) looking = false;
      }
    }
    if (looking) {
      DWORD wait = WaitForSingleObject(stop.Get(), kLookInterval);
      if (wait == WAIT_OBJECT_0) return;
      if (wait != WAIT_TIMEOUT) break;
    }
  }
  for (int port : {found[kUsbCable], found[kAdapter], found[0]}) {
    if (port == -1 || port == configured) continue;
    SetConfiguredPort(port);
    break;
  }
  Stopped(INFINITE);  // Stop's own wait for the thread is bounded
}

DWORD WINAPI CComPortDetector::ThreadProc(LPVOID param) {
  std::unique_ptr<std::shared_ptr<CState>> state(static_cast<std::shared_ptr<CState>*>(param));
  ZCLGuarded(2, ZCL_SITE, [&] {
    ZCLSetThreadName(static_cast<DWORD>(-1), "check com");
    (*state)->Run();
  });
  SetEvent((*state)->done.Get());
  return 0;
}

CComPortDetector::CComPortDetector() = default;

CComPortDetector::~CComPortDetector() { Stop(); }

void CComPortDetector::Start() {
  if (m_running) return;
  std::shared_ptr<CState> state = std::make_shared<CState>();
  state->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  state->done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!state->stop || !state->done) return;
  std::unique_ptr<std::shared_ptr<CState>> param(new std::shared_ptr<CState>(state));
  m_thread.Reset(CreateThread(nullptr, 0, &CComPortDetector::ThreadProc, param.get(), 0, nullptr));
  if (!m_thread) return;
  param.release();
  m_state = state;
  m_running = true;
}

// The thread ends before its events close: it is joined, not just waited
// for through its done event.
int CComPortDetector::Stop() {
  if (!m_running) return 0;
  m_running = false;
  std::shared_ptr<CState> state = std::move(m_state);
  SetEvent(state->stop.Get());
  bool ended = WaitForSingleObject(m_thread.Get(), kStopWait) == WAIT_OBJECT_0;
  m_thread.Reset();
  if (!ended) {
    ZCLLogMessage(2, nullptr, "The cable port detector did not end in %lu ms; it is left to finish", kStopWait);
    return 0;
  }
  return 1;
}

#include <windows.h>
#include <setupapi.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include "CComPortDetector.h"
#include "ComApartment.h"
#include "PhoneWorld.h"
#include "PhoneWorldMedia.h"
#include "SimTestSupport.h"
#include "ZCLWait.h"

// The cable port detector against phone modems on pseudo-terminals (COM7
// and COM8, answering what the test writes into their reply files) and
// "Ports" devices the test creates; the connection manager's stand-in keeps
// the configured port in the default world. cable_detector.sh starts the
// modems and names their folder; without it these tests are skipped.

namespace {

using PhoneSim::CPhoneWorld;

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
const int kModems[] = {7, 8};

std::wstring ModemFolder() {
  WCHAR folder[MAX_PATH] = {0};
  DWORD length = GetEnvironmentVariableW(L"DIALIX_MODEM_DIR", folder, MAX_PATH);
  return length && length < MAX_PATH ? folder : L"";
}

// A "Ports" device with a description and the port its parameters name;
// removed at the end.
class CPortsDevice {
public:
  CPortsDevice(const wchar_t* description, const wchar_t* portName) {
    GUID ports;
    DWORD count = 0;
    if (!SetupDiClassGuidsFromNameW(L"Ports", &ports, 1, &count) || count == 0) return;
    m_set = SetupDiCreateDeviceInfoList(&ports, nullptr);
    if (m_set == INVALID_HANDLE_VALUE) return;
    if (!SetupDiCreateDeviceInfoW(m_set, L"PORTS", &ports, description, nullptr, DICD_GENERATE_ID, &m_device) ||
        !SetupDiRegisterDeviceInfo(m_set, &m_device, 0, nullptr, nullptr, nullptr))
      return;
    DWORD bytes = static_cast<DWORD>((wcslen(description) + 1) * sizeof(WCHAR));
    SetupDiSetDeviceRegistryPropertyW(m_set, &m_device, SPDRP_DEVICEDESC, reinterpret_cast<const BYTE*>(description), bytes);
    WCHAR id[201] = {0};
    if (!SetupDiGetDeviceInstanceIdW(m_set, &m_device, id, 200, nullptr)) return;
    m_parameters = L"SYSTEM\\CurrentControlSet\\Enum\\" + std::wstring(id) + L"\\Device Parameters";
    CRegistryKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_parameters.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS)
      return;
    m_made = RegSetValueExW(key.Get(), L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                            static_cast<DWORD>((wcslen(portName) + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
  }
  ~CPortsDevice() {
    if (!m_parameters.empty()) RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_parameters.c_str());
    if (m_set != INVALID_HANDLE_VALUE) {
      SetupDiRemoveDevice(m_set, &m_device);
      SetupDiDestroyDeviceInfoList(m_set);
    }
  }
  bool IsMade() const { return m_made; }

private:
  HDEVINFO m_set = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA m_device = {sizeof(SP_DEVINFO_DATA)};
  std::wstring m_parameters;
  bool m_made = false;
};

class CableDetectorTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_folder = ModemFolder();
    if (m_folder.empty()) GTEST_SKIP() << "no modems (run through cable_detector.sh)";
    CRegistryKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    for (int port : {7, 8, 300}) SetSerialComm(key.Get(), port);
    Configure(0);
  }
  void TearDown() override {
    if (m_folder.empty()) return;
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_WRITE, key.Put()) == ERROR_SUCCESS)
      for (int port : {7, 8, 300}) RegDeleteValueW(key.Get(), (L"\\Device\\SerialTest" + std::to_wstring(port)).c_str());
    for (int port : kModems) {
      DeleteFileW(ReplyPath(port).c_str());
      DeleteFileW((ReplyPath(port) + L".log").c_str());
    }
    Configure(0);
  }

  static void SetSerialComm(HKEY key, int port) {
    std::wstring data = L"COM" + std::to_wstring(port);
    RegSetValueExW(key, (L"\\Device\\SerialTest" + std::to_wstring(port)).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
  }
  std::wstring ReplyPath(int port) { return m_folder + L"\\reply" + std::to_wstring(port); }
  void Reply(int port, const std::string& text) {
    std::ofstream out(ReplyPath(port).c_str(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  // How many identification requests the modem has answered or ignored.
  int Requests(int port) {
    std::ifstream in((ReplyPath(port) + L".log").c_str());
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }
  void Configure(BYTE port) {
    CPhoneWorld world;
    PhoneSim::WriteCablePort(world, port);
  }
  // The configured port as phonectl shows it.
  std::string ShownPort() {
    std::string out;
    PhoneSim::Testing::RunPhonectl(L"media port", &out);
    return out.substr(0, out.find_first_of("\r\n"));
  }

  CComApartment m_com{COINIT_MULTITHREADED};
  std::wstring m_folder;
};

TEST_F(CableDetectorTest, ProbeFindsTheMakerWithinTheFirstTwentyBytesOnly) {
  Reply(7, "\r\nOrvex KX-19\r\nOK\r\n");
  EXPECT_TRUE(CComPortDetector::ProbePort(7));  // raising DTR fails on a pseudo-terminal
  Reply(7, std::string(15, ' ') + "Orvex");     // ends at byte 20: still read
  EXPECT_TRUE(CComPortDetector::ProbePort(7));
  Reply(7, std::string(20, ' ') + "Orvex\r\n");
  EXPECT_FALSE(CComPortDetector::ProbePort(7));
  Reply(7, "\r\nOK\r\n");
  EXPECT_FALSE(CComPortDetector::ProbePort(7));
  EXPECT_FALSE(CComPortDetector::ProbePort(9));  // no such port
}

TEST_F(CableDetectorTest, PortListSkipsPortsTheSettingCannotHold) {
  std::vector<int> ports = CComPortDetector::ListPorts();
  EXPECT_NE(std::find(ports.begin(), ports.end(), 7), ports.end());
  EXPECT_NE(std::find(ports.begin(), ports.end(), 8), ports.end());
  EXPECT_EQ(std::find(ports.begin(), ports.end(), 300), ports.end());
  EXPECT_EQ(CComPortDetector::PortNumberFromDeviceId(L"NO\\SUCH\\DEVICE"), -1);
}

TEST_F(CableDetectorTest, APhoneOnTheConfiguredPortChangesNothingAndTheSearchGoesOn) {
  Configure(7);
  Reply(7, "Orvex\r\n");
  CComPortDetector detector;
  detector.Start();
  ASSERT_TRUE(ZCLWaitUntil([&] { return Requests(7) >= 2; }, 30000));
  EXPECT_EQ(ShownPort(), "7");
  EXPECT_EQ(detector.Stop(), 1);
  EXPECT_EQ(detector.Stop(), 0);
}

TEST_F(CableDetectorTest, TheModemOnAnotherPortIsWrittenAndTheDetectorWaitsForStop) {
  Configure(7);
  Reply(8, "\r\nOrvex\r\n");
  CComPortDetector detector;
  ULONGLONG start = GetTickCount64();
  detector.Start();
  ASSERT_TRUE(ZCLWaitUntil([&] { return ShownPort() == "8"; }, 30000));
  std::printf("port written %llu ms after Start\n", GetTickCount64() - start);
  EXPECT_TRUE(detector.IsRunning());
  EXPECT_EQ(detector.Stop(), 1);
}

TEST_F(CableDetectorTest, WithBothCableKindsOnOtherPortsTheUsbCablesPortIsWritten) {
  CPortsDevice adapter(L"Port 1 on Orvex Adapter", L"COM11");
  CPortsDevice usb(L"Orvex KX-19 USB", L"COM12");
  ASSERT_TRUE(adapter.IsMade() && usb.IsMade());
  EXPECT_EQ(CComPortDetector::FindPortByDescription(CComPortDetector::kAdapter), 11);
  EXPECT_EQ(CComPortDetector::FindPortByDescription(CComPortDetector::kUsbCable), 12);
  Configure(7);
  CComPortDetector detector;
  detector.Start();
  ASSERT_TRUE(ZCLWaitUntil([&] { return ShownPort() == "12"; }, 30000));
  EXPECT_EQ(detector.Stop(), 1);
}

TEST_F(CableDetectorTest, StopDuringAProbeReturnsOnceThePortIsLetGo) {
  CComPortDetector detector;
  EXPECT_EQ(detector.Stop(), 0);
  detector.Start();  // no modem answers: each probe waits out its read
  ASSERT_TRUE(ZCLWaitUntil([&] { return Requests(7) + Requests(8) >= 1; }, 30000));
  EXPECT_EQ(detector.Stop(), 1);
  Reply(7, "Orvex\r\n");
  Reply(8, "Orvex\r\n");
  // Opened exclusively: neither port is still held by the detector's thread.
  EXPECT_TRUE(CComPortDetector::ProbePort(7));
  EXPECT_TRUE(CComPortDetector::ProbePort(8));
  EXPECT_EQ(ShownPort(), "0");
}

}  // namespace

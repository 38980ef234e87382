#include <windows.h>
#include "SystemInfo.h"
#include <sstream>
#include "CLaunchSettings.h"
#include "ZCLText.h"

namespace {

const wchar_t kTrelk[] = L"SOFTWARE\\Trelk";

const char* Edition(DWORD productType) {
  switch (productType) {
    case 1: return "Ultimate Edition";
    case 2: return "Home Basic Edition";
    case 3: return "Home Premium Edition";
    case 4:
    case 10: return "Enterprise Edition";
    case 6: return "Business Edition";
    case 7: return "Standard Edition";
    case 8: return "Datacenter Edition";
    case 9: return "Small Business Server";
    case 11: return "Starter Edition";
    case 12: return "Datacenter Edition (core installation)";
    case 13: return "Standard Edition (core installation)";
    case 14: return "Enterprise Edition (core installation)";
    case 15: return "Enterprise Edition for Itanium-based Systems";
    case 17: return "Web Server Edition";
    case 18: return "Cluster Server Edition";
    case 25: return "Small Business Server Premium Edition";
    default: return "";
  }
}

void AppendWindows2003(const OSFacts& facts, std::ostringstream& out) {
  const OSVERSIONINFOEXW& v = facts.version;
  if (facts.serverR2)
    out << "Windows Server 2003 R2, ";
  else if (v.wSuiteMask == VER_SUITE_STORAGE_SERVER)
    out << "Windows Storage Server 2003";
  else if (v.wProductType == VER_NT_WORKSTATION && facts.architecture == PROCESSOR_ARCHITECTURE_AMD64)
    out << "Windows XP Professional x64 Edition";
  else
    out << "Windows Server 2003, ";
  if (v.wProductType == VER_NT_WORKSTATION) return;
  bool datacenter = (v.wSuiteMask & VER_SUITE_DATACENTER) != 0;
  bool enterprise = (v.wSuiteMask & VER_SUITE_ENTERPRISE) != 0;
  if (facts.architecture == PROCESSOR_ARCHITECTURE_IA64) {
    if (datacenter)
      out << "Datacenter Edition for Itanium-based Systems";
    else if (enterprise)
      out << "Enterprise Edition for Itanium-based Systems";
  } else if (facts.architecture == PROCESSOR_ARCHITECTURE_AMD64) {
    out << (datacenter ? "Datacenter x64 Edition" : enterprise ? "Enterprise x64 Edition" : "Standard x64 Edition");
  } else if (v.wSuiteMask & VER_SUITE_COMPUTE_SERVER) {
    out << "Compute Cluster Edition";
  } else {
    out << (datacenter   ? "Datacenter Edition"
            : enterprise ? "Enterprise Edition"
            : (v.wSuiteMask & VER_SUITE_BLADE) ? "Web Edition"
                                                : "Standard Edition");
  }
}

}  // namespace

bool ReadTrelkVersion(std::wstring* text) { return ReadMachineString(kTrelk, L"TrelkVersion", text); }
bool ReadTrelkPlatformPath(std::wstring* text) { return ReadMachineString(kTrelk, L"PlatformPath", text); }
bool ReadCableDriverVersion(std::wstring* text) {
  return ReadMachineString(L"SOFTWARE\\Trelk\\Configurations\\Orvex", L"CableDriverVersion", text);
}
bool ReadProductVersion(std::wstring* text) {
  return ReadMachineString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvex Dialix",
                           L"DisplayVersion", text);
}

bool GetOSDescription(const OSFacts& facts, std::wstring* text) {
  const OSVERSIONINFOEXW& v = facts.version;
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT || v.dwMajorVersion <= 4) return false;
  std::ostringstream out;
  out << "Microsoft ";
  if (v.dwMajorVersion == 6 && v.dwMinorVersion == 0) {
    out << (v.wProductType == VER_NT_WORKSTATION ? "Windows Vista " : "Windows Server 2008 ");
    out << Edition(facts.productType);
    if (facts.architecture == PROCESSOR_ARCHITECTURE_AMD64)
      out << ", 64-bit";
    else if (facts.architecture == PROCESSOR_ARCHITECTURE_INTEL)
      out << ", 32-bit";
  } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) {
    AppendWindows2003(facts, out);
  } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) {
    out << "Windows XP " << ((v.wSuiteMask & VER_SUITE_PERSONAL) ? "Home Edition" : "Professional");
  } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) {
    out << "Windows 2000 ";
    if (v.wProductType == VER_NT_WORKSTATION)
      out << "Professional";
    else
      out << ((v.wSuiteMask & VER_SUITE_DATACENTER)   ? "Datacenter Server"
              : (v.wSuiteMask & VER_SUITE_ENTERPRISE) ? "Advanced Server"
                                                      : "Server");
  }
  out << " " << ZCLWideToAnsi(v.szCSDVersion) << " (Build " << (v.dwBuildNumber & 0xFFFF) << ")";
  *text = ZCLAnsiToWide(out.str().c_str());
  return true;
}

bool GetOSDescription(std::wstring* text) {
  OSFacts facts = {};
  facts.version.dwOSVersionInfoSize = sizeof(facts.version);
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&facts.version))) return false;
  SYSTEM_INFO system = {};
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  typedef void(WINAPI * NativeInfo)(SYSTEM_INFO*);
  typedef BOOL(WINAPI * ProductInfo)(DWORD, DWORD, DWORD, DWORD, DWORD*);
  auto native = reinterpret_cast<NativeInfo>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "GetNativeSystemInfo")));
  if (native)
    native(&system);
  else
    ::GetSystemInfo(&system);
  facts.architecture = system.wProcessorArchitecture;
  auto product = reinterpret_cast<ProductInfo>(reinterpret_cast<void*>(::GetProcAddress(kernel, "GetProductInfo")));
  if (product && facts.version.dwMajorVersion == 6 && facts.version.dwMinorVersion == 0)
    product(6, 0, 0, 0, &facts.productType);
  facts.serverR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
  return GetOSDescription(facts, text);
}

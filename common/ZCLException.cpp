#include <windows.h>
#include "ZCLException.h"
#include "ZCLLogger.h"

bool ZCLComException::IsDisconnected() const {
  return m_hr == static_cast<HRESULT>(0x800706BA) || m_hr == static_cast<HRESULT>(0x800706BE) ||
         m_hr == static_cast<HRESULT>(0x800706BF);
}

void ZCLThrowOnFalse(bool ok, const std::string& message) {
  if (ok) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLException\n%s\n]", message.c_str());
  throw ZCLException(message);
}

void ZCLThrowOnError(int code, const std::string& message) {
  if (code == 0) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLException\n%d 0x%08X\n%s\n]", code, static_cast<unsigned>(code),
                                  message.c_str());
  throw ZCLException(code, message);
}

void ZCLComThrowOnFail(HRESULT hr, const std::string& message) {
  if (SUCCEEDED(hr)) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLComException\n0x%08X\n%s\n]", static_cast<unsigned>(hr),
                                  message.c_str());
  throw ZCLComException(hr, message);
}

void ZCLComThrowOnFalse(bool ok, HRESULT hr, const std::string& message) {
  if (ok) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLComException\n0x%08X\n%s\n]", static_cast<unsigned>(hr),
                                  message.c_str());
  throw ZCLComException(hr, message);
}

void ZCLComCoCreateThrowOnFail(HRESULT hr, REFCLSID clsid, const std::string& message) {
  if (SUCCEEDED(hr)) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLComCoCreateException\n0x%08X\n%s\n]", static_cast<unsigned>(hr),
                                  message.c_str());
  throw ZCLComCoCreateException(hr, message, clsid);
}

void ZCLComQIThrowOnFail(HRESULT hr, REFIID iid, const std::string& message) {
  if (SUCCEEDED(hr)) return;
  ZCLLogMessage(5, nullptr).Print("[ZCLComQIException\n0x%08X\n%s\n]", static_cast<unsigned>(hr),
                                  message.c_str());
  throw ZCLComQIException(hr, message, iid);
}

std::string ZCLSourcePosition(const char* file, int line) {
  std::string path = file ? file : "";
  for (char& c : path)
    if (c == '/') c = '\\';
  if (path.compare(0, 2, ".\\") != 0) path = ".\\" + path;
  return path + "(" + std::to_string(line) + ")";
}

void ZCLLogCaughtAs(int level, const std::string& caughtType, const ZCLComException& e) {
  ZCLLogMessage(level, nullptr, "[%s\n0x%08X\n%s]", caughtType.c_str(), static_cast<unsigned>(e.GetHResult()),
                e.GetMessageText().c_str());
}

void ZCLLogCaughtAs(int level, const std::string& caughtType, const ZCLException& e) {
  ZCLLogMessage(level, nullptr, "[%s\n%s]", caughtType.c_str(), e.GetMessageText().c_str());
}

void ZCLLogUnknownException(int level, const std::string& position) {
  ZCLLogMessage(level, nullptr, "[Unknown Exception!\n%s]", position.c_str());
}

#pragma once
#include <windows.h>
#include <string>
#include <type_traits>
#include "ZCLTypeName.h"


// The exception family of the service: thrown by value through the throw
// functions below, which log the failure at level 5 first.
class ZCLException {
public:
  explicit ZCLException(const std::string& message) : m_message(message), m_code(0) {}
  ZCLException(int code, const std::string& message) : m_message(message), m_code(code) {}
  virtual ~ZCLException() {}

  std::string GetMessageText() const { return m_message; }
  int GetCode() const { return m_code; }

private:
  std::string m_message;
  int m_code;
};

class ZCLComException : public ZCLException {
public:
  ZCLComException(HRESULT hr, const std::string& message) : ZCLException(message), m_hr(hr) {}
  ~ZCLComException() override {}

  HRESULT GetHResult() const { return m_hr; }
  // The other process is gone: the RPC server is unavailable, the remote call
  // failed, or it failed and did not execute.
  bool IsDisconnected() const;

private:
  HRESULT m_hr;
};

// Holds a copy of the class id: a reference to a caller's GUID could dangle.
class ZCLComCoCreateException : public ZCLComException {
public:
  ZCLComCoCreateException(HRESULT hr, const std::string& message, REFCLSID clsid)
      : ZCLComException(hr, message), m_clsid(clsid) {}
  ~ZCLComCoCreateException() override {}
  const CLSID& GetClsid() const { return m_clsid; }

private:
  CLSID m_clsid;
};

class ZCLComQIException : public ZCLComException {
public:
  ZCLComQIException(HRESULT hr, const std::string& message, REFIID iid)
      : ZCLComException(hr, message), m_iid(iid) {}
  ~ZCLComQIException() override {}
  const IID& GetIid() const { return m_iid; }

private:
  IID m_iid;
};

void ZCLThrowOnFalse(bool ok, const std::string& message);
void ZCLThrowOnError(int code, const std::string& message);
void ZCLComThrowOnFail(HRESULT hr, const std::string& message);
void ZCLComThrowOnFalse(bool ok, HRESULT hr, const std::string& message);
void ZCLComCoCreateThrowOnFail(HRESULT hr, REFCLSID clsid, const std::string& message);
void ZCLComQIThrowOnFail(HRESULT hr, REFIID iid, const std::string& message);

// The source position of a throw or catch site: ".\dir\file.cpp(95)".
std::string ZCLSourcePosition(const char* file, int line);
#define ZCL_POS ZCLSourcePosition(__FILE__, __LINE__)

// The catch-site log forms, at the level the catching site gives. The line
// names the class the handler catches (its static type), not the thrown one:
//   catch (const ZCLComException& e) { ZCLLogCaught(3, e); }
//     -> "[class ZCLComException\n0x80004005\n<message>]"
//   catch (const ZCLException& e) { ZCLLogCaught(3, e); }
//     -> "[class ZCLException\n<message>]"
//   catch (...) { ZCLLogUnknownException(3, ZCL_POS); }
//     -> "[Unknown Exception!\n.\dir\file.cpp(95)]"
void ZCLLogCaughtAs(int level, const std::string& caughtType, const ZCLComException& e);
void ZCLLogCaughtAs(int level, const std::string& caughtType, const ZCLException& e);
template <class Caught>
void ZCLLogCaught(int level, const Caught& e) {
  static_assert(std::is_base_of<ZCLException, Caught>::value, "not of the ZCLException family");
  ZCLLogCaughtAs(level, ZCLTypeName<Caught>(), e);
}
void ZCLLogUnknownException(int level, const std::string& position);

#pragma once
#include <windows.h>
#include <string.h>
#include <functional>
#include <memory>
#include <string>
#include "CFamilyHandle.h"
#include "CTrelkException.h"
#include "TrelkCallTrace.h"

namespace Trelk {

// What tells one library family apart: its binding, its lifetime and close
// calls with the texts of their log lines, and the library class that
// traces its lifetime.
struct CLibraryFamily {
  const char* name;
  CLibraryBinding& (*binding)();
  const char* initializeCall;
  DWORD (*initialize)();
  const char* terminateCall;
  DWORD (*terminate)();
  const char* closeCall;
  DWORD (*close)(DWORD handle);
};

// A phone's handle of one family. An owning connection closes its handle when
// destroyed; a copy shares the handle without owning it, and sees it opened
// again after a reload of the library. The owner's thread opens and closes.
// Each connection class traces under its own name ("Trelk::CSMSConnection"),
// so the log tells a message connection from the phone's other handles.
template <const CLibraryFamily& Library>
class CFamilyConnection {
public:
  // Opens one phone's handle: (serial number, media, out handle).
  typedef std::function<DWORD(const wchar_t* serial, DWORD* media, DWORD* handle)> PhoneOpen;

  explicit CFamilyConnection(const char* name, DWORD handle = 0, bool owner = true)
      : m_name(name), m_handle(NewHandle()), m_owner(owner) {
    ZCLScopeTracer trace(Traced("::", ClassName()).c_str());
    if (handle) m_handle->Adopt(handle);
  }
  CFamilyConnection(const CFamilyConnection& other) : m_name(other.m_name), m_handle(other.m_handle), m_owner(false) {
    ZCLScopeTracer trace(Traced("::", ClassName()).c_str());
  }
  CFamilyConnection& operator=(const CFamilyConnection& other) {
    if (this == &other) return *this;
    if (m_owner) Close();
    m_handle = other.m_handle;
    m_owner = false;
    return *this;
  }
  virtual ~CFamilyConnection() {
    ZCLScopeTracer trace(Traced("::~", ClassName()).c_str());
    if (m_owner) Close();
  }

  // The handle as held; 0 when none.
  DWORD GetHandle() const { return m_handle->Peek(); }
  bool IsOwner() const { return m_owner; }
  CFamilyHandle& Family() const { return *m_handle; }
  void Close() {
    ZCLScopeTracer trace(Traced("::Close").c_str());
    m_handle->Close();
  }

  // Opens the phone's handle, which this connection then owns: a handle it
  // owned before is closed first; a copy gets one of its own.
  void Open(const wchar_t* serialNumber, PhoneOpen open) {
    if (m_owner)
      Close();
    else
      m_handle = NewHandle();
    m_handle->Open(PhoneOpener(serialNumber, std::move(open)));
    m_owner = true;
  }

protected:
  // The trace of one of this connection's members: its class's name, then the member.
  std::string Traced(const char* member, const char* more = "") const {
    return std::string(m_name) + member + more;
  }

private:
  // The name's last part: "CSMSConnection" of "Trelk::CSMSConnection".
  const char* ClassName() const {
    const char* last = strrchr(m_name, ':');
    return last ? last + 1 : m_name;
  }

  static std::shared_ptr<CFamilyHandle> NewHandle() {
    return CFamilyHandle::Create(Library.binding(), [](DWORD handle) {
      return LoggedCall(Library.closeCall, [&] { return Library.close(handle); });
    });
  }

  const char* m_name;
  std::shared_ptr<CFamilyHandle> m_handle;
  bool m_owner;
};

// One family's initialisation, held by this object. Used by one thread at a time.
template <const CLibraryFamily& Library>
class CFamilyLibrary {
public:
  CFamilyLibrary() : m_initialized(false) {}
  virtual ~CFamilyLibrary() { Terminate(); }

  // Nothing when already initialised: one Terminate ends what this object began.
  void Initialize() {
    ZCLScopeTracer trace(Traced("::Initialize").c_str());
    if (m_initialized) return;
    TrelkThrowOnFail(LoggedCall(Library.initializeCall, [] { return Library.initialize(); }));
    m_initialized = true;
  }
  // Ends this object's initialisation; nothing when it has none, so that the
  // destructor after an explicit Terminate does not end another user's.
  void Terminate() {
    ZCLScopeTracer trace(Traced("::Terminate").c_str());
    if (!m_initialized) return;
    LoggedCall(Library.terminateCall, [] { return Library.terminate(); });
    m_initialized = false;
  }
  bool IsInitialized() const { return m_initialized; }

protected:
  static std::string Traced(const char* member) { return std::string(Library.name) + member; }

private:
  CFamilyLibrary(const CFamilyLibrary&) = delete;
  CFamilyLibrary& operator=(const CFamilyLibrary&) = delete;
  bool m_initialized;
};

}  // namespace Trelk

#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "TrelkBinding.h"

namespace Trelk {

// A handle of one library family that outlives the family's reloads: it
// remembers how it was opened and which sinks are registered on it, and after
// the binding loaded the library again it opens itself again and registers
// the sinks anew (at once on the watcher thread, or at the next Handle). A
// handle of a library that is gone is never passed to the new one.
//
// Shared by an owning connection and its copies. The owner's thread opens,
// closes and registers; the watcher thread reopens; the library's notification
// threads read the handle. m_lock guards the fields only and is never held
// across a library call: a reopen that crossed a change by the owner undoes
// itself.
class CFamilyHandle : public IReloadListener, public std::enable_shared_from_this<CFamilyHandle> {
public:
  typedef std::function<DWORD(DWORD* handle)> Opener;
  typedef std::function<DWORD(DWORD handle)> Closer;
  // Registers (TRELK_NOTIFY_REGISTER) or unregisters a sink on a handle.
  typedef std::function<DWORD(DWORD handle, DWORD operation)> Registrar;

  static std::shared_ptr<CFamilyHandle> Create(CLibraryBinding& binding, Closer closer);
  ~CFamilyHandle();

  // Closes a held handle, then opens through the opener; a failure throws as
  // TrelkThrowOnFail does and leaves no handle.
  void Open(Opener opener);
  // Holds a handle opened elsewhere; it cannot be opened again after a reload.
  void Adopt(DWORD handle);
  // Closes the handle (result ignored) and forgets its sinks. A handle of a
  // library that is gone is only forgotten.
  void Close();
  // The handle, opened again first when the library was reloaded since; 0
  // when none. Throws CTrelkException when it cannot be opened again.
  DWORD Handle();
  // The same for calls whose result is ignored: 0 when it cannot be opened again.
  DWORD HandleOrNone();
  // The handle as held, without a reopen.
  DWORD Peek();
  // Registers the sink on the handle (a failure throws and records nothing),
  // and again on every reopen until UnregisterSink.
  void RegisterSink(const void* sink, Registrar registrar);
  // Unregisters a recorded sink (result ignored) and forgets it; a reopen in
  // progress is waited for, so the sink is not called once this returns.
  void UnregisterSink(const void* sink);
  bool HasSink(const void* sink);

  void OnLibraryReloaded() override;

  // How long UnregisterSink waits for a reopen on another thread.
  static const DWORD ReopenWaitMs = 10000;

private:
  CFamilyHandle(CLibraryBinding& binding, Closer closer);
  CFamilyHandle(const CFamilyHandle&) = delete;
  CFamilyHandle& operator=(const CFamilyHandle&) = delete;

  struct Sink {
    const void* sink;
    Registrar registrar;
  };
  bool IsCurrent();  // the caller holds m_lock
  DWORD Reopen();

  CLibraryBinding& m_binding;
  Closer m_closer;
  CRITICAL_SECTION m_lock;
  CONDITION_VARIABLE m_reopened;
  DWORD m_handle = 0;          // guarded by m_lock
  DWORD m_generation = 0;      // guarded by m_lock: the binding's when the handle was opened
  Opener m_opener;             // guarded by m_lock: null for an adopted handle
  std::vector<Sink> m_sinks;   // guarded by m_lock
  DWORD m_changes = 0;         // guarded by m_lock: counts the owner's changes
  std::vector<DWORD> m_reopening;  // guarded by m_lock: threads reopening now
};

// An opener for one phone's handle: the serial number is kept for opening it
// again after a reload, and the call gets the media to ask for.
CFamilyHandle::Opener PhoneOpener(const wchar_t* serialNumber,
                                  std::function<DWORD(const wchar_t* serial, DWORD* media, DWORD* handle)> open);

}  // namespace Trelk

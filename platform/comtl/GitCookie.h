#pragma once
#include <windows.h>
#include <objbase.h>
#include <atomic>
#include "ComPtr.h"

// The process's global interface table: the module's, or the platform's own
// when there is no module (tests, threads of a library). Throws
// ZCLComException when there is none.
CComPtr<IGlobalInterfaceTable> ZCLGlobalInterfaceTable();

// One interface registered in the global interface table, revoked when its
// owner goes or hands it back. Registration and revocation belong to the
// owner; any thread may take the interface out meanwhile, and one that does so
// while it is being revoked gets a failure, never a stale object.
class CGitCookie {
public:
  CGitCookie() = default;
  // Registers the object under the interface id; throws ZCLComException,
  // whose text names the object as `what`.
  CGitCookie(IUnknown* object, REFIID iid, const char* what);
  CGitCookie(CGitCookie&& other) noexcept;
  CGitCookie& operator=(CGitCookie&& other) noexcept;
  ~CGitCookie();

  explicit operator bool() const { return m_cookie.load() != 0; }
  DWORD Get() const { return m_cookie.load(); }
  // The registered interface for the calling thread's apartment; the
  // table's result, E_UNEXPECTED when nothing is registered.
  template <class Q>
  HRESULT CopyTo(Q** out) const {
    return CopyTo(reinterpret_cast<void**>(out));
  }
  // Revokes now (a second call does nothing); the table's result.
  HRESULT Revoke();

private:
  CGitCookie(const CGitCookie&) = delete;
  CGitCookie& operator=(const CGitCookie&) = delete;
  HRESULT CopyTo(void** out) const;

  std::atomic<DWORD> m_cookie{0};
  IID m_iid = IID_NULL;
};

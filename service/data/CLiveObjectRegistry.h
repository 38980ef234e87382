#pragma once
#include <windows.h>
#include <map>
#include <utility>
#include "CLockable.h"
#include "ComTL.h"

// The live objects of one kind of this process, by COM identity, so that the
// service recognises its own objects among the interface pointers clients
// hand back (a client's own object, a proxy from another process) without a
// cast on a pointer that came from outside.
//
// Process-wide, one registry per kind; every member may be called from any
// thread. The lock guards the map only and is never held across a call into
// an object. Registered objects are CComObject<...>: their module lock is for
// life, so a reference taken here on the count alone locks nothing more.
template <class T>
class CLiveObjectRegistry {
public:
  // T kept alive through one reference on its COM identity; empty when the
  // pointer asked about is not one of ours.
  class CLiveRef {
  public:
    CLiveRef() = default;
    CLiveRef(CComPtr<IUnknown> identity, T* object)
        : m_identity(std::move(identity)), m_object(object) {}
    T* operator->() const { return m_object; }
    T* Get() const { return m_object; }
    IUnknown* Identity() const { return m_identity; }
    explicit operator bool() const { return m_object != nullptr; }
    // Hands the reference over to whoever disposes of the object by Release.
    IUnknown* DetachIdentity() {
      m_object = nullptr;
      return m_identity.Detach();
    }

  private:
    CComPtr<IUnknown> m_identity;
    T* m_object = nullptr;
  };

  // An object's entry from its final construction to its tear-down; the
  // owner keeps it as a member. Removing twice is harmless.
  class CRegistration {
  public:
    CRegistration() = default;
    ~CRegistration() { Remove(); }
    // Self is the object's own class: a T and a COM object root, whose
    // reference count outlives the entry (members go before bases).
    template <class Self>
    void Add(IUnknown* identity, Self* self) {
      Remove();
      Instance().Insert(identity, Entry{static_cast<T*>(self), &self->m_dwRef});
      m_identity = identity;
    }
    void Remove() {
      if (!m_identity) return;
      Instance().Erase(m_identity);
      m_identity = nullptr;
    }

  private:
    CRegistration(const CRegistration&) = delete;
    CRegistration& operator=(const CRegistration&) = delete;
    IUnknown* m_identity = nullptr;  // not counted: the object's own
  };

  // The object behind any of its interface pointers, or nothing. The caller
  // holds a reference on the pointer it asks about, so a registered identity
  // it names cannot be on its way out: the reference added here is safe.
  static CLiveRef Find(IUnknown* pointer) {
    if (!pointer) return CLiveRef();
    CComPtr<IUnknown> identity;
    if (FAILED(pointer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) ||
        !identity)
      return CLiveRef();
    T* object = Instance().Lookup(identity);
    if (!object) return CLiveRef();
    return CLiveRef(std::move(identity), object);
  }

  // The object registered at that address, if any, with a reference added
  // on its identity under the lock; for an address a caller only claims.
  // An object whose count has reached zero is being destroyed although it
  // is still listed (it leaves in its tear-down, which waits for the lock):
  // it is not found, since a reference taken then would outlive it.
  static CLiveRef FindObject(const T* object) {
    if (!object) return CLiveRef();
    CLiveObjectRegistry& registry = Instance();
    CLockGuard guard(&registry.m_lock);
    for (const auto& entry : registry.m_objects) {
      if (entry.second.object != object) continue;
      if (!AddRefWhileAlive(entry.second.count)) return CLiveRef();
      CComPtr<IUnknown> identity;
      identity.Attach(entry.first);
      return CLiveRef(std::move(identity), entry.second.object);
    }
    return CLiveRef();
  }

  static size_t Count() {
    CLiveObjectRegistry& registry = Instance();
    CLockGuard guard(&registry.m_lock);
    return registry.m_objects.size();
  }

private:
  struct Entry {
    T* object;
    volatile LONG* count;  // the object's own reference count
  };

  // One more reference only while the count is above zero: the tear-down
  // sets it to zero or below before the object leaves the map.
  static bool AddRefWhileAlive(volatile LONG* count) {
    LONG seen = *count;
    while (seen > 0) {
      const LONG before = ::InterlockedCompareExchange(count, seen + 1, seen);
      if (before == seen) return true;
      seen = before;
    }
    return false;
  }

  // Never destroyed: objects may unregister during the process's own exit,
  // after static destruction has begun.
  static CLiveObjectRegistry& Instance() {
    static CLiveObjectRegistry* registry = new CLiveObjectRegistry;
    return *registry;
  }

  void Insert(IUnknown* identity, const Entry& entry) {
    CLockGuard guard(&m_lock);
    m_objects[identity] = entry;
  }
  void Erase(IUnknown* identity) {
    CLockGuard guard(&m_lock);
    m_objects.erase(identity);
  }
  T* Lookup(IUnknown* identity) {
    CLockGuard guard(&m_lock);
    auto it = m_objects.find(identity);
    return it == m_objects.end() ? nullptr : it->second.object;
  }

  CLockable m_lock;
  std::map<IUnknown*, Entry> m_objects;
};

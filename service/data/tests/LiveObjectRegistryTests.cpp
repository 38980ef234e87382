#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>
#include "CLiveObjectRegistry.h"
#include "TestModule.h"
#include "ZCLHandle.h"

namespace {

class ObjectTest : public ::testing::Test {
protected:
  void SetUp() override { CTestObject::Reset(); }
  CTestModule m_module;
};

// An object of a kind that is in its registry while it lives.
class CRegisteredObject : public CComObjectRootEx<CComMultiThreadModel>,
                          public IPersist,
                          public ISupportErrorInfo {
public:
  BEGIN_COM_MAP(CRegisteredObject)
  COM_INTERFACE_ENTRY(IPersist)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()
  HRESULT FinalConstruct() {
    m_live.Add(GetUnknown(), this);
    return S_OK;
  }
  // With a gate set, the tear-down stops before the object leaves its
  // registry, until the test lets it go on.
  void FinalRelease() {
    if (HANDLE gate = s_gate.exchange(nullptr)) {
      ::SetEvent(gate);
      ::WaitForSingleObject(s_goOn, 10000);
    }
    m_live.Remove();
    ++s_destroyed;
  }
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID) override { return S_FALSE; }

  CLiveObjectRegistry<CRegisteredObject>::CRegistration m_live;
  static std::atomic<int> s_destroyed;
  static std::atomic<HANDLE> s_gate;
  static HANDLE s_goOn;
};
std::atomic<int> CRegisteredObject::s_destroyed{0};
std::atomic<HANDLE> CRegisteredObject::s_gate{nullptr};
HANDLE CRegisteredObject::s_goOn = nullptr;
typedef CLiveObjectRegistry<CRegisteredObject> CRegisteredObjects;

CComPtr<IPersist> NewRegistered(CRegisteredObject** raw = nullptr) {
  CComObject<CRegisteredObject>* p = nullptr;
  EXPECT_EQ(S_OK, CComObject<CRegisteredObject>::CreateInstance(&p));
  if (raw) *raw = p;
  return CComPtr<IPersist>(p);
}

TEST_F(ObjectTest, ALiveObjectIsFoundThroughAnyInterfaceAndKeptAliveByTheFind) {
  const size_t before = CRegisteredObjects::Count();
  CRegisteredObject* raw = nullptr;
  CComPtr<IPersist> object = NewRegistered(&raw);
  CComQIPtr<ISupportErrorInfo> other(object.p);
  EXPECT_EQ(raw, CRegisteredObjects::Find(object).Get());
  CRegisteredObjects::CLiveRef found = CRegisteredObjects::Find(other);
  ASSERT_EQ(raw, found.Get());
  const int destroyed = CRegisteredObject::s_destroyed;
  other.Release();
  object.Release();
  EXPECT_EQ(destroyed, CRegisteredObject::s_destroyed);  // the find's reference holds it
  EXPECT_EQ(before + 1, CRegisteredObjects::Count());
  found = CRegisteredObjects::CLiveRef();
  EXPECT_EQ(destroyed + 1, CRegisteredObject::s_destroyed);
  EXPECT_EQ(before, CRegisteredObjects::Count());
}

TEST_F(ObjectTest, AnObjectOfAnotherKindOrNoObjectIsNotFound) {
  CComPtr<IPersist> foreign;
  ASSERT_EQ(S_OK, CTestObject::CreateInstance(&foreign.p));
  EXPECT_FALSE(CRegisteredObjects::Find(foreign));
  EXPECT_FALSE(CRegisteredObjects::Find(nullptr));
  const ULONG held = (foreign.p->AddRef(), foreign.p->Release());
  EXPECT_EQ(1u, held);  // the lookup kept nothing of it
}

TEST_F(ObjectTest, ObjectsComeAndGoOnManyThreadsWhileOthersAreLookedUp) {
  const size_t before = CRegisteredObjects::Count();
  CComPtr<IPersist> steady = NewRegistered();
  std::atomic<bool> stop{false};
  std::atomic<int> misses{0};
  std::thread finder([&] {
    while (!stop)
      if (!CRegisteredObjects::Find(steady)) ++misses;
  });
  std::vector<std::thread> makers;
  for (int t = 0; t < 4; ++t)
    makers.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        CComPtr<IPersist> object = NewRegistered();
        CRegisteredObjects::CLiveRef found = CRegisteredObjects::Find(object);
        EXPECT_TRUE(found);
      }
    });
  for (std::thread& maker : makers) maker.join();
  stop = true;
  finder.join();
  EXPECT_EQ(0, misses);
  steady.Release();
  EXPECT_EQ(before, CRegisteredObjects::Count());
}

// A reference handed out for an object already being destroyed would outlive
// it: its release would run on freed memory.
TEST_F(ObjectTest, AnObjectOnItsWayOutIsNotFoundByItsAddress) {
  CHandle inTearDown(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CHandle goOn(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(inTearDown && goOn);
  CRegisteredObject::s_goOn = goOn.Get();
  CRegisteredObject* raw = nullptr;
  CComPtr<IPersist> object = NewRegistered(&raw);
  const int destroyed = CRegisteredObject::s_destroyed;
  EXPECT_EQ(raw, CRegisteredObjects::FindObject(raw).Get());
  CRegisteredObject::s_gate = inTearDown.Get();
  std::thread releaser([&] { object.Release(); });
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(inTearDown.Get(), 10000));
  CRegisteredObjects::CLiveRef found = CRegisteredObjects::FindObject(raw);
  EXPECT_FALSE(found);
  if (found) found.DetachIdentity();  // never released: the object is going
  ::SetEvent(goOn.Get());
  releaser.join();
  EXPECT_EQ(destroyed + 1, CRegisteredObject::s_destroyed);
  EXPECT_FALSE(CRegisteredObjects::FindObject(raw));
}

// Every object is made before the lookups start: only releases race them.
TEST_F(ObjectTest, LookupsByAddressRaceReleasesWithoutReviving) {
  const size_t before = CRegisteredObjects::Count();
  const int destroyed = CRegisteredObject::s_destroyed;
  const int count = 3000, releasers = 3;
  std::vector<CComPtr<IPersist>> objects(count);
  std::vector<CRegisteredObject*> addresses(count);
  for (int i = 0; i < count; ++i) objects[i] = NewRegistered(&addresses[i]);
  std::atomic<bool> stop{false};
  std::vector<std::thread> finders;
  for (int t = 0; t < 2; ++t)
    finders.emplace_back([&, t] {
      for (int i = t; !stop; i = (i + 7) % count) CRegisteredObjects::FindObject(addresses[i]);
    });
  std::vector<std::thread> threads;
  for (int t = 0; t < releasers; ++t)
    threads.emplace_back([&, t] {
      for (int i = t; i < count; i += releasers) objects[i].Release();
    });
  for (std::thread& thread : threads) thread.join();
  stop = true;
  for (std::thread& finder : finders) finder.join();
  EXPECT_EQ(destroyed + count, CRegisteredObject::s_destroyed);
  EXPECT_EQ(before, CRegisteredObjects::Count());
}

}  // namespace

#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include "CSyncEvent.h"
#include "CZembraDeviceList.h"
#include "FileSystem.h"
#include "ZCLHandle.h"
#include "StoreTestSupport.h"
#include "ZCLException.h"
#include "ZCLWait.h"

namespace {

using storetest::TempFolder;

// Records what the device asks of it; a sync can be made to block.
class CFakeImpl : public CZembraDeviceImpl {
public:
  explicit CFakeImpl(std::atomic<int>* destroyed = nullptr) : m_destroyed(destroyed) {}
  ~CFakeImpl() override {
    if (m_destroyed) ++*m_destroyed;
  }
  bool Initialize() override {
    ++initialized;
    return initializeResult;
  }
  void Uninitialize() override { ++uninitialized; }
  bool CallControlEnabled() override { return true; }
  bool EventLogEnabled() override { return true; }
  void SendMessage(const wchar_t*, const wchar_t*) override { ++sent; }
  void SyncContactsFromPhone() override {
    if (entered) entered->Set();
    if (release) release->Wait(10000);
    ++synced;
  }
  void SyncContactsToPhone() override { ++synced; }
  void SelectContacts(IZembraDbCB*) override {}
  void SyncSmsFromPhone() override { ++synced; }
  void SyncSmsToPhone() override { ++synced; }
  void SelectSms(IZembraDbCB*) override {}
  void MarkSmsAsRead(Trelk::CUid) override { ++marked; }
  void SyncEvents() override { ++synced; }
  void SelectEvents(IZembraDbCB*) override {}

  int initialized = 0, uninitialized = 0, sent = 0, synced = 0, marked = 0;
  bool initializeResult = true;
  CSyncEvent* entered = nullptr;
  CSyncEvent* release = nullptr;

private:
  std::atomic<int>* m_destroyed;
};

class CCountingCB : public IZembraDbCB {
public:
  void SelectContactsCB(CZembraContact*) override { ++contacts; }
  void SelectSmsCB(CZembraSMS*) override { ++messages; }
  void SelectEventsCB(CZembraEventLog*) override { ++events; }
  int contacts = 0, messages = 0, events = 0;
};

void WriteText(const std::wstring& path, const std::string& text) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ASSERT_TRUE(file && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

std::string ReadText(const std::wstring& path) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string text(65536, '\0');
  DWORD read = 0;
  if (!file || !ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) return "";
  text.resize(read);
  return text;
}

std::string ThrownText(std::function<void()> call) {
  try {
    call();
  } catch (const ZCLException& e) {
    return e.GetMessageText();
  }
  return "<none>";
}

TEST(DeviceTest, WithoutAnImplementationSyncsRefuseAndSelectionsReadTheDatabase) {
  TempFolder folder(L"device");
  CZembraDevice device;
  device.SetDataFolder(folder.Path().c_str());
  CZembraContact contact = storetest::Contact("BEGIN:VCARD\r\nN:Doe;Jane\r\nEND:VCARD\r\n");
  device.UpdateContact(&contact);
  EXPECT_NE(contact.GetDbId(), -1);

  EXPECT_FALSE(device.CallControlEnabled());
  EXPECT_FALSE(device.EventLogEnabled());
  EXPECT_EQ(ThrownText([&] { device.SyncContactsFromPhone(); }), "Not implemented!");
  EXPECT_EQ(ThrownText([&] { device.SyncContactsToPhone(); }), "Not implemented!");
  EXPECT_EQ(ThrownText([&] { device.SyncSmsFromPhone(); }), "Not implemented!");
  EXPECT_EQ(ThrownText([&] { device.SyncSmsToPhone(); }), "Not implemented!");
  EXPECT_EQ(ThrownText([&] { device.SyncEvents(); }), "Not implemented!");
  EXPECT_EQ(ThrownText([&] { device.SendMessage(L"+123", L"hi"); }), "Not implemented!");
  CZembraSMS sms;
  EXPECT_EQ(ThrownText([&] { device.MarkSmsAsRead(&sms); }), "Not implemented!");

  CCountingCB cb;
  device.SelectContacts(&cb);
  device.SelectSms(&cb);
  device.SelectEvents(&cb);
  EXPECT_EQ(cb.contacts, 1);

  // Null records do nothing, even without an implementation.
  EXPECT_NO_THROW(device.UpdateContact(nullptr));
  EXPECT_NO_THROW(device.DeleteContact(nullptr));
  EXPECT_NO_THROW(device.UpdateSms(nullptr));
  EXPECT_NO_THROW(device.DeleteSms(nullptr, 1));
  EXPECT_NO_THROW(device.MarkSmsAsRead(static_cast<CZembraSMS*>(nullptr)));
}

TEST(DeviceTest, AContactThatCannotBeStoredIsReportedNotLost) {
  CZembraDevice device;  // no data folder: the database is closed
  CZembraContact contact = storetest::Contact("BEGIN:VCARD\r\nN:Doe;Jane\r\nEND:VCARD\r\n");
  EXPECT_THROW(device.UpdateContact(&contact), ZCLException);
}

TEST(DeviceTest, ImplementationsAreForwardedReplacedAndKept) {
  std::atomic<int> destroyed(0);
  CZembraDevice device;
  EXPECT_TRUE(device.SetDeviceImpl(nullptr));
  CFakeImpl* first = new CFakeImpl(&destroyed);
  EXPECT_TRUE(device.SetDeviceImpl(first));
  device.SyncEvents();
  device.SendMessage(L"+1", L"x");
  EXPECT_EQ(first->synced, 1);
  EXPECT_EQ(first->sent, 1);
  EXPECT_TRUE(device.CallControlEnabled());

  // The same object again: uninitialised, kept, initialised again.
  EXPECT_TRUE(device.SetDeviceImpl(first));
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(first->uninitialized, 1);
  EXPECT_EQ(first->initialized, 2);

  CFakeImpl* second = new CFakeImpl(&destroyed);
  second->initializeResult = false;
  EXPECT_FALSE(device.SetDeviceImpl(second));  // stays attached all the same
  EXPECT_EQ(destroyed, 1);
  device.SyncSmsToPhone();
  EXPECT_EQ(second->synced, 1);
  EXPECT_TRUE(device.SetDeviceImpl(nullptr));
  EXPECT_EQ(destroyed, 2);
}

// The device manager may replace the implementation while the task queue is
// inside a forwarded sync: the old one must outlive the call.
TEST(DeviceTest, AnImplementationIsNotReplacedUnderARunningSync) {
  std::atomic<int> destroyed(0);
  CSyncEvent entered, release;
  entered.Create(true);
  release.Create(true);
  CZembraDevice device;
  CFakeImpl* busy = new CFakeImpl(&destroyed);
  busy->entered = &entered;
  busy->release = &release;
  device.SetDeviceImpl(busy);
  std::thread sync([&] { device.SyncContactsFromPhone(); });
  ASSERT_TRUE(entered.Wait(10000));
  std::atomic<bool> replaced(false);
  std::thread manager([&] {
    device.SetDeviceImpl(new CFakeImpl(&destroyed));
    replaced = true;
  });
  EXPECT_FALSE(ZCLWaitUntil([&] { return replaced.load(); }, 200));
  EXPECT_EQ(destroyed, 0);
  release.Set();
  sync.join();
  manager.join();
  EXPECT_TRUE(replaced);
  EXPECT_EQ(destroyed, 1);
}

// A ring looks up its caller in the database and the data folder while a
// sync may run for minutes: nothing that only reads waits for the phone, and
// the phone's work still runs one piece at a time, in order.
TEST(DeviceTest, ARunningSyncKeepsNoReaderWaitingAndLaterWorkRunsAfterIt) {
  TempFolder folder(L"device-busy");
  CSyncEvent entered, release;
  entered.Create(true);
  release.Create(true);
  CZembraDevice device;
  device.SetDataFolder(folder.Path().c_str());
  CFakeImpl* busy = new CFakeImpl;
  busy->entered = &entered;
  busy->release = &release;
  ASSERT_TRUE(device.SetDeviceImpl(busy));
  std::thread sync([&] { device.SyncContactsFromPhone(); });
  ASSERT_TRUE(entered.Wait(10000));
  std::atomic<bool> sent(false);
  std::thread sender([&] {
    device.SendMessage(L"+1", L"after the sync");
    sent = true;
  });

  std::atomic<bool> read(false);
  std::wstring seenFolder;
  CCountingCB cb;
  std::thread reader([&] {
    seenFolder = device.GetDataFolder();
    CZembraContact contact = storetest::Contact("BEGIN:VCARD\r\nN:Doe;Jane\r\nEND:VCARD\r\n");
    device.UpdateContact(&contact);
    device.SelectContacts(&cb);
    read = device.CallControlEnabled() && device.EventLogEnabled() && device.HasDeviceImpl();
  });
  bool readerDone = ZCLWaitUntil([&] { return read.load(); }, 5000);
  EXPECT_TRUE(readerDone) << "a reader waited for the sync";
  EXPECT_EQ(busy->sent, 0);  // queued behind the sync
  release.Set();
  sync.join();
  reader.join();
  sender.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(busy->synced, 1);
  EXPECT_EQ(busy->sent, 1);
  EXPECT_EQ(seenFolder, folder.Path());
  EXPECT_EQ(cb.contacts, 1);
}

TEST(DeviceTest, DataFolderWithOrWithoutBackslashAndBeyondTheCodePageNamesOneFile) {
  TempFolder folder(L"device-\u5c71\u7530");
  {
    CZembraDevice device;
    device.SetDataFolder(folder.Path().c_str());
    EXPECT_EQ(device.GetDataFolder(), folder.Path());
    CZembraContact contact = storetest::Contact("BEGIN:VCARD\r\nN:A;B\r\nEND:VCARD\r\n");
    device.UpdateContact(&contact);
  }
  CZembraDevice again;
  again.SetDataFolder((folder.Path() + L"\\").c_str());
  CCountingCB cb;
  again.SelectContacts(&cb);
  EXPECT_EQ(cb.contacts, 1);
  EXPECT_NE(GetFileAttributesW(folder.Db().c_str()), INVALID_FILE_ATTRIBUTES);
}

// Each test gets a cache folder of its own.
class DeviceCacheTest : public ::testing::Test {
protected:
  // The cache is written on the device manager's thread, which joins the
  // multithreaded apartment.
  void SetUp() override {
    m_joined = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  }
  void TearDown() override {
    if (m_joined) CoUninitialize();
  }
  bool m_joined = false;
  std::wstring Cache() { return m_root.Path() + L"\\data"; }
  void WriteInfo(const std::wstring& folder, const std::string& text) {
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteText(folder + L"\\DeviceInfo.xml", text);
  }
  static CZembraDevicePtr NewDevice(const wchar_t* serial, const wchar_t* model = L"M") {
    CZembraDevicePtr device = std::make_shared<CZembraDevice>();
    device->SetSerialNumber(serial);
    device->SetModelName(model);
    device->SetFriendlyName(L"Friend");
    device->SetManufacturer(L"Maker");
    return device;
  }
  TempFolder m_root{L"cache"};
};

TEST_F(DeviceCacheTest, AMissingCacheIsCreatedAndListsEmpty) {
  CZembraDeviceList list(Cache());
  list.Load();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_NE(GetFileAttributesW(Cache().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(list.GetAt(-1), nullptr);
  EXPECT_EQ(list.GetAt(0), nullptr);
}

TEST_F(DeviceCacheTest, SavedDevicesLoadBackAndBrokenFoldersAreSkipped) {
  {
    CZembraDeviceList list(Cache());
    list.Add(NewDevice(L"P1", L""), true);  // an empty model name
    list.Add(NewDevice(L"P2"), true);
  }
  CreateDirectoryW(Cache().c_str(), nullptr);
  CreateDirectoryW((Cache() + L"\\nofile").c_str(), nullptr);
  WriteInfo(Cache() + L"\\nomaker",
            "<?xml version=\"1.0\"?>\n<DeviceInfo><SerialNumber>P9</SerialNumber><ModelName>M</ModelName>"
            "<FriendlyName>F</FriendlyName></DeviceInfo>\n");
  WriteInfo(Cache() + L"\\garbage", "not xml at all");

  CZembraDeviceList list(Cache());
  list.Load();
  ASSERT_EQ(list.Count(), 2);
  CZembraDevicePtr p1 = list.Find(L"P1");
  ASSERT_NE(p1, nullptr);
  EXPECT_STREQ(p1->GetModelName(), L"");
  EXPECT_STREQ(p1->GetManufacturer(), L"Maker");
  EXPECT_EQ(p1->GetState(), DeviceDisconnected);
  EXPECT_EQ(list.Find(L"p1"), nullptr);  // case counts
  EXPECT_EQ(list.Find(nullptr), nullptr);
  // The broken folders are left as they were.
  EXPECT_NE(GetFileAttributesW((Cache() + L"\\nomaker\\DeviceInfo.xml").c_str()), INVALID_FILE_ATTRIBUTES);

  // Saving again replaces the texts in place: one element of each kind.
  p1->SetModelName(L"");
  list.Add(p1, true);
  list.Add(p1, true);
  std::string text = ReadText(Cache() + L"\\P1\\DeviceInfo.xml");
  size_t first = text.find("<ModelName");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("<ModelName", first + 1), std::string::npos) << text;
}

TEST_F(DeviceCacheTest, TwoFoldersOfOneSerialGiveOneDevice) {
  const char* kFile =
      "<?xml version=\"1.0\"?>\n<DeviceInfo><SerialNumber>SAME</SerialNumber><ModelName>%s</ModelName>"
      "<FriendlyName>F</FriendlyName><Manufacturer>X</Manufacturer></DeviceInfo>\n";
  char a[512], b[512];
  snprintf(a, sizeof a, kFile, "first");
  snprintf(b, sizeof b, kFile, "second");
  CreateDirectoryW(Cache().c_str(), nullptr);
  WriteInfo(Cache() + L"\\one", a);
  WriteInfo(Cache() + L"\\two", b);
  CZembraDeviceList list(Cache());
  list.Load();
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetAt(0), list.Find(L"SAME"));
}

TEST_F(DeviceCacheTest, HostileSerialsStayInsideTheCacheAndLoadBackExactly) {
  const std::wstring serials[] = {L"..\\x", L"NUL", L"COM1", L"a:b", L"P1", L"P1.", std::wstring(300, L'9')};
  {
    CZembraDeviceList list(Cache());
    for (const std::wstring& serial : serials) list.Add(NewDevice(serial.c_str()), true);
  }
  EXPECT_EQ(GetFileAttributesW((m_root.Path() + L"\\x").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ListDirectory(Cache()).size(), sizeof(serials) / sizeof(serials[0]));
  CZembraDeviceList list(Cache());
  list.Load();
  EXPECT_EQ(list.Count(), static_cast<int>(sizeof(serials) / sizeof(serials[0])));
  for (const std::wstring& serial : serials) EXPECT_NE(list.Find(serial.c_str()), nullptr) << serial.size();
}

// The call window looks callers up from its own thread while the device
// manager's thread ends and empties the list.
TEST_F(DeviceCacheTest, AFoundDeviceStaysValidWhileTheListIsEmptied) {
  CZembraDeviceList list(Cache());
  list.Add(NewDevice(L"P1"), false);
  CZembraDevicePtr found = list.Find(L"P1");
  std::thread emptier([&] { list.RemoveAll(); });
  emptier.join();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_STREQ(found->GetSerialNumber(), L"P1");
  EXPECT_FALSE(found->CallControlEnabled());
}

}  // namespace

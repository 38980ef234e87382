#include <windows.h>
#include "CDeviceManagement.h"
#include <vector>
#include "CTrelkException.h"
#include "TrelkBinding.h"
#include "ZCLLogger.h"

namespace Trelk {

namespace {

const DWORD kRUVONVersion = 31;

// Hands filled device records back to the library, also when copying them
// out failed half-way.
class CDeviceRecordsGuard {
public:
  CDeviceRecordsGuard(DWORD count, LNYX_DEVICE* records) : m_count(count), m_records(records) {}
  ~CDeviceRecordsGuard() { LNYXFreeDeviceStructure(m_count, m_records); }

private:
  DWORD m_count;
  LNYX_DEVICE* m_records;
};

}  // namespace

CDMHandle::CDMHandle()
    : m_handle(CFamilyHandle::Create(RUVONBinding(), [](DWORD handle) { return LNYXCloseDM(handle); })) {
  ZCLScopeTracer trace("Trelk::CDMHandle::CDMHandle");
}

CDMHandle::~CDMHandle() {
  ZCLScopeTracer trace("Trelk::CDMHandle::~CDMHandle");
  Close();
}

void CDMHandle::Close() {
  ZCLScopeTracer trace("Trelk::CDMHandle::Close");
  m_handle->Close();
}

CDeviceManagement::CDeviceManagement() : m_sink(nullptr) {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::CDeviceManagement");
}

CDeviceManagement::~CDeviceManagement() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::~CDeviceManagement");
  UnregisterDeviceNotify();
  CloseDM();
  Terminate();
}

void CDeviceManagement::Initialize() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::Initialize");
  TrelkThrowOnFail(RUVON_Initialize(kRUVONVersion, 0));
}

void CDeviceManagement::OpenDM() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::OpenDM");
  if (m_handle.Family().Peek() != 0) CloseDM();
  m_handle.Family().Open([](DWORD* handle) { return LNYXOpenDM(handle); });
}

void CDeviceManagement::RegisterDeviceNotify(IRUVONDeviceNotify* sink) {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::RegisterDeviceNotify");
  if (m_sink) UnregisterDeviceNotify();
  m_handle.Family().RegisterSink(
      sink, [sink](DWORD handle, DWORD operation) { return LNYXRegisterDMNotifyIF(handle, operation, sink); });
  m_sink = sink;
}

DWORD CDeviceManagement::GetDeviceCount() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::GetDeviceCount");
  DWORD count = 0;
  DWORD result = LNYXGetDeviceCount(m_handle.Get(), &count);
  if (result != 0) throw CTrelkException(result);
  return count;
}

void CDeviceManagement::GetDevices(ITrelkDeviceList& list) {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::GetDevices");
  const DWORD asked = GetDeviceCount();
  if (asked == 0) return;
  std::vector<LNYX_DEVICE> records(asked);
  ZeroMemory(records.data(), asked * sizeof(LNYX_DEVICE));
  DWORD filled = asked;
  DWORD result = LNYXGetDevices(m_handle.Get(), &filled, records.data());
  if (result != 0) throw CTrelkException(result);
  // Never read past the records that were handed over.
  if (filled > asked) filled = asked;
  CDeviceRecordsGuard free(filled, records.data());
  for (DWORD i = 0; i < filled; ++i) {
    const LNYX_DEVICE& r = records[i];
    CTrelkDevice device(r.pstrSerialNumber, r.pstrModelName, r.pstrFriendlyName, r.pstrManufacturer);
    list.AddDevice(device);
  }
}

CDevice CDeviceManagement::GetConnectionInfo(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::GetConnectionInfo");
  LNYX_DEVICE record;
  ZeroMemory(&record, sizeof(record));
  TrelkThrowOnFail(LNYXGetDevice(m_handle.Get(), serialNumber, &record));
  CDeviceRecordsGuard free(1, &record);
  return CDevice(&record);
}

CDeviceInfo CDeviceManagement::GetDeviceInfo(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::GetDeviceInfo");
  LNYX_DEVICE_INFO* record = nullptr;
  TrelkThrowOnFail(LNYXGetDeviceInfo(m_handle.Get(), serialNumber, LNYX_DEVICE_INFO_LEVEL, &record));
  struct FreeInfo {
    LNYX_DEVICE_INFO* record;
    ~FreeInfo() {
      if (record) LNYXFreeDeviceInfoStructure(LNYX_DEVICE_INFO_LEVEL, record);
    }
  } free{record};
  // A success without a record reads as zeros.
  return CDeviceInfo(record);
}

void CDeviceManagement::RefreshDeviceList() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::RefreshDeviceList");
  LNYXRefreshDeviceList(m_handle.Family().HandleOrNone(), 0);
}

void CDeviceManagement::UnregisterDeviceNotify() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::UnregisterDeviceNotify");
  if (!m_sink) return;
  m_handle.Family().UnregisterSink(m_sink);
  m_sink = nullptr;
}

void CDeviceManagement::CloseDM() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::CloseDM");
  m_handle.Close();
}

void CDeviceManagement::Terminate() {
  ZCLScopeTracer trace("Trelk::CDeviceManagement::Terminate");
  RUVON_Terminate(0);
}

}  // namespace Trelk

#pragma once
#include <windows.h>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>
#include "XpcomGlue.h"
#include "xpOrvexDialix.h"

// xphost's recording callback and the texts its lines are made of.
namespace XpHost {

// The thread xphost runs its commands on: "browser" in the callback lines.
extern DWORD g_browserThread;
const char* ThreadName();
std::wstring Text(const nsAString& text);
std::wstring IdText(const nsIID& id);

struct CallRecord {
  std::string method;
  std::wstring clientId, operationId, detail;
};

// The page script's callback: prints each call as it arrives, with its
// thread. Meant for the browser thread; a call on another thread is recorded
// as such, so its list is locked.
class CRecordingCallback final : public IOrvexDialixCallback {
public:
  explicit CRecordingCallback(int number) : m_number(number) {}
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    *result = nullptr;
    if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(IOrvexDialixCallback)))
      return NS_ERROR_NO_INTERFACE;
    *result = static_cast<IOrvexDialixCallback*>(this);
    AddRef();
    return NS_OK;
  }
  NS_IMETHOD_(nsrefcnt) AddRef() override { return ::InterlockedIncrement(&m_refs); }
  NS_IMETHOD_(nsrefcnt) Release() override {
    LONG count = ::InterlockedDecrement(&m_refs);
    if (count == 0) delete this;
    return count;
  }

  NS_IMETHOD ConnectCompleted(const nsAString& clientId) override {
    return Record("ConnectCompleted", clientId, L"", L"");
  }
  NS_IMETHOD DisconnectCompleted(const nsAString& clientId) override {
    return Record("DisconnectCompleted", clientId, L"", L"");
  }
  NS_IMETHOD OperationCompleted(const nsAString& clientId, const nsAString& operationId,
                                IOrvexDialixOperation* operation) override {
    PRInt32 value = -1;
    if (operation) operation->GetOperationState(&value);
    return Record("OperationCompleted", clientId, Text(operationId), L"state=" + std::to_wstring(value));
  }
  NS_IMETHOD OperationFailed(const nsAString& clientId, const nsAString& operationId, PRInt32 result,
                             IOrvexDialixErrorInfo* error) override {
    nsString description;
    if (error) error->GetDescription(description);
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
    return Record("OperationFailed", clientId, Text(operationId),
                  std::wstring(L"hr=") + code + L" text=" + Text(description));
  }
  NS_IMETHOD NewDevice(const nsAString& clientId, IOrvexDialixDevice* device) override {
    return Record("NewDevice", clientId, L"", Device(device));
  }
  NS_IMETHOD DeviceStateChanged(const nsAString& clientId, IOrvexDialixDevice* device) override {
    return Record("DeviceStateChanged", clientId, L"", Device(device));
  }
  NS_IMETHOD Notification(const nsAString& clientId, const nsIID* kind, nsISupports* notification) override {
    std::wstring detail = L"kind=" + (kind ? IdText(*kind) : std::wstring(L"none"));
    nsCOMPtr<IOrvexDialixNotification> any = do_QueryInterface<IOrvexDialixNotification>(notification);
    nsString serial;
    if (any) any->GetSerialNumber(serial);
    detail += L" serial=" + Text(serial);
    nsCOMPtr<IOrvexDialixCallNotification> call = do_QueryInterface<IOrvexDialixCallNotification>(notification);
    nsCOMPtr<IOrvexDialixMessageReceivedNotification> message =
        do_QueryInterface<IOrvexDialixMessageReceivedNotification>(notification);
    if (call) {
      nsString number;
      PRInt32 state = -1;
      call->GetNumber(number);
      call->GetState(&state);
      detail += L" number=" + Text(number) + L" state=" + std::to_wstring(state);
    } else if (message) {
      detail += L" " + Message(message);
    }
    return Record("Notification", clientId, L"", detail);
  }

  size_t Count(const std::string& method) {
    std::lock_guard<std::mutex> lock(m_lock);
    size_t n = 0;
    for (const CallRecord& r : m_calls) n += r.method == method;
    return n;
  }
  // Announcements of a phone (NewDevice, DeviceStateChanged) in one state.
  size_t CountDeviceState(int state) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::wstring wanted = L" state=" + std::to_wstring(state);
    size_t n = 0;
    for (const CallRecord& r : m_calls)
      n += (r.method == "NewDevice" || r.method == "DeviceStateChanged") &&
           (L" " + r.detail + L" ").find(wanted + L" ") != std::wstring::npos;
    return n;
  }
  bool Find(const std::string& method, const std::wstring& operationId, CallRecord* found) {
    std::lock_guard<std::mutex> lock(m_lock);
    for (const CallRecord& r : m_calls)
      if (r.method == method && (operationId.empty() || r.operationId == operationId)) {
        *found = r;
        return true;
      }
    return false;
  }

private:
  ~CRecordingCallback() {}
  nsresult Record(const char* method, const nsAString& clientId, const std::wstring& operationId,
                  const std::wstring& detail) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_calls.push_back({method, Text(clientId), operationId, detail});
    std::printf("callback: %s cb=%d client=%ls%ls%ls %ls thread=%s\n", method, m_number, Text(clientId).c_str(),
                operationId.empty() ? L"" : L" operation=", operationId.c_str(), detail.c_str(), ThreadName());
    std::fflush(stdout);
    return NS_OK;
  }
  static std::wstring Device(IOrvexDialixDevice* device) {
    nsString serial;
    PRInt32 state = -1;
    if (device) {
      device->GetSerialNumber(serial);
      device->GetState(&state);
    }
    return L"serial=" + Text(serial) + L" state=" + std::to_wstring(state);
  }
  static std::wstring Message(IOrvexDialixMessageReceivedNotification* notification) {
    nsCOMPtr<IOrvexDialixSms> sms;
    nsString text, sender;
    if (NS_SUCCEEDED(notification->GetMessage(getter_AddRefs(sms))) && sms) {
      sms->GetMessage(text);
      nsCOMPtr<IOrvexDialixAddressList> addresses;
      PRInt32 count = 0;
      if (NS_SUCCEEDED(sms->GetAddresses(getter_AddRefs(addresses))) && addresses) addresses->GetCount(&count);
      for (PRInt32 i = 1; i <= count; ++i) {
        nsCOMPtr<IOrvexDialixAddress> address;
        PRInt32 type = 0;
        if (NS_SUCCEEDED(addresses->Item(i, getter_AddRefs(address))) && address &&
            NS_SUCCEEDED(address->GetType(&type)) && type == 2)
          address->GetAddress(sender);
      }
    }
    return L"sender=" + Text(sender) + L" text=" + Text(text);
  }

  volatile LONG m_refs = 0;
  int m_number;
  std::mutex m_lock;
  std::vector<CallRecord> m_calls;
};

}  // namespace XpHost

// xphost.exe: stands in for the browser. Its main thread is the browser
// thread: it joins a single-threaded apartment with OleInitialize (not with
// --no-com), pumps messages while it waits, loads the component through
// NSGetModule, registers it, creates it by its contract id and runs the
// commands in order, as script would. One line per command and per callback;
// each callback line says on which thread it ran (thread=browser|other).
//   xphost.exe [--no-com] <component.dll> commands...
//   create                    registers the module and creates the component by contract id
//   connect                   connects with a new recording callback (numbered cb=1, 2, ...)
//   wait-connected <ms>       waits for the last callback's ConnectCompleted
//   serial <serial>           the phone of the next contacts, sms, events, send, call operations
//   set <name> <value>        Recipient, Message or Number of the next operation
//   operation <kind>          creates and begins devices, contacts, sms, events, send, call
//   wait-operation <ms>       waits for the last operation's completion or failure
//   read <path>               reads along a path from the last operation:
//                             OperationData.Item(1).SerialNumber (a failed read is printed)
//   subscribe <kind>          call, message or events notifications of the last connection
//   wait-calls <method> <n> <ms>  waits until n callbacks of the method arrived
//   wait-state <state> <ms>   waits until a phone was announced in that state (2: connected)
//   disconnect                disconnects the last connection
//   wait-disconnected <ms>    waits for its DisconnectCompleted
//   signal <name>, wait-event <name> <ms>  named manual-reset events, for the test script
//   release                   lets go of the component and the operation
// Exit code 0 when every command did what it names, 1 otherwise, 2 on a time-out.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "XpHostCallback.h"
#include "XpHostPath.h"
#include "XpcomGlue.h"
#include "ZCLHandle.h"
#include "ZCLWait.h"
#include "xpOrvexDialix.h"

using namespace XpHost;

namespace {

// The host's component manager: remembers what a module registers.
class CComponentManager final : public nsIComponentManager, public nsIComponentRegistrar {
public:
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    *result = nullptr;
    if (iid.Equals(NS_GET_IID(nsIComponentRegistrar))) *result = static_cast<nsIComponentRegistrar*>(this);
    else if (iid.Equals(NS_GET_IID(nsISupports))) *result = static_cast<nsIComponentManager*>(this);
    else return NS_ERROR_NO_INTERFACE;
    return NS_OK;
  }
  NS_IMETHOD_(nsrefcnt) AddRef() override { return 2; }  // lives as long as the host
  NS_IMETHOD_(nsrefcnt) Release() override { return 1; }
  NS_IMETHOD RegisterFactoryLocation(const nsCID& cid, const char* className, const char* contractId, nsIFile*,
                                     const char*, const char*) override {
    std::printf("register: %s %s\n", className ? className : "", contractId ? contractId : "");
    if (contractId) contracts[contractId] = cid;
    return NS_OK;
  }
  std::map<std::string, nsCID> contracts;
};

struct NamedKind {
  const wchar_t* name;
  const nsIID& id;
};

const nsIID* FindKind(const std::vector<NamedKind>& kinds, const wchar_t* name) {
  for (const NamedKind& k : kinds)
    if (wcscmp(k.name, name) == 0) return &k.id;
  return nullptr;
}

class CHost {
public:
  int Run(int argc, wchar_t** argv, int first) {
    for (int i = first; i < argc; ++i) {
      std::wstring command = argv[i];
      auto argument = [&](int n) -> const wchar_t* { return i + n < argc ? argv[i + n] : nullptr; };
      int status = 1;
      if (command == L"create") {
        status = Create();
      } else if (command == L"connect") {
        status = Connect();
      } else if (command == L"wait-connected" && argument(1)) {
        status = WaitConnected(_wtoi(argument(1)));
        ++i;
      } else if (command == L"serial" && argument(1)) {
        m_serial = argument(1);
        status = 0;
        ++i;
      } else if (command == L"set" && argument(2)) {
        m_properties[argument(1)] = argument(2);
        status = 0;
        i += 2;
      } else if (command == L"operation" && argument(1)) {
        status = Operation(argument(1));
        ++i;
      } else if (command == L"wait-operation" && argument(1)) {
        status = WaitOperation(_wtoi(argument(1)));
        ++i;
      } else if (command == L"read" && argument(1)) {
        status = Read(argument(1));
        ++i;
      } else if (command == L"subscribe" && argument(1)) {
        status = Subscribe(argument(1));
        ++i;
      } else if (command == L"wait-calls" && argument(3)) {
        status = WaitCalls(argument(1), _wtoi(argument(2)), _wtoi(argument(3)));
        i += 3;
      } else if (command == L"wait-state" && argument(2)) {
        status = WaitDeviceState(_wtoi(argument(1)), _wtoi(argument(2)));
        i += 2;
      } else if (command == L"disconnect") {
        status = Disconnect();
      } else if (command == L"wait-disconnected" && argument(1)) {
        status = WaitCalls(L"DisconnectCompleted", 1, _wtoi(argument(1)));
        ++i;
      } else if (command == L"signal" && argument(1)) {
        HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, argument(1));
        status = event && ::SetEvent(event) ? 0 : 1;
        std::printf("signal: %ls %s\n", argument(1), status == 0 ? "set" : "failed");
        ++i;
        // The event lives on with this process, so a waiter can still see it.
      } else if (command == L"wait-event" && argument(2)) {
        status = WaitEvent(argument(1), _wtoi(argument(2)));
        i += 2;
      } else if (command == L"release") {
        m_operation = nullptr;
        m_dialix = nullptr;
        std::printf("release: done\n");
        status = 0;
      } else {
        std::printf("unknown command: %ls\n", command.c_str());
      }
      std::fflush(stdout);
      if (status != 0) return status;
    }
    return 0;
  }

  nsresult Load(const wchar_t* path) {
    m_library = ::LoadLibraryW(path);
    if (!m_library) return HRESULT_FROM_WIN32(::GetLastError());
    typedef nsresult (*GetModule)(nsIComponentManager*, nsIFile*, nsIModule**);
    auto getModule = reinterpret_cast<GetModule>(reinterpret_cast<void*>(::GetProcAddress(m_library, "NSGetModule")));
    if (!getModule) return HRESULT_FROM_WIN32(::GetLastError());
    return getModule(&m_manager, nullptr, getter_AddRefs(m_module));
  }

  // The module's final release runs its destructor on this thread.
  void Unload() {
    m_operation = nullptr;
    m_dialix = nullptr;
    m_module = nullptr;
  }

private:
  int Create() {
    nsresult rv = m_module->RegisterSelf(&m_manager, nullptr, "", "");
    auto found = m_manager.contracts.find(DIALIX_XPCOM_CONTRACTID);
    nsCOMPtr<nsIFactory> factory;
    if (NS_SUCCEEDED(rv))
      rv = found == m_manager.contracts.end()
               ? NS_ERROR_FACTORY_NOT_REGISTERED
               : m_module->GetClassObject(&m_manager, found->second, NS_GET_IID(nsIFactory),
                                          reinterpret_cast<void**>(getter_AddRefs(factory)));
    if (NS_SUCCEEDED(rv))
      rv = factory->CreateInstance(nullptr, NS_GET_IID(IOrvexDialix), reinterpret_cast<void**>(getter_AddRefs(m_dialix)));
    std::printf("create: rv=0x%08lX\n", static_cast<unsigned long>(rv));
    return NS_SUCCEEDED(rv) ? 0 : 1;
  }

  int Connect() {
    if (!m_dialix) return 1;
    m_callback = new CRecordingCallback(++m_connections);
    nsresult rv = m_dialix->Connect(m_callback);
    std::printf("connect: rv=0x%08lX cb=%d\n", static_cast<unsigned long>(rv), m_connections);
    return NS_SUCCEEDED(rv) ? 0 : 1;
  }

  int WaitConnected(int ms) {
    CallRecord call;
    if (!m_callback || !ZCLWaitUntil([&] { return m_callback->Find("ConnectCompleted", L"", &call); }, ms)) {
      std::printf("connected: timeout\n");
      return 2;
    }
    m_clientId = call.clientId;
    std::printf("connected: id=%ls\n", m_clientId.c_str());
    return 0;
  }

  int Operation(const wchar_t* kindName) {
    static const std::vector<NamedKind> kinds = {
        {L"devices", NS_GET_IID(IOrvexDialixGetDevicesOperation)},
        {L"contacts", NS_GET_IID(IOrvexDialixGetContactsOperation)},
        {L"sms", NS_GET_IID(IOrvexDialixGetSmsOperation)},
        {L"events", NS_GET_IID(IOrvexDialixGetEventsOperation)},
        {L"send", NS_GET_IID(IOrvexDialixSendMessageOperation)},
        {L"call", NS_GET_IID(IOrvexDialixCreateCallOperation)}};
    const nsIID* kind = FindKind(kinds, kindName);
    if (!m_dialix || !kind) return 1;
    nsString client(m_clientId.c_str());
    m_operation = nullptr;
    nsresult created = m_dialix->CreateOperation(client, *kind, getter_AddRefs(m_operation));
    nsresult begun = NS_ERROR_NOT_INITIALIZED;
    nsString id;
    if (NS_SUCCEEDED(created)) {
      Prepare(kindName);
      m_operation->GetOperationId(id);
      begun = m_dialix->BeginOperation(m_operation);
    }
    m_operationId = Text(id);
    std::printf("operation: %ls create=0x%08lX begin=0x%08lX id=%ls\n", kindName, static_cast<unsigned long>(created),
                static_cast<unsigned long>(begun), m_operationId.c_str());
    return NS_SUCCEEDED(begun) ? 0 : 1;
  }

  // The serial and staged properties, through the operation's own face.
  void Prepare(const std::wstring& kind) {
    nsString serial(m_serial.c_str());
    std::map<std::wstring, std::wstring> properties;
    properties.swap(m_properties);
    auto value = [&](const wchar_t* name) { return properties[name]; };
    if (kind == L"contacts") {
      As<IOrvexDialixGetContactsOperation>(m_operation)->SetSerialNumber(serial);
    } else if (kind == L"sms") {
      As<IOrvexDialixGetSmsOperation>(m_operation)->SetSerialNumber(serial);
    } else if (kind == L"events") {
      As<IOrvexDialixGetEventsOperation>(m_operation)->SetSerialNumber(serial);
    } else if (kind == L"send") {
      nsCOMPtr<IOrvexDialixSendMessageOperation> send = As<IOrvexDialixSendMessageOperation>(m_operation);
      nsString recipient(value(L"Recipient").c_str()), message(value(L"Message").c_str());
      send->SetSerialNumber(serial);
      send->SetRecipient(recipient);
      send->SetMessage(message);
    } else if (kind == L"call") {
      nsCOMPtr<IOrvexDialixCreateCallOperation> call = As<IOrvexDialixCreateCallOperation>(m_operation);
      nsString number(value(L"Number").c_str());
      call->SetSerialNumber(serial);
      call->SetNumber(number);
    }
  }

  int WaitOperation(int ms) {
    CallRecord end;
    bool ended = m_callback && ZCLWaitUntil([&] {
      return m_callback->Find("OperationCompleted", m_operationId, &end) ||
             m_callback->Find("OperationFailed", m_operationId, &end);
    }, ms);
    if (!ended) {
      std::printf("operation-result: timeout\n");
      return 2;
    }
    std::printf("operation-result: %s\n", end.method.c_str());
    return 0;
  }

  int Read(const std::wstring& path) {
    Value value;
    value.object = m_operation.get();
    nsresult rv = m_operation ? NS_OK : NS_ERROR_NOT_INITIALIZED;
    size_t start = 0;
    while (NS_SUCCEEDED(rv) && start < path.size()) {
      size_t end = path.find(L'.', start);
      std::wstring step = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      start = end == std::wstring::npos ? path.size() : end + 1;
      PRInt32 index = 0;
      size_t open = step.find(L'(');
      if (open != std::wstring::npos) {
        index = _wtoi(step.c_str() + open + 1);
        step.resize(open);
      }
      Value next;
      rv = value.object ? Step(value.object, step, index, &next) : NS_ERROR_NULL_POINTER;
      value = next;
    }
    if (NS_FAILED(rv)) {  // a result of its own, not a failure of the command
      std::printf("read: %ls failed rv=0x%08lX\n", path.c_str(), static_cast<unsigned long>(rv));
      return 0;
    }
    std::printf("read: %ls = %ls\n", path.c_str(), value.text.c_str());
    return 0;
  }

  int Subscribe(const wchar_t* kindName) {
    static const std::vector<NamedKind> kinds = {
        {L"call", NS_GET_IID(IOrvexDialixCallNotification)},
        {L"message", NS_GET_IID(IOrvexDialixMessageReceivedNotification)},
        {L"events", NS_GET_IID(IOrvexDialixEventsUpdatedNotification)}};
    const nsIID* kind = FindKind(kinds, kindName);
    if (!m_dialix || !kind) return 1;
    nsString client(m_clientId.c_str());
    nsresult rv = m_dialix->SubscribeNotification(client, *kind);
    std::printf("subscribe: %ls rv=0x%08lX\n", kindName, static_cast<unsigned long>(rv));
    return NS_SUCCEEDED(rv) ? 0 : 1;
  }

  int WaitCalls(const wchar_t* methodName, int count, int ms) {
    std::string method;
    for (const wchar_t* p = methodName; *p; ++p) method += static_cast<char>(*p);
    if (!m_callback || !ZCLWaitUntil([&] { return m_callback->Count(method) >= static_cast<size_t>(count); }, ms)) {
      std::printf("wait-calls: %s timeout\n", method.c_str());
      return 2;
    }
    std::printf("wait-calls: %s %d\n", method.c_str(), count);
    return 0;
  }

  int WaitDeviceState(int state, int ms) {
    if (!m_callback || !ZCLWaitUntil([&] { return m_callback->CountDeviceState(state) > 0; }, ms)) {
      std::printf("wait-state: %d timeout\n", state);
      return 2;
    }
    std::printf("wait-state: %d\n", state);
    return 0;
  }

  int Disconnect() {
    if (!m_dialix) return 1;
    nsString client(m_clientId.c_str());
    nsresult rv = m_dialix->Disconnect(client);
    std::printf("disconnect: rv=0x%08lX\n", static_cast<unsigned long>(rv));
    return NS_SUCCEEDED(rv) ? 0 : 1;
  }

  int WaitEvent(const wchar_t* name, int ms) {
    CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name));
    bool set = event && ZCLWaitUntil([&] { return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0; }, ms);
    std::printf("wait-event: %ls %s\n", name, set ? "set" : "timeout");
    return set ? 0 : 2;
  }

  CComponentManager m_manager;
  HMODULE m_library = nullptr;  // stays loaded: the process ends soon after
  nsCOMPtr<nsIModule> m_module;
  nsCOMPtr<IOrvexDialix> m_dialix;
  nsCOMPtr<CRecordingCallback> m_callback;
  nsCOMPtr<IOrvexDialixOperation> m_operation;
  int m_connections = 0;
  std::wstring m_clientId, m_operationId, m_serial;
  std::map<std::wstring, std::wstring> m_properties;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  g_browserThread = ::GetCurrentThreadId();
  int first = 1;
  bool com = true;
  if (first < argc && wcscmp(argv[first], L"--no-com") == 0) {
    com = false;
    ++first;
  }
  if (first >= argc) {
    std::printf("usage: xphost [--no-com] <component.dll> commands...\n");
    return 1;
  }
  HRESULT joined = com ? ::OleInitialize(nullptr) : E_FAIL;
  std::printf("browser: %s\n", com ? "single-threaded apartment" : "no COM");
  int status;
  {
    CHost host;
    nsresult rv = host.Load(argv[first]);
    std::printf("load: rv=0x%08lX\n", static_cast<unsigned long>(rv));
    status = NS_SUCCEEDED(rv) ? host.Run(argc, argv, first + 1) : 1;
    host.Unload();
    // Whether this thread still has COM after the module's shutdown.
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    HRESULT probe = ::CoGetApartmentType(&type, &qualifier);
    std::printf("after-unload: com=%s\n", probe == CO_E_NOTINITIALIZED ? "gone" : "kept");
  }
  if (SUCCEEDED(joined)) ::OleUninitialize();
  std::fflush(stdout);
  return status;
}

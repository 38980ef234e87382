// A small client of the service for the cross-process tests and the demo.
// Runs its commands in order, one process, and prints one line per command:
//   create [clsid|progid]  creates the main object out of process (default: clsid)
//   create-retry <ms>      creates it by class id, retrying until it succeeds
//   release                releases it and the last operation
//   connect-null           calls IZembra::Connect with no callback, prints the HRESULT
//   dispid <name>          asks the main object's IDispatch for the name's dispatch id
//   pid                    prints the process ids of the running service programs
//   wait-start <ms>        waits until a service program runs
//   wait-exit <ms>         waits until no service program runs
//   connect                calls IZembra::Connect with a callback that records every call
//   connect-create         the same; inside ConnectCompleted the callback creates an operation
//   connect-hang <method>  the same, but the callback never returns from the first call of
//                          the method (a client that stops answering); the process then ends
//                          without leaving COM
//   wait-hung <ms>         waits until the callback is stuck, prints the method and client id;
//                          later commands use that id
//   wait-connected <ms>    waits for ConnectCompleted, prints the client id
//   subscribe <kind>       subscribes to call, message or events notifications
//   unsubscribe <kind>
//   operation <kind>       creates and begins an operation (devices, contacts, update-contact,
//                          delete-contact, sms, update-sms, delete-sms, send, compose, call, events)
//   wait-operation <ms>    waits for the last operation's OperationCompleted or OperationFailed
//   disconnect             calls IZembra::Disconnect with the client id
//   wait-disconnected <ms> waits for DisconnectCompleted
//   wait-calls <method> <n> <ms>  waits until the callback got n calls of the method
//   fanout <ms>            asks the test service to fan events out to its clients, waits
//   fanout-until <name> <ms>  fans out again and again until the named event is set
//   signal <name>          sets the named manual-reset event
//   wait-event <name> <ms> waits for the named manual-reset event
//   self                   prints this process's id
//   terminate <pid>        ends a process at once (a client that dies)
//   hold <ms>              stays alive (to be ended from outside)
//   wait-device <serial> <state> <ms>  waits for NewDevice or DeviceStateChanged of the
//                          phone with that state (1 connecting, 2 connected, 3 disconnected)
//   devices                prints the device list the last operation returned
//   log                    prints every callback call with its thread and time
//   set <property> <value> sets a property of the next send, compose or call operation
//   call-states            prints the call notifications received: state, serial, number
//   serial <serial>        the phone the next contacts, sms and events operations name
//   contact-new <vcard>    a new contact of the last contact list, with that vCard
//   contact-pick <n>       the last contact list's n-th contact (from 1)
//   contact-vcard <vcard>  sets the picked contact's vCard (\n in the text becomes CRLF)
//   sms-pick <n>           the last message list's n-th message (from 1)
//   sms-status <n>         sets the picked message's status
//   delete-flags <n>       the DeleteFlags of the next delete-sms operation
//                          (update-/delete- operations take the picked contact or message)
//   contacts-print, sms-print, events-print  print the list the last operation returned
//   Notifications are printed as they arrive: "notification: message serial=.. text=.."
//   and "notification: events serial=..".
// Exit code 0 when every command did what it names, 1 otherwise, 2 on a time-out.
// A command that calls the service and gets no answer within a minute ends the
// process with 2 ("<command>: no answer"); whatever the commands left held is
// let go before the process ends, so that the service can end too.
// DIALIX_SERVICE_EXE names the service program pid and wait-* look for.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include "CRecordingCallback.h"
#include "ComTL.h"
#include "SZembra.h"
#include "CLockable.h"
#include "CSyncEvent.h"
#include "CThreadHandle.h"
#include "ProcessProbe.h"
#include "Watchdog.h"
#include "ZCLHandle.h"
#include "ZCLText.h"
#include "ZCLWait.h"

namespace {

std::wstring ServiceProgram() {
  wchar_t name[MAX_PATH] = L"";
  DWORD length = ::GetEnvironmentVariableW(L"DIALIX_SERVICE_EXE", name, MAX_PATH);
  return (length > 0 && length < MAX_PATH) ? name : L"OrvexDialixService.exe";
}

std::vector<DWORD> ServerProcesses() {
  static const std::wstring program = ServiceProgram();
  return ProcessesNamed(program);
}

std::string ProcessList() {
  std::string text;
  for (DWORD id : ServerProcesses()) {
    if (!text.empty()) text += ",";
    text += std::to_string(id);
  }
  return text.empty() ? "none" : text;
}

struct NamedKind {
  const wchar_t* name;
  const IID* iid;
};

const IID* FindKind(const NamedKind* kinds, size_t count, const wchar_t* name) {
  for (size_t i = 0; i < count; ++i)
    if (wcscmp(kinds[i].name, name) == 0) return kinds[i].iid;
  return nullptr;
}

const IID* NotificationKind(const wchar_t* name) {
  static const NamedKind kinds[] = {{L"call", &IID_ICallNotification},
                                    {L"message", &IID_IMessageReceivedNotification},
                                    {L"events", &IID_IEventsUpdatedNotification}};
  return FindKind(kinds, sizeof(kinds) / sizeof(kinds[0]), name);
}

const IID* OperationKind(const wchar_t* name) {
  static const NamedKind kinds[] = {
      {L"devices", &IID_IGetDevicesOperation},     {L"contacts", &IID_IGetContactsOperation},
      {L"update-contact", &IID_IUpdateContactOperation},
      {L"delete-contact", &IID_IDeleteContactOperation},
      {L"sms", &IID_IGetSmsOperation},             {L"update-sms", &IID_IUpdateSmsOperation},
      {L"delete-sms", &IID_IDeleteSmsOperation},   {L"send", &IID_ISendMessageOperation},
      {L"compose", &IID_IComposeMessageOperation}, {L"call", &IID_ICreateCallOperation},
      {L"events", &IID_IGetEventsOperation}};
  return FindKind(kinds, sizeof(kinds) / sizeof(kinds[0]), name);
}

std::wstring Text(const CComBSTR& text) { return text ? std::wstring(text.m_str) : std::wstring(); }

// Prints each message-received and events-updated notification as it
// arrives, then records it as the recording callback does.
class CPrintingCallback : public CRecordingCallback {
public:
  STDMETHOD(Notification)(BSTR id, REFIID kind, ISNotification* notification) override {
    CComQIPtr<IMessageReceivedNotification> message(notification);
    CComQIPtr<IEventsUpdatedNotification> events(notification);
    CComBSTR serial;
    if (message) {
      CComPtr<ISms> sms;
      CComBSTR text;
      message->get_SerialNumber(&serial);
      if (SUCCEEDED(message->get_Message(&sms)) && sms) sms->get_Message(&text);
      std::printf("notification: message serial=%ls text=%ls\n", Text(serial).c_str(), Text(text).c_str());
    } else if (events) {
      events->get_SerialNumber(&serial);
      std::printf("notification: events serial=%ls\n", Text(serial).c_str());
    }
    std::fflush(stdout);
    return CRecordingCallback::Notification(id, kind, notification);
  }
};

// "\n" in a command-line text is a line break of the vCard (CRLF).
CComBSTR VCardArgument(const wchar_t* text) {
  std::wstring card;
  for (const wchar_t* p = text; *p; ++p) {
    if (p[0] == L'\\' && p[1] == L'n') {
      card += L"\r\n";
      ++p;
    } else {
      card += *p;
    }
  }
  return CComBSTR(card.c_str());
}

// How long a call into the service may take before the client gives up on it.
const DWORD kCallBoundMs = 60000;
const DWORD kLeaveComBoundMs = 5000;

// Commands that bound their own waits and make no call the service could hold up.
bool BoundsItself(const std::wstring& command) {
  static const wchar_t* const names[] = {L"hold", L"fanout", L"fanout-until", L"create-retry", L"signal",
                                         L"self", L"terminate", L"pid"};
  if (command.compare(0, 5, L"wait-") == 0) return true;
  for (const wchar_t* name : names)
    if (command == name) return true;
  return false;
}

class CClient {
public:
  bool IsHung() const { return m_hung && ::WaitForSingleObject(m_hung.Get(), 0) == WAIT_OBJECT_0; }

  int Run(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
      std::wstring command = argv[i];
      const wchar_t* argument = (i + 1 < argc) ? argv[i + 1] : nullptr;
      int status;
      if (!BoundsItself(command)) CWatchdog::Instance().Arm(command, kCallBoundMs);
      if (command == L"create") {
        bool byProgId = argument && wcscmp(argument, L"progid") == 0;
        if (argument && (byProgId || wcscmp(argument, L"clsid") == 0)) ++i;
        status = Create(byProgId);
      } else if (command == L"create-retry" && argument) {
        ++i;
        status = CreateRetry(_wtoi(argument));
      } else if (command == L"release") {
        m_operation.Release();
        m_zembra.Release();
        std::printf("release: done\n");
        status = 0;
      } else if (command == L"connect-null") {
        status = ConnectNull();
      } else if (command == L"dispid" && argument) {
        ++i;
        status = DispatchId(argument);
      } else if (command == L"pid") {
        std::printf("pid: %s\n", ProcessList().c_str());
        status = 0;
      } else if (command == L"wait-start" && argument) {
        ++i;
        status = WaitStart(_wtoi(argument));
      } else if (command == L"wait-exit" && argument) {
        ++i;
        status = WaitExit(_wtoi(argument));
      } else if (command == L"connect" || command == L"connect-create") {
        status = Connect(command == L"connect-create");
      } else if (command == L"connect-hang" && argument) {
        ++i;
        status = Connect(false, ZCLWideToUtf8(argument));
      } else if (command == L"wait-hung" && argument) {
        ++i;
        status = WaitHung(_wtoi(argument));
      } else if (command == L"wait-connected" && argument) {
        ++i;
        status = WaitConnected(_wtoi(argument));
      } else if ((command == L"subscribe" || command == L"unsubscribe") && argument) {
        ++i;
        status = Subscribe(command == L"subscribe", argument);
      } else if (command == L"operation" && argument) {
        ++i;
        status = Operation(argument);
      } else if (command == L"operation-probe" && argument) {
        ++i;
        status = OperationProbe(argument);
      } else if (command == L"wait-operation" && argument) {
        ++i;
        status = WaitOperation(_wtoi(argument));
      } else if (command == L"disconnect") {
        status = Disconnect();
      } else if (command == L"wait-disconnected" && argument) {
        ++i;
        status = WaitCalls("DisconnectCompleted", 1, _wtoi(argument));
      } else if (command == L"wait-device" && i + 3 < argc) {
        status = WaitDevice(argv[i + 1], _wtoi(argv[i + 2]), _wtoi(argv[i + 3]));
        i += 3;
      } else if (command == L"devices") {
        status = PrintDevices();
      } else if (command == L"wait-calls" && i + 3 < argc) {
        std::wstring method = argv[i + 1];
        int count = _wtoi(argv[i + 2]);
        int milliseconds = _wtoi(argv[i + 3]);
        i += 3;
        status = WaitCalls(ZCLWideToUtf8(method), count, milliseconds);
      } else if (command == L"fanout" && argument) {
        ++i;
        status = FanOut(_wtoi(argument));
      } else if (command == L"fanout-until" && i + 2 < argc) {
        status = FanOutUntil(argv[i + 1], _wtoi(argv[i + 2]));
        i += 2;
      } else if (command == L"signal" && argument) {
        ++i;
        status = Signal(argument);
      } else if (command == L"wait-event" && i + 2 < argc) {
        status = WaitEvent(argv[i + 1], _wtoi(argv[i + 2]));
        i += 2;
      } else if (command == L"self") {
        std::printf("self: pid=%lu\n", static_cast<unsigned long>(::GetCurrentProcessId()));
        status = 0;
      } else if (command == L"terminate" && argument) {
        ++i;
        status = Terminate(static_cast<DWORD>(_wtoi(argument)));
      } else if (command == L"hold" && argument) {
        ++i;
        std::printf("hold: %ls ms\n", argument);
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(_wtoi(argument)));
        status = 0;
      } else if (command == L"log") {
        PrintLog();
        status = 0;
      } else if (command == L"set" && i + 2 < argc) {
        m_properties.emplace_back(argv[i + 1], argv[i + 2]);
        i += 2;
        status = 0;
      } else if (command == L"call-states") {
        status = PrintCallStates();
      } else if (command == L"serial" && argument) {
        ++i;
        m_serial = argument;
        status = 0;
      } else if (command == L"contact-new" && argument) {
        ++i;
        status = NewContact(argument);
      } else if (command == L"contact-pick" && argument) {
        ++i;
        status = PickContact(_wtoi(argument));
      } else if (command == L"contact-vcard" && argument) {
        ++i;
        HRESULT hr = m_contact ? m_contact->put_VCard(VCardArgument(argument)) : E_POINTER;
        std::printf("contact-vcard: hr=0x%08lX\n", static_cast<unsigned long>(hr));
        status = SUCCEEDED(hr) ? 0 : 1;
      } else if (command == L"sms-pick" && argument) {
        ++i;
        status = PickSms(_wtoi(argument));
      } else if (command == L"sms-status" && argument) {
        ++i;
        HRESULT hr = m_sms ? m_sms->put_Status(_wtoi(argument)) : E_POINTER;
        std::printf("sms-status: hr=0x%08lX\n", static_cast<unsigned long>(hr));
        status = SUCCEEDED(hr) ? 0 : 1;
      } else if (command == L"delete-flags" && argument) {
        ++i;
        m_deleteFlags = _wtoi(argument);
        status = 0;
      } else if (command == L"contacts-print") {
        status = PrintContacts();
      } else if (command == L"sms-print") {
        status = PrintSms();
      } else if (command == L"events-print") {
        status = PrintEvents();
      } else {
        std::printf("unknown command: %ls\n", command.c_str());
        status = 1;
      }
      CWatchdog::Instance().Disarm();
      std::fflush(stdout);
      if (status != 0) return status;
    }
    return 0;
  }

  // Lets go of every object of the service still held (after a failed command)
  // and leaves COM, under the watchdog. Wine's CoUninitialize can wait for
  // ever on a call into this process's callback that has in fact ended (seen
  // when the service let the callback go just as its last call returned):
  // the work is done by then, so the process ends with the run's own status.
  void End(int status) {
    CWatchdog::Instance().Arm(L"release", kCallBoundMs);
    m_contact.Release();
    m_sms.Release();
    m_operation.Release();
    m_zembra.Release();
    m_callback.Release();
    m_recorder = nullptr;
    CWatchdog::Instance().Arm(L"leaving COM", kLeaveComBoundMs, "abandoned", static_cast<UINT>(status));
    ::CoUninitialize();
    CWatchdog::Instance().Disarm();
  }

private:
  int Create(bool byProgId) {
    m_zembra.Release();
    CLSID clsid = CLSID_Zembra;
    HRESULT hr = S_OK;
    if (byProgId) hr = ::CLSIDFromProgID(L"SZembra.Zembra", &clsid);
    if (SUCCEEDED(hr))
      hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                              reinterpret_cast<void**>(&m_zembra));
    std::printf("create: hr=0x%08lX server=%s\n", static_cast<unsigned long>(hr),
                ProcessList().c_str());
    return SUCCEEDED(hr) ? 0 : 1;
  }

  // For a server started by hand: it can be reached once it has registered
  // its class object, which nothing announces.
  int CreateRetry(int milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    HRESULT hr;
    do {
      m_zembra.Release();
      hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                              reinterpret_cast<void**>(&m_zembra));
    } while (FAILED(hr) && ::GetTickCount64() < end && (::Sleep(50), true));
    std::printf("create: hr=0x%08lX server=%s\n", static_cast<unsigned long>(hr),
                ProcessList().c_str());
    return SUCCEEDED(hr) ? 0 : 1;
  }

  int ConnectNull() {
    if (!m_zembra) {
      std::printf("connect-null: no object\n");
      return 1;
    }
    HRESULT hr = m_zembra->Connect(nullptr);
    std::printf("connect-null: hr=0x%08lX\n", static_cast<unsigned long>(hr));
    return 0;
  }

  int DispatchId(const wchar_t* name) {
    if (!m_zembra) {
      std::printf("dispid: no object\n");
      return 1;
    }
    CComBSTR text(name);
    LPOLESTR names[] = {text.m_str};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = m_zembra->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    std::printf("dispid: %ls hr=0x%08lX id=%ld\n", name, static_cast<unsigned long>(hr),
                static_cast<long>(id));
    return SUCCEEDED(hr) ? 0 : 1;
  }

  // Polls: nothing signals a program's start to another process.
  int WaitStart(int milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (ServerProcesses().empty()) {
      if (::GetTickCount64() >= end) {
        std::printf("wait-start: timeout\n");
        return 2;
      }
      ::Sleep(50);
    }
    std::printf("wait-start: running %s\n", ProcessList().c_str());
    return 0;
  }

  int WaitExit(int milliseconds) {
    std::vector<CHandle> processes;
    std::vector<HANDLE> handles;
    for (DWORD id : ServerProcesses()) {
      CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
      if (!process) continue;
      handles.push_back(process.Get());
      processes.push_back(std::move(process));
    }
    DWORD wait = WAIT_OBJECT_0;
    if (!handles.empty())
      wait = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, milliseconds);
    bool exited = wait != WAIT_TIMEOUT && wait != WAIT_FAILED;
    std::printf("wait-exit: %s\n", exited ? "exited" : "timeout");
    return exited ? 0 : 2;
  }

  bool HasObject(const char* command) {
    if (m_zembra) return true;
    std::printf("%s: no object\n", command);
    return false;
  }

  // With a method to hang in, the callback never returns from its first
  // call of it: the stuck call holds a thread of this process for good, and
  // the other threads go on, so the client can still release the service.
  int Connect(bool createInside, const std::string& hangIn = std::string()) {
    if (!HasObject("connect")) return 1;
    if (!hangIn.empty()) {
      m_hung.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
      m_never.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
      if (!m_hung || !m_never) return 1;
    }
    m_callback.Release();
    CComObject<CPrintingCallback>* callback = nullptr;
    HRESULT hr = CComObject<CPrintingCallback>::CreateInstance(&callback);
    if (SUCCEEDED(hr)) {
      m_callback = callback;
      m_recorder = callback;
      if (createInside) callback->CreateInsideConnect(m_zembra);
      if (!hangIn.empty()) {
        HANDLE hung = m_hung.Get(), never = m_never.Get();
        std::string* hungId = &m_hungId;
        std::wstring* hungClient = &m_hungClientId;
        callback->m_inside = [hangIn, hung, never, hungId, hungClient](const CallbackCall& call) {
          if (call.method != hangIn || ::WaitForSingleObject(hung, 0) == WAIT_OBJECT_0) return;
          *hungId = call.method + " id=" + ZCLWideToUtf8(call.clientId);
          *hungClient = call.clientId;
          ::SetEvent(hung);
          ::WaitForSingleObject(never, INFINITE);
        };
      }
      hr = m_zembra->Connect(m_callback);
    }
    // Connect returns first; the id comes later, through ConnectCompleted.
    std::printf("connect: hr=0x%08lX completed-before-return=%d\n", static_cast<unsigned long>(hr),
                m_recorder ? m_recorder->Count("ConnectCompleted") : 0);
    return SUCCEEDED(hr) ? 0 : 1;
  }

  int WaitHung(int milliseconds) {
    if (!m_hung || ::WaitForSingleObject(m_hung.Get(), milliseconds) != WAIT_OBJECT_0) {
      std::printf("hung: timeout\n");
      return 2;
    }
    std::printf("hung: %s\n", m_hungId.c_str());
    if (m_clientId.empty()) m_clientId = m_hungClientId;
    return 0;
  }

  int WaitConnected(int milliseconds) {
    if (!m_recorder || !m_recorder->WaitFor("ConnectCompleted", 1, milliseconds)) {
      std::printf("connected: timeout\n");
      return 2;
    }
    m_clientId = m_recorder->Last("ConnectCompleted").clientId;
    std::printf("connected: id=%ls", m_clientId.c_str());
    if (m_recorder->CreatesInsideConnect())
      std::printf(" create-inside=0x%08lX", static_cast<unsigned long>(m_recorder->InsideResult()));
    std::printf("\n");
    return 0;
  }

  int Subscribe(bool subscribe, const wchar_t* kindName) {
    if (!HasObject("subscribe")) return 1;
    const IID* kind = NotificationKind(kindName);
    if (!kind) {
      std::printf("subscribe: unknown kind %ls\n", kindName);
      return 1;
    }
    CComBSTR id(m_clientId.c_str());
    HRESULT hr = subscribe ? m_zembra->SubscribeNotification(id, *kind)
                           : m_zembra->UnsubscribeNotification(id, *kind);
    std::printf("%s: %ls hr=0x%08lX\n", subscribe ? "subscribe" : "unsubscribe", kindName,
                static_cast<unsigned long>(hr));
    return 0;
  }

  int Operation(const wchar_t* kindName) {
    if (!HasObject("operation")) return 1;
    const IID* kind = OperationKind(kindName);
    if (!kind) {
      std::printf("operation: unknown kind %ls\n", kindName);
      return 1;
    }
    m_operation.Release();
    CComBSTR id(m_clientId.c_str());
    HRESULT created = m_zembra->CreateOperation(id, *kind, &m_operation);
    HRESULT begun = E_POINTER;
    CComBSTR operationId;
    if (SUCCEEDED(created)) {
      m_operation->get_OperationId(&operationId);
      SetItemProperties(m_operation);
      if (!SetProperties()) return 1;
      begun = m_zembra->BeginOperation(m_operation);
    }
    m_operationId = ZCLNullToEmpty(operationId.m_str);
    std::printf("operation: %ls create=0x%08lX begin=0x%08lX id=%ls\n", kindName,
                static_cast<unsigned long>(created), static_cast<unsigned long>(begun),
                m_operationId.c_str());
    return 0;
  }

  // Asks a new operation for an interface id that no proxy can carry, which
  // the service once answered with a pointer that was no interface; then
  // begins it as "operation" does.
  int OperationProbe(const wchar_t* kindName) {
    const IID* kind = OperationKind(kindName);
    if (!HasObject("operation-probe") || !kind) return 1;
    const IID unmarshallable = {
        0x0a3f7c52, 0x61d4, 0x4e1b, {0x9b, 0x6e, 0x5c, 0x2d, 0x8f, 0x4a, 0x7e, 0x19}};
    m_operation.Release();
    CComBSTR id(m_clientId.c_str());
    HRESULT created = m_zembra->CreateOperation(id, *kind, &m_operation);
    HRESULT queried = E_POINTER, begun = E_POINTER;
    CComBSTR operationId;
    if (SUCCEEDED(created)) {
      CComPtr<IUnknown> odd;
      queried = m_operation->QueryInterface(unmarshallable, reinterpret_cast<void**>(&odd));
      m_operation->get_OperationId(&operationId);
      begun = m_zembra->BeginOperation(m_operation);
    }
    m_operationId = operationId ? operationId.m_str : L"";
    std::printf("operation-probe: %ls create=0x%08lX query=0x%08lX begin=0x%08lX id=%ls\n", kindName,
                static_cast<unsigned long>(created), static_cast<unsigned long>(queried),
                static_cast<unsigned long>(begun), m_operationId.c_str());
    return 0;
  }

  // The staged properties of the text operations (send, compose, call).
  bool SetProperties() {
    std::vector<std::pair<std::wstring, std::wstring>> properties;
    properties.swap(m_properties);
    CComQIPtr<ICreateCallOperation> call(m_operation.p);
    CComQIPtr<ISendMessageOperation> send(m_operation.p);
    CComQIPtr<IComposeMessageOperation> compose(m_operation.p);
    for (const auto& p : properties) {
      CComBSTR value(p.second.c_str());
      HRESULT hr = E_INVALIDARG;
      const std::wstring& name = p.first;
      if (call && name == L"SerialNumber") hr = call->put_SerialNumber(value);
      else if (call && name == L"Number") hr = call->put_Number(value);
      else if (send && name == L"SerialNumber") hr = send->put_SerialNumber(value);
      else if (send && name == L"Recipient") hr = send->put_Recipient(value);
      else if (send && name == L"Message") hr = send->put_Message(value);
      else if (compose && name == L"SerialNumber") hr = compose->put_SerialNumber(value);
      else if (compose && name == L"Number") hr = compose->put_Number(value);
      else if (compose && name == L"Message") hr = compose->put_Message(value);
      if (FAILED(hr)) {
        std::printf("set: %ls hr=0x%08lX\n", name.c_str(), static_cast<unsigned long>(hr));
        return false;
      }
    }
    return true;
  }

  int PrintCallStates() {
    if (!m_recorder) return 1;
    for (const CallbackCall& call : m_recorder->Calls())
      if (call.method == "Notification" && call.kind == IID_ICallNotification)
        std::printf("call-state: %d %ls %ls\n", call.state, call.serial.c_str(), call.number.c_str());
    return 0;
  }

  int WaitOperation(int milliseconds) {
    CallbackCall end;
    bool ended = m_recorder && ZCLWaitUntil([&] {
      for (const CallbackCall& call : m_recorder->Calls())
        if ((call.method == "OperationCompleted" || call.method == "OperationFailed") &&
            call.operationId == m_operationId) {
          end = call;
          return true;
        }
      return false;
    }, milliseconds);
    if (!ended) {
      std::printf("operation-result: timeout\n");
      return 2;
    }
    EOperationState state = OperationNotStarted;
    if (m_operation) m_operation->get_OperationState(&state);
    std::printf("operation-result: %s hr=0x%08lX state=%d text=%ls\n", end.method.c_str(),
                static_cast<unsigned long>(end.hr), static_cast<int>(state),
                end.description.c_str());
    return 0;
  }

  int Disconnect() {
    if (!HasObject("disconnect")) return 1;
    CComBSTR id(m_clientId.c_str());
    HRESULT hr = m_zembra->Disconnect(id);
    std::printf("disconnect: hr=0x%08lX\n", static_cast<unsigned long>(hr));
    return 0;
  }

  int WaitDevice(const std::wstring& serial, int state, int milliseconds) {
    CallbackCall change;
    bool seen = m_recorder && ZCLWaitUntil([&] {
      for (const CallbackCall& call : m_recorder->Calls())
        if ((call.method == "NewDevice" || call.method == "DeviceStateChanged") &&
            call.serial == serial && call.state == state) {
          change = call;
          return true;
        }
      return false;
    }, milliseconds);
    if (!seen) {
      std::printf("device-change: timeout %ls state=%d\n", serial.c_str(), state);
      return 2;
    }
    std::printf("device-change: %s serial=%ls state=%d\n", change.method.c_str(),
                change.serial.c_str(), change.state);
    return 0;
  }

  int PrintDevices() {
    CComPtr<IUnknown> data;
    if (!m_operation || FAILED(m_operation->get_OperationData(&data)) || !data) {
      std::printf("devices: none\n");
      return 1;
    }
    CComQIPtr<IDeviceList> list(data.p);
    long count = 0;
    if (!list || FAILED(list->get_Count(&count))) {
      std::printf("devices: not a device list\n");
      return 1;
    }
    std::printf("devices: count=%ld\n", count);
    for (long i = 1; i <= count; ++i) {
      CComPtr<IDevice> device;
      if (FAILED(list->get_Item(i, &device)) || !device) continue;
      CComBSTR serial, model, name, bluetooth;
      EDeviceState state = DeviceDisconnected;
      device->get_SerialNumber(&serial);
      device->get_ModelName(&model);
      device->get_FriendlyName(&name);
      device->get_BluetoothName(&bluetooth);
      device->get_State(&state);
      std::printf("device: serial=%ls model=%ls name=%ls bluetooth=%ls state=%d\n",
                  ZCLNullToEmpty(serial.m_str), ZCLNullToEmpty(model.m_str), ZCLNullToEmpty(name.m_str),
                  ZCLNullToEmpty(bluetooth.m_str), static_cast<int>(state));
    }
    return 0;
  }

  int WaitCalls(const std::string& method, int count, int milliseconds) {
    bool reached = m_recorder && m_recorder->WaitFor(method, count, milliseconds);
    int seen = m_recorder ? m_recorder->Count(method) : 0;
    std::printf("calls: %s=%d%s\n", method.c_str(), seen, reached ? "" : " timeout");
    return reached ? 0 : 2;
  }

  // The test service fans out when its request event is set, and sets the
  // done event once every client was called.
  int FanOut(int milliseconds) {
    CHandle request(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"DialixTestFanOut"));
    CHandle done(::OpenEventW(SYNCHRONIZE, FALSE, L"DialixTestFanOutDone"));
    bool ok = request && done && ::SetEvent(request.Get()) &&
              ::WaitForSingleObject(done.Get(), milliseconds) == WAIT_OBJECT_0;
    std::printf("fanout: %s\n", ok ? "done" : "failed");
    return ok ? 0 : 2;
  }

  int FanOutUntil(const wchar_t* name, int milliseconds) {
    CHandle stop(::CreateEventW(nullptr, TRUE, FALSE, name));
    CHandle request(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"DialixTestFanOut"));
    CHandle done(::OpenEventW(SYNCHRONIZE, FALSE, L"DialixTestFanOutDone"));
    int rounds = 0;
    bool ok = stop && request && done;
    while (ok && ::WaitForSingleObject(stop.Get(), 0) == WAIT_TIMEOUT) {
      ok = ::SetEvent(request.Get()) && ::WaitForSingleObject(done.Get(), milliseconds) == WAIT_OBJECT_0;
      if (ok) ++rounds;
    }
    std::printf("fanout-until: rounds=%d%s\n", rounds, ok ? "" : " failed");
    return ok ? 0 : 2;
  }

  // Whichever side comes first makes the event.
  int Signal(const wchar_t* name) {
    CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name));
    bool ok = event && ::SetEvent(event.Get());
    std::printf("signal: %ls %s\n", name, ok ? "set" : "failed");
    return ok ? 0 : 1;
  }

  int WaitEvent(const wchar_t* name, int milliseconds) {
    CHandle event(::CreateEventW(nullptr, TRUE, FALSE, name));
    bool ok = event && ::WaitForSingleObject(event.Get(), milliseconds) == WAIT_OBJECT_0;
    std::printf("wait-event: %ls %s\n", name, ok ? "set" : "timeout");
    return ok ? 0 : 2;
  }

  int Terminate(DWORD processId) {
    CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    bool ok = process && ::TerminateProcess(process.Get(), 9) &&
              ::WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0;
    std::printf("terminate: %lu %s\n", static_cast<unsigned long>(processId),
                ok ? "ended" : "failed");
    return ok ? 0 : 1;
  }

  void PrintLog() {
    if (!m_recorder) return;
    for (const CallbackCall& call : m_recorder->Calls())
      std::printf("call: %s client=%ls op=%ls hr=0x%08lX thread=%lu ms=%llu%s\n", call.method.c_str(),
                  call.clientId.c_str(), call.operationId.c_str(),
                  static_cast<unsigned long>(call.hr), static_cast<unsigned long>(call.thread),
                  static_cast<unsigned long long>(call.milliseconds),
                  call.serial.empty() ? ""
                                      : (" serial=" + ZCLWideToUtf8(call.serial) + " state=" +
                                         std::to_string(call.state)).c_str());
  }

  // What serial, contact-*, sms-* and delete-flags chose, for the operation
  // about to begin; an operation without such a property is left alone.
  void SetItemProperties(IOperation* op) {
    CComBSTR serial(m_serial.c_str());
    if (!m_serial.empty()) {
      if (CComQIPtr<IGetContactsOperation> contacts = op) contacts->put_SerialNumber(serial);
      if (CComQIPtr<IGetSmsOperation> sms = op) sms->put_SerialNumber(serial);
      if (CComQIPtr<IGetEventsOperation> events = op) events->put_SerialNumber(serial);
    }
    if (m_contact) {
      if (CComQIPtr<IUpdateContactOperation> update = op) update->put_Contact(m_contact);
      if (CComQIPtr<IDeleteContactOperation> remove = op) remove->put_Contact(m_contact);
    }
    if (m_sms) {
      if (CComQIPtr<IUpdateSmsOperation> update = op) update->put_Sms(m_sms);
      if (CComQIPtr<IDeleteSmsOperation> remove = op) remove->put_Sms(m_sms);
    }
    if (CComQIPtr<IDeleteSmsOperation> remove = op) remove->put_DeleteFlags(m_deleteFlags);
  }

  template <class List>
  CComPtr<List> LastList() {
    CComPtr<IUnknown> data;
    if (m_operation) m_operation->get_OperationData(&data);
    CComQIPtr<List> list(data.p);
    return CComPtr<List>(list.p);
  }

  int NewContact(const wchar_t* vcard) {
    CComPtr<IContactList> list = LastList<IContactList>();
    m_contact.Release();
    HRESULT hr = list ? list->CreateContact(&m_contact) : E_POINTER;
    if (SUCCEEDED(hr)) hr = m_contact->put_VCard(VCardArgument(vcard));
    std::printf("contact-new: hr=0x%08lX\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
  }

  int PickContact(long index) {
    CComPtr<IContactList> list = LastList<IContactList>();
    m_contact.Release();
    HRESULT hr = list ? list->get_Item(index, &m_contact) : E_POINTER;
    std::printf("contact-pick: %ld hr=0x%08lX\n", index, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
  }

  int PickSms(long index) {
    CComPtr<ISmsList> list = LastList<ISmsList>();
    m_sms.Release();
    HRESULT hr = list ? list->get_Item(index, &m_sms) : E_POINTER;
    std::printf("sms-pick: %ld hr=0x%08lX\n", index, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
  }

  // The picked item when the last operation was an update or delete,
  // otherwise the list's.
  int PrintContacts() {
    CComPtr<IContactList> list = LastList<IContactList>();
    CComPtr<IUnknown> data;
    if (m_operation) m_operation->get_OperationData(&data);
    CComQIPtr<IContact> single(data.p);
    long count = 0;
    if (!list && !single) {
      std::printf("contacts: none\n");
      return 1;
    }
    if (list) list->get_Count(&count);
    if (list) std::printf("contacts: count=%ld\n", count);
    for (long i = 1; single || i <= count; ++i) {
      CComPtr<IContact> contact = single ? CComPtr<IContact>(single.p) : CComPtr<IContact>();
      if (!single && (FAILED(list->get_Item(i, &contact)) || !contact)) continue;
      CComBSTR dbId, uid, name, photo;
      contact->get_DbId(&dbId);
      contact->get_PhoneId(&uid);
      contact->get_FormattedName(&name);
      contact->get_PhotoPath(&photo);
      std::printf("contact: dbid=%ls uid=%ls name=%ls photo=%ls\n", Text(dbId).c_str(), Text(uid).c_str(),
                  Text(name).c_str(), Text(photo).c_str());
      if (single) break;
    }
    return 0;
  }

  int PrintSms() {
    CComPtr<ISmsList> list = LastList<ISmsList>();
    long count = 0;
    if (!list || FAILED(list->get_Count(&count))) {
      std::printf("sms: none\n");
      return 1;
    }
    std::printf("sms: count=%ld\n", count);
    for (long i = 1; i <= count; ++i) {
      CComPtr<ISms> sms;
      if (FAILED(list->get_Item(i, &sms)) || !sms) continue;
      CComBSTR dbId, uid, text, time, number;
      long status = 0, folder = 0, addresses = 0;
      sms->get_DbId(&dbId);
      sms->get_PhoneId(&uid);
      sms->get_Message(&text);
      sms->get_TimeStamp(&time);
      sms->get_Status(&status);
      sms->get_Folder(&folder);
      CComPtr<IAddressList> list;
      if (SUCCEEDED(sms->get_Addresses(&list)) && list && SUCCEEDED(list->get_Count(&addresses)) &&
          addresses > 0) {
        CComPtr<IAddress> first;
        if (SUCCEEDED(list->get_Item(1, &first)) && first) first->get_Address(&number);
      }
      std::printf("sms: dbid=%ls uid=%ls status=%ld folder=%ld time=%ls number=%ls text=%ls\n",
                  Text(dbId).c_str(), Text(uid).c_str(), status, folder, Text(time).c_str(),
                  Text(number).c_str(), Text(text).c_str());
    }
    return 0;
  }

  int PrintEvents() {
    CComPtr<IEventList> list = LastList<IEventList>();
    long count = 0;
    if (!list || FAILED(list->get_Count(&count))) {
      std::printf("events: none\n");
      return 1;
    }
    std::printf("events: count=%ld\n", count);
    for (long i = 1; i <= count; ++i) {
      CComPtr<IEvent> event;
      if (FAILED(list->get_Item(i, &event)) || !event) continue;
      CComBSTR id, number, name, time;
      long type = 0, direction = 0;
      event->get_Id(&id);
      event->get_Type(&type);
      event->get_Direction(&direction);
      event->get_Number(&number);
      event->get_Name(&name);
      event->get_TimeStamp(&time);
      std::printf("event: id=%ls type=%ld direction=%ld number=%ls name=%ls time=%ls\n", Text(id).c_str(), type,
                  direction, Text(number).c_str(), Text(name).c_str(), Text(time).c_str());
    }
    return 0;
  }

  std::wstring m_serial;
  CComPtr<IContact> m_contact;
  CComPtr<ISms> m_sms;
  long m_deleteFlags = 0;

  CComPtr<IZembra> m_zembra;
  CComPtr<IZembraCallback> m_callback;
  CRecordingCallback* m_recorder = nullptr;  // owned through m_callback
  std::wstring m_clientId;
  CComPtr<IOperation> m_operation;
  std::wstring m_operationId;
  std::vector<std::pair<std::wstring, std::wstring>> m_properties;  // for the next operation
  CHandle m_hung;   // set once the callback is stuck
  CHandle m_never;  // never set: what the stuck callback waits for
  std::string m_hungId;
  std::wstring m_hungClientId;  // written before m_hung is set
};

}  // namespace


int wmain(int argc, wchar_t** argv) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  CClient client;
  int status = client.Run(argc, argv);
  std::fflush(stdout);
  // A callback stuck on purpose holds a thread for good, and leaving COM
  // would wait for it: the process ends here.
  if (client.IsHung()) ::TerminateProcess(::GetCurrentProcess(), status);
  client.End(status);
  return status;
}

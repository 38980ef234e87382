#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "BenchPhone.h"
#include "BenchSupport.h"
#include "CRecordingCallback.h"
#include "ComTL.h"
#include "PhoneWorld.h"
#include "SZembra.h"
#include "ZCLText.h"
#include "ZCLWait.h"

// A phone's contact list read by page script's road and by a plain client,
// in the same run: the scriptable control (the plug-in, in process) lists
// every contact's name and number through its wrappers by late-bound calls,
// as script does; the plain client reads the same list through the service's
// own interfaces. Both go to the real service in its own process, round by
// round in turn. The phone of the simulated world gets the contacts first.
// bench/ie_list_bench.sh prepares the prefix and the registrations.
//   ie_list_timer [contacts] [rounds]

namespace {

const wchar_t kSerial[] = L"IEBENCH-1";
const DWORD kBound = 300000;  // for the phone's sync and each operation

// The name (N) and first number (TEL) of a vCard, as the page shows them.
struct NameAndNumber {
  std::wstring name, number;
};
NameAndNumber Parse(const wchar_t* vcard) {
  NameAndNumber found;
  std::wstring text = ZCLNullToEmpty(vcard);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(at, end - at);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t colon = line.find(L':');
    if (colon != std::wstring::npos) {
      std::wstring key = line.substr(0, line.find_first_of(L";:"));
      if (key == L"N" && found.name.empty()) found.name = line.substr(colon + 1);
      if (key == L"TEL" && found.number.empty()) found.number = line.substr(colon + 1);
    }
    at = end + 1;
  }
  return found;
}

// Each step as it starts, on the error stream (kept with the run's Wine
// messages): a run that stops shows where.
void Progress(const char* what) {
  static const double start = Now();
  fprintf(stderr, "[%6.1f s] %s\n", Now() - start, what);
}

// A late-bound call by name, as a script engine makes it.
CComVariant Late(IDispatch* target, const wchar_t* name, WORD flags, std::vector<CComVariant> args = {}) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  ZCLComThrowOnFail(target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
  std::reverse(args.begin(), args.end());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params = {args.empty() ? nullptr : args.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                       static_cast<UINT>(args.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  CComVariant result;
  ZCLComThrowOnFail(target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, nullptr, nullptr),
                    "Invoke");
  return result;
}
CComPtr<IDispatch> LateObject(IDispatch* target, const wchar_t* name, std::vector<CComVariant> args = {}) {
  CComVariant v = Late(target, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args));
  ZCLComThrowOnFalse(v.vt == VT_DISPATCH && v.pdispVal, E_FAIL, "not an object");
  return CComPtr<IDispatch>(v.pdispVal);
}

// The page's callback object: keeps the client id and the completed
// operations' generic wrappers. The control calls it on this thread only.
class CPageScript : public CComObjectRootEx<CComSingleThreadModel>, public IDispatch {
public:
  BEGIN_COM_MAP(CPageScript)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  std::wstring m_clientId;
  CComPtr<IDispatch> m_completed;

  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    static const wchar_t* const known[] = {L"ConnectCompleted", L"OperationCompleted"};
    for (DISPID i = 0; i < 2; ++i)
      if (wcscmp(names[0], known[i]) == 0) {
        ids[0] = i + 1;
        return S_OK;
      }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    // Arguments arrive last first.
    if (id == 1 && params->cArgs == 1) m_clientId = ZCLNullToEmpty(params->rgvarg[0].bstrVal);
    if (id == 2 && params->cArgs == 3 && params->rgvarg[0].vt == VT_DISPATCH)
      m_completed = params->rgvarg[0].pdispVal;
    return S_OK;
  }
};

class CListBench {
public:
  CListBench(int contacts, int rounds) : m_contacts(contacts), m_rounds(rounds) {}

  int Run() {
    Progress("making the phone");
    if (!MakePhone() || !ConnectPlain() || !PhoneUp()) return Finish();
    CComPtr<IContactList> plain = PlainList();
    CComPtr<IDispatch> wrapped = ControlOperation();
    if (!plain || !wrapped) return Finish();
    LONG count = 0;
    plain->get_Count(&count);
    // When the last object of an interface kind in the service goes, the
    // platform's RPC takes that kind away and waits, without a bound, for the
    // calls of that kind it still counts: under load the service's apartment
    // thread was seen waiting for ever on the release of a contact read a
    // moment before, and the run stalled. One contact held for the whole run
    // keeps the kind in place for both roads alike.
    CComPtr<IContact> keepContactKind;
    Check(SUCCEEDED(plain->get_Item(1, &keepContactKind)), "the first contact could not be read");
    printf("contacts: %ld on the phone, %ld in the service's list; rounds: %d; times in ms\n",
           static_cast<long>(m_contacts), static_cast<long>(count), m_rounds);
    Check(count == m_contacts, "the service's list does not hold the phone's contacts");
    std::vector<double> plainTimes, controlTimes;
    Progress("timing the rounds");
    printf("| round | first   | plain client | control | control / plain |\n");
    printf("|------:|---------|-------------:|--------:|----------------:|\n");
    for (int round = 1; round <= m_rounds; ++round) {
      // Alternated on the one service, each road first in every other
      // round, so that neither has the warmer service.
      bool plainFirst = round % 2 == 1;
      size_t a = 0, b = 0;
      double plainMs = 0, controlMs = 0;
      auto timePlain = [&] {
        double t0 = Now();
        a = ReadPlain(plain);
        plainMs = (Now() - t0) * 1000;
      };
      auto timeControl = [&] {
        double t0 = Now();
        b = ReadThroughControl(wrapped);
        controlMs = (Now() - t0) * 1000;
      };
      if (plainFirst) {
        timePlain();
        timeControl();
      } else {
        timeControl();
        timePlain();
      }
      Check(a == static_cast<size_t>(count) && b == a, "the two roads read different lists");
      plainTimes.push_back(plainMs);
      controlTimes.push_back(controlMs);
      printf("| %5d | %-7s | %12.1f | %7.1f | %15.2f |\n", round, plainFirst ? "plain" : "control", plainMs,
             controlMs, controlMs / plainMs);
    }
    double p = Median(plainTimes), c = Median(controlTimes);
    printf("median: plain client %.1f ms (%.2f ms a contact), control %.1f ms (%.2f ms a contact)\n", p,
           p / count, c, c / count);
    printf("ratio of the medians, control / plain client: %.2f (%+.1f%%; goal: at most +20%%)\n", c / p,
           (c / p - 1) * 100);
    printf("sample: %ls / %ls\n", m_sample.name.c_str(), m_sample.number.c_str());
    return Finish();
  }

private:
  bool MakePhone() {
    PhoneSim::CPhone phone = FreshBenchPhone(m_world, kSerial, L"Listing phone");
    phone.connected = false;
    if (!m_world.PlugPhone(phone)) {
      Check(false, "the phone could not be made");
      return false;
    }
    m_plugged = true;
    for (int i = 0; i < m_contacts; ++i) {
      PhoneSim::CContact contact;
      char vcard[160];
      snprintf(vcard, sizeof(vcard), "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person%04d;Bench\r\nTEL:+35840%07d\r\nEND:VCARD\r\n",
               i, i);
      contact.vcard = vcard;
      m_world.WriteContact(kSerial, contact);
    }
    return true;
  }

  bool ConnectPlain() {
    Progress("creating the service and connecting the plain client");
    CRecordingCallback* recorder = nullptr;
    m_callback = CRecordingCallback::Create(&recorder);
    m_recorder = recorder;
    HRESULT hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                                    reinterpret_cast<void**>(&m_zembra));
    if (SUCCEEDED(hr)) hr = m_zembra->Connect(m_callback);
    if (FAILED(hr) || !ZCLWaitUntil([&] { return m_recorder->Count("ConnectCompleted") > 0; }, 30000)) {
      printf("FAILED: the service could not be created or connected: 0x%08lX\n", static_cast<unsigned long>(hr));
      ++g_failures;
      return false;
    }
    m_clientId = m_recorder->Last("ConnectCompleted").clientId;
    return true;
  }

  // Plugged once a client listens; up once the service has read it.
  bool PhoneUp() {
    Progress("plugging the phone");
    PhoneSim::CPhone phone;
    m_world.ReadPhone(kSerial, &phone);
    phone.connected = true;
    m_world.PlugPhone(phone);
    double start = Now();
    bool up = ZCLWaitUntil([&] {
      for (const CallbackCall& call : m_recorder->Calls())
        if (call.method == "DeviceStateChanged" && call.serial == kSerial && call.state == 2) return true;
      return false;
    }, kBound);
    Check(up, "the phone did not come up in the service");
    if (up) printf("the phone came up in the service in %.1f s\n", Now() - start);
    return up;
  }

  CComPtr<IContactList> PlainList() {
    Progress("listing through the plain client");
    CComPtr<IOperation> op;
    CComBSTR id(m_clientId.c_str()), serial(kSerial);
    HRESULT hr = m_zembra->CreateOperation(id, IID_IGetContactsOperation, &op);
    CComPtr<IGetContactsOperation> contacts;
    if (SUCCEEDED(hr)) hr = op->QueryInterface(IID_IGetContactsOperation, reinterpret_cast<void**>(&contacts));
    if (SUCCEEDED(hr)) hr = contacts->put_SerialNumber(serial);
    if (SUCCEEDED(hr)) hr = m_zembra->BeginOperation(op);
    EOperationState state = OperationNotStarted;
    bool done = SUCCEEDED(hr) && ZCLWaitUntil([&] {
      return SUCCEEDED(op->get_OperationState(&state)) && state >= OperationCompleted;
    }, kBound, 50);
    CComPtr<IUnknown> data;
    CComPtr<IContactList> list;
    if (done && state == OperationCompleted && SUCCEEDED(op->get_OperationData(&data)) && data)
      data->QueryInterface(IID_IContactList, reinterpret_cast<void**>(&list));
    Check(list != nullptr, "the plain client got no contact list");
    return list;
  }

  // The page's road: the control made by its class, connected with the
  // page's callback object; the generic wrapper of the completed operation.
  CComPtr<IDispatch> ControlOperation() {
    Progress("creating and connecting the control");
    CComPtr<IDispatch> control;
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(L"ieOrvexDialix.OrvexDialix", &clsid);
    if (SUCCEEDED(hr))
      hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&control));
    CComObject<CPageScript>* page = nullptr;
    if (SUCCEEDED(hr)) hr = CComObject<CPageScript>::CreateInstance(&page);
    if (FAILED(hr)) {
      Check(false, "the control could not be created");
      return nullptr;
    }
    m_page = page;
    m_pageObject = page;
    m_control = control;
    Late(control, L"Connect", DISPATCH_METHOD, {CComVariant(static_cast<IDispatch*>(page))});
    if (!ZCLWaitUntil([&] { return !page->m_clientId.empty(); }, 30000)) {
      Check(false, "the control did not connect");
      return nullptr;
    }
    Progress("listing through the control");
    CComPtr<IDispatch> op = LateObject(control, L"CreateOperation",
                                       {CComVariant(page->m_clientId.c_str()),
                                        CComVariant(L"IOrvexDialixGetContactsOperation")});
    Late(op, L"SerialNumber", DISPATCH_PROPERTYPUT, {CComVariant(kSerial)});
    Late(control, L"BeginOperation", DISPATCH_METHOD, {CComVariant(static_cast<IDispatch*>(op))});
    bool done = ZCLWaitUntil([&] { return page->m_completed != nullptr; }, kBound);
    Check(done, "the control's operation did not complete");
    return done ? page->m_completed : nullptr;
  }

  size_t ReadPlain(IContactList* list) {
    LONG count = 0;
    list->get_Count(&count);
    size_t read = 0;
    for (LONG i = 1; i <= count; ++i) {
      CComPtr<IContact> contact;
      CComBSTR vcard;
      if (FAILED(list->get_Item(i, &contact)) || FAILED(contact->get_VCard(&vcard))) continue;
      NameAndNumber found = Parse(vcard);
      read += !found.name.empty() && !found.number.empty();
    }
    return read;
  }

  size_t ReadThroughControl(IDispatch* operation) {
    CComPtr<IDispatch> list = LateObject(operation, L"OperationData");
    LONG count = Late(list, L"Count", DISPATCH_PROPERTYGET).lVal;
    size_t read = 0;
    for (LONG i = 1; i <= count; ++i) {
      CComPtr<IDispatch> contact = LateObject(list, L"Item", {CComVariant(i)});
      CComVariant vcard = Late(contact, L"VCard", DISPATCH_PROPERTYGET);
      NameAndNumber found = Parse(vcard.vt == VT_BSTR ? vcard.bstrVal : nullptr);
      read += !found.name.empty() && !found.number.empty();
      if (i == 1) m_sample = found;
    }
    return read;
  }

  // Disconnects both roads, lets the service end and takes the phone away.
  int Finish() {
    Progress("disconnecting");
    if (m_control && m_pageObject && !m_pageObject->m_clientId.empty())
      ZCLGuarded(1, ZCL_SITE, [&] {
        Late(m_control, L"Disconnect", DISPATCH_METHOD, {CComVariant(m_pageObject->m_clientId.c_str())});
      });
    if (m_zembra && !m_clientId.empty()) {
      CComBSTR id(m_clientId.c_str());
      m_zembra->Disconnect(id);
      ZCLWaitUntil([&] { return m_recorder->Count("DisconnectCompleted") > 0; }, 20000);
    }
    m_control.Release();
    m_zembra.Release();
    m_callback.Release();
    if (m_plugged) m_world.RemovePhone(kSerial);
    return g_failures ? 1 : 0;
  }

  const int m_contacts, m_rounds;
  PhoneSim::CPhoneWorld m_world;
  CComPtr<IZembra> m_zembra;
  CComPtr<IZembraCallback> m_callback;
  CRecordingCallback* m_recorder = nullptr;  // owned by m_callback
  std::wstring m_clientId;
  CComPtr<IDispatch> m_control;
  CComPtr<IDispatch> m_page;
  CPageScript* m_pageObject = nullptr;  // owned by m_page
  bool m_plugged = false;
  NameAndNumber m_sample;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  int contacts = argc > 1 ? _wtoi(argv[1]) : 1000;
  int rounds = argc > 2 ? _wtoi(argv[2]) : 7;
  if (contacts < 1) contacts = 1000;
  if (rounds < 1) rounds = 7;
  // The page's thread: an apartment, whose waits serve the callbacks.
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  int status = 1;
  ZCLGuarded(1, ZCL_SITE, [&] {
    CListBench bench(contacts, rounds);
    status = bench.Run();
  });
  ::CoUninitialize();
  return status;
}

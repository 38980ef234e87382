// Hands the service's data objects to another process, as the service hands
// them to its clients, and drives them from there. Two roles, one program:
//   serve <count> <file>   builds a contact list of count contacts for phone
//                          "PEER", registers the proxy/stub library, writes the
//                          marshalled list to the file, starts "client" in a
//                          second process and relays its output
//   client <file> <batch>  takes the list from the file and prints:
//     item-range: zero=0x.. past=0x..    Item(0) and Item(Count+1)
//     item: read=N                       contacts read through Item, six properties each
//     enum: read=N calls=N dispatch=N end=0x..  through _NewEnum, batch at a time
//     time: bare=.. item=.. enum=.. (microseconds per call, per contact, per contact)
// Exit code 0 when the client ran to its end, 1 otherwise.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "CContactList.h"
#include "ComText.h"
#include "SZembra.h"
#include "ZCLHandle.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* RegisterFn)();

// The interfaces cross through the service's own proxy/stub library.
bool RegisterProxy() {
  CModuleHandle library(LoadLibraryW(L"SZembraPS.dll"));
  auto registerServer =
      library ? reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "DllRegisterServer")))
              : nullptr;
  return registerServer && SUCCEEDED(registerServer());
}

bool WriteAll(const std::wstring& path, const void* data, DWORD size) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), data, size, &written, nullptr) && written == size;
}

std::vector<BYTE> ReadAll(const std::wstring& path) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::vector<BYTE> bytes(file ? GetFileSize(file.Get(), nullptr) : 0);
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    bytes.clear();
  return bytes;
}

std::string Card(int i) {
  char text[512];
  snprintf(text, sizeof text,
           "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family%05d;Given%05d\r\nTEL;CELL:+4917%07d\r\n"
           "TEL;HOME:+4930%07d\r\nEMAIL:person%05d@example.org\r\nEND:VCARD\r\n",
           i, i, i, i, i);
  return text;
}

int Serve(int count, const std::wstring& file) {
  if (!RegisterProxy()) {
    fwprintf(stderr, L"serve: the proxy/stub library could not be registered\n");
    return 1;
  }
  CComPtr<CComObject<CContactList>> list = NewComObject<CContactList>();
  if (!list) return 1;
  list->SetSerialNumber(L"PEER");
  for (int i = 0; i < count; ++i) {
    CComPtr<IContact> contact;
    list->CreateContact(&contact);
    std::string card = Card(i);
    std::wstring wide(card.begin(), card.end());
    contact->put_VCard(CComBSTR(wide.c_str()));
    list->AddContact(contact, nullptr);
  }
  CComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return 1;
  if (FAILED(CoMarshalInterface(stream, IID_IContactList, static_cast<IContactList*>(list.p), MSHCTX_LOCAL,
                                nullptr, MSHLFLAGS_NORMAL)))
    return 1;
  HGLOBAL global = nullptr;
  GetHGlobalFromStream(stream, &global);
  const void* data = GlobalLock(global);
  bool written = WriteAll(file, data, static_cast<DWORD>(GlobalSize(global)));
  GlobalUnlock(global);
  if (!written) return 1;

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" client \"" + file + L"\" 100";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return 1;
  CHandle thread(process.hThread), child(process.hProcess);
  // This process serves the list's calls from its own threads meanwhile.
  if (WaitForSingleObject(child.Get(), 1500000) != WAIT_OBJECT_0) {
    TerminateProcess(child.Get(), 2);
    return 1;
  }
  DWORD code = 1;
  GetExitCodeProcess(child.Get(), &code);
  return static_cast<int>(code);
}

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return (to.QuadPart - from.QuadPart) * 1e6 / frequency.QuadPart;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

// The six properties a list view shows of each contact.
bool ReadContact(IContact* contact) {
  BSTR text = nullptr;
  VARIANT_BOOL top = VARIANT_FALSE;
  bool ok = true;
  HRESULT (STDMETHODCALLTYPE IContact::*getters[])(BSTR*) = {&IContact::get_DbId, &IContact::get_PhoneId,
                                                             &IContact::get_VCard, &IContact::get_PhotoPath,
                                                             &IContact::get_FormattedName};
  for (auto getter : getters) {
    ok = ok && SUCCEEDED((contact->*getter)(&text));
    SysFreeString(text);
    text = nullptr;
  }
  return ok && SUCCEEDED(contact->get_TopContact(&top));
}

int Client(const std::wstring& file, ULONG batch) {
  std::vector<BYTE> bytes = ReadAll(file);
  CComPtr<IStream> stream;
  if (bytes.empty() || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return 1;
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  CComPtr<IContactList> list;
  HRESULT hr = CoUnmarshalInterface(stream, IID_IContactList, reinterpret_cast<void**>(&list));
  if (FAILED(hr)) {
    wprintf(L"client: the list could not be taken over (0x%08lX)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  long count = 0;
  LARGE_INTEGER t0 = Now();
  const int bareCalls = 2000;
  for (int i = 0; i < bareCalls; ++i) list->get_Count(&count);
  LARGE_INTEGER t1 = Now();

  CComPtr<IContact> none;
  HRESULT zero = list->get_Item(0, &none), past = list->get_Item(count + 1, &none);
  wprintf(L"item-range: zero=0x%08lX past=0x%08lX\n", static_cast<unsigned long>(zero),
          static_cast<unsigned long>(past));
  fflush(stdout);

  // Wine's server side can hang when a call releases the last stub of an
  // interface while another call on it is still being finished (it waits for
  // that call from inside a call): one contact held for the whole run keeps
  // the contact interface's stub registered.
  CComPtr<IContact> held;
  list->get_Item(1, &held);

  int read = 0;
  LARGE_INTEGER t2 = Now();
  for (long i = 1; i <= count; ++i) {
    CComPtr<IContact> contact;
    if (SUCCEEDED(list->get_Item(i, &contact)) && contact && ReadContact(contact)) ++read;
  }
  LARGE_INTEGER t3 = Now();
  wprintf(L"item: read=%d\n", read);
  fflush(stdout);

  CComPtr<IUnknown> unknown;
  list->get__NewEnum(&unknown);
  CComQIPtr<IEnumVARIANT> enumerator(unknown.p);
  int enumerated = 0, calls = 0, dispatch = 0;
  HRESULT last = E_FAIL;
  std::vector<VARIANT> elements(batch);
  LARGE_INTEGER t4 = Now();
  while (enumerator) {
    ULONG fetched = 0;
    last = enumerator->Next(batch, elements.data(), &fetched);
    ++calls;
    for (ULONG i = 0; i < fetched; ++i) {
      if (elements[i].vt == VT_DISPATCH) {
        ++dispatch;
        CComQIPtr<IContact> contact(elements[i].pdispVal);
        if (contact && ReadContact(contact)) ++enumerated;
      }
      VariantClear(&elements[i]);
    }
    if (last != S_OK) break;
  }
  LARGE_INTEGER t5 = Now();
  wprintf(L"enum: read=%d calls=%d dispatch=%d end=0x%08lX\n", enumerated, calls, dispatch,
          static_cast<unsigned long>(last));
  double perContact = count > 0 ? 1.0 / count : 0;
  wprintf(L"time: bare=%.1f item=%.1f enum=%.1f\n", Microseconds(t0, t1) / bareCalls,
          Microseconds(t2, t3) * perContact, Microseconds(t4, t5) * perContact);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  if (argc == 4 && wcscmp(argv[1], L"serve") == 0) status = Serve(_wtoi(argv[2]), argv[3]);
  if (argc == 4 && wcscmp(argv[1], L"client") == 0) status = Client(argv[2], static_cast<ULONG>(_wtoi(argv[3])));
  fflush(stdout);
  CoUninitialize();
  return status;
}

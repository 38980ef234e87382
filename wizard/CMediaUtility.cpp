#include <windows.h>
#include <memory>
#include "CMediaUtility.h"
#include "CLockable.h"
#include "ComBSTR.h"
#include "ZCLFrame.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const UINT kNotifyMessage = WM_APP + 1;
const wchar_t kWindowClass[] = L"PairwellMediaUtility";

const GUID kMediumIds[4] = {
    {0x45DE04A6, 0x22B9, 0x41A4, {0x98, 0x83, 0x78, 0x8B, 0x69, 0x2A, 0x1E, 0x1F}},
    {0x23399C73, 0x7D90, 0x4EA6, {0xBA, 0x20, 0x54, 0x35, 0xE8, 0x50, 0xF7, 0x9E}},
    GUID_NULL,
    {0x9A34CBAD, 0x3DAB, 0x4439, {0x9D, 0x6E, 0xFE, 0x71, 0x7F, 0x04, 0xC2, 0x24}},
};
const DWORD kMediumMasks[4] = {kMediaInfrared, kMediaCable, kMediaBluetooth, kMediaCable2};
const BYTE kNoMedium = 255;
const BYTE kPluginMedium = 2;

struct KnownPlugin {
  const wchar_t* id;
  UINT textId;
};
const KnownPlugin kKnownPlugins[] = {{L"{931EAAEF-6EC9-4668-A52E-405B4030931A}", 5142},
                                     {L"{7892EA7F-B2EB-4a8f-A52A-AFB9CFC46643}", 5141},
                                     {L"{1C21E39A-50AB-4f15-9FFA-D93152A192F1}", 5143}};

// The utility that registered with the library, and its window. Set and
// cleared on that utility's thread, read on the library's.
CRITICAL_SECTION* RegisteredLock() {
  static CRITICAL_SECTION* lock = [] {
    CRITICAL_SECTION* cs = new CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    return cs;
  }();
  return lock;
}
HWND g_registeredWindow = nullptr;

std::wstring Text(const WCHAR* text) { return text ? text : L""; }

}  // namespace

CMediaUtility::CMediaUtility(bool registerCallback) : m_registers(registerCallback) {
  for (DWORD medium = 0; medium < 4; ++medium) {
    m_mediumMask[medium] = kMediumMasks[medium];
    m_mediumEnabled[medium] = false;
  }
}

CMediaUtility::~CMediaUtility() {
  if (m_window) {
    {
      CCriticalSectionGuard lock(*RegisteredLock());
      if (g_registeredWindow == m_window) g_registeredWindow = nullptr;
    }
    // Copies posted but not handled are freed with their messages.
    MSG msg;
    while (PeekMessageW(&msg, m_window, kNotifyMessage, kNotifyMessage, PM_REMOVE))
      delete reinterpret_cast<std::wstring*>(msg.lParam);
    DestroyWindow(m_window);
  }
  m_manager.Release();
  if (m_handleOpen) LNYXCloseDM(m_handle);
}

bool CMediaUtility::Initialize() {
  bool ok = false;
  ZCLGuarded(2, ZCL_SITE, [&] {
    if (FAILED(CoCreateInstance(CLSID_QorsalConnectionManager, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IQorsalConnectionManager, reinterpret_cast<void**>(&m_manager))))
      return;
    RefreshMedia();
    if (LNYXOpenDM(&m_handle) == 0) {
      m_handleOpen = true;
      QueryDeviceList();
      if (m_registers) {
        HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
        WNDCLASSEXW wc = {sizeof(wc)};
        if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
          wc = WNDCLASSEXW{sizeof(wc)};
          wc.lpfnWndProc = &CMediaUtility::WindowProc;
          wc.hInstance = instance;
          wc.lpszClassName = kWindowClass;
          RegisterClassExW(&wc);
        }
        m_window = CreateWindowExW(0, kWindowClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
        if (m_window) {
          SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
          {
            CCriticalSectionGuard lock(*RegisteredLock());
            g_registeredWindow = m_window;
          }
          LNYXRegisterNotifyCallback(m_handle, TRELK_NOTIFY_REGISTER, &CMediaUtility::NotifyCallback);
        }
      }
    }
    ok = true;
  });
  return ok;
}

// On the library's thread: a copy of the record goes to the registered
// utility's thread; nothing else is touched here.
DWORD CALLBACK CMediaUtility::NotifyCallback(DWORD status, const WCHAR* serial) {
  ZCLGuarded(2, ZCL_SITE, [&] {
    std::unique_ptr<std::wstring> copy(new std::wstring(Text(serial)));
    CCriticalSectionGuard lock(*RegisteredLock());
    if (g_registeredWindow &&
        PostMessageW(g_registeredWindow, kNotifyMessage, status, reinterpret_cast<LPARAM>(copy.get())))
      copy.release();
  });
  return 0;
}

LRESULT CALLBACK CMediaUtility::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kNotifyMessage) return DefWindowProcW(window, msg, wParam, lParam);
  std::unique_ptr<std::wstring> serial(reinterpret_cast<std::wstring*>(lParam));
  CMediaUtility* self = reinterpret_cast<CMediaUtility*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) ZCLGuarded(2, ZCL_SITE, [&] { self->HandleNotification(static_cast<DWORD>(wParam), *serial); });
  return 0;
}

CMediaDevice CMediaUtility::MakeRecord(const LNYX_DEVICE& device) {
  CMediaDevice record;
  record.displayName = Text(device.pstrFriendlyName);
  record.serial = Text(device.pstrSerialNumber);
  record.model = Text(device.pstrModelName);
  DWORD count = device.pConnections ? device.dwNumOfConnections : 0;
  for (DWORD i = 0; i < count && i < kMaxConnections; ++i) {
    const LNYX_CONNECTION_INFO& connection = device.pConnections[i];
    record.media[i] = connection.dwMedia;
    record.deviceIds[i] = connection.dwDeviceId;
    record.states[i] = connection.dwState;
    record.connectionCount = i + 1;
    if (connection.dwMedia == LNYX_MEDIA_BLUETOOTH) {
      if (connection.pstrDeviceName && *connection.pstrDeviceName) record.displayName = connection.pstrDeviceName;
      record.bluetoothAddress = Text(connection.pstrAddress);
    }
  }
  return record;
}

bool CMediaUtility::QueryDeviceList() {
  if (!m_handleOpen) return false;
  bool ok = false;
  ZCLGuarded(2, ZCL_SITE, [&] {
    std::vector<CMediaDevice> devices;
    DWORD count = 0;
    if (LNYXGetDeviceCount(m_handle, &count) != 0) return;
    if (count > 0) {
      std::vector<LNYX_DEVICE> structures(count);
      if (LNYXGetDevices(m_handle, &count, structures.data()) != 0) return;
      for (DWORD i = 0; i < count && i < structures.size(); ++i) devices.push_back(MakeRecord(structures[i]));
      LNYXFreeDeviceStructure(count, structures.data());
    }
    CLockGuard lock(&m_listLock);
    m_devices.swap(devices);
    ok = true;
  });
  return ok;
}

void CMediaUtility::CopyDeviceList(std::vector<CMediaDevice>* devices) {
  QueryDeviceList();
  CLockGuard lock(&m_listLock);
  devices->assign(m_devices.rbegin(), m_devices.rend());
}

namespace {
// Gives the library's search result back on every path.
class CFoundConnections {
public:
  ~CFoundConnections() {
    if (array) LNYXFreeConnectionInfoStructures(count, array);
  }
  DWORD count = 0;
  LNYX_CONNECTION_INFO* array = nullptr;
};
}  // namespace

DWORD CMediaUtility::SearchAvailableDevices(DWORD options, DWORD timeout, CSearchList* list,
                                            LNYX_SEARCH_PROGRESS progress) {
  DWORD result = ELNYX_UNKNOWN_ERROR;
  ZCLGuarded(2, ZCL_SITE, [&] { result = Search(options, timeout, list, progress); });
  return result;
}

DWORD CMediaUtility::Search(DWORD options, DWORD timeout, CSearchList* list, LNYX_SEARCH_PROGRESS progress) {
  CFoundConnections found;
  DWORD result = LNYXSearchDevices(m_handle, options, timeout, progress, &found.count, &found.array);
  if (result != 0) return result;
  LNYXRefreshDeviceList(m_handle, 0);
  for (DWORD i = 0; i < found.count && found.array; ++i) {
    const LNYX_CONNECTION_INFO& connection = found.array[i];
    CSearchEntry entry;
    entry.id = connection.dwDeviceId;
    entry.medium = connection.dwMedia;
    entry.address = Text(connection.pstrAddress);
    entry.name = Text(connection.pstrDeviceName);
    if (entry.name.empty()) entry.name = entry.address;
    if (entry.name.empty()) continue;
    entry.paired = (connection.dwState & 0x2) ? 1 : 0;
    entry.trusted = (connection.dwState & 0x4) ? 1 : 0;
    if (entry.paired)
      list->insert(list->begin(), entry);
    else
      list->push_back(entry);
  }
  return 0;
}

DWORD CMediaUtility::ChangeDeviceTrustedState(DWORD options, const wchar_t* device, const wchar_t* passcode) {
  return LNYXChangeDeviceTrustedState(m_handle, options, device, passcode, nullptr);
}

void CMediaUtility::HandleNotification(DWORD status, const std::wstring& serial) {
  DWORD reason = status & 0xFFFF;
  if (reason == LNYX_DEVICE_UPDATED) {
    DWORD kind = (status >> 16) & 0xFF;
    reason = kind == 1 ? LNYX_DEVICE_ADDED : kind == 2 ? LNYX_DEVICE_REMOVED : LNYX_DEVICE_UPDATED;
  }
  if (reason == LNYX_DEVICE_ADDED && !serial.empty()) {
    LNYX_DEVICE device = {};
    if (LNYXGetDevice(m_handle, serial.c_str(), &device) == 0) {
      if (m_sink) m_sink->OnDeviceArrived(device);
      LNYXFreeDeviceStructure(1, &device);
    }
  } else if (reason == LNYX_DEVICE_ADDED) {
    // A phone without a serial number: its first connection not listed yet.
    std::vector<CMediaDevice> known;
    {
      CLockGuard lock(&m_listLock);
      known = m_devices;
    }
    DWORD count = 0;
    if (LNYXGetDeviceCount(m_handle, &count) == 0 && count > 0) {
      std::vector<LNYX_DEVICE> structures(count);
      if (LNYXGetDevices(m_handle, &count, structures.data()) == 0) {
        bool told = false;
        for (DWORD i = 0; i < count && !told; ++i) {
          const LNYX_DEVICE& device = structures[i];
          if (device.pstrSerialNumber && *device.pstrSerialNumber) continue;
          for (DWORD c = 0; c < device.dwNumOfConnections && device.pConnections && !told; ++c) {
            const LNYX_CONNECTION_INFO& connection = device.pConnections[c];
            bool listed = false;
            for (const CMediaDevice& record : known)
              for (DWORD k = 0; k < record.connectionCount; ++k)
                if (record.deviceIds[k] == connection.dwDeviceId) listed = true;
            if (listed) continue;
            told = true;
            if (connection.dwState == 8 || !m_sink) continue;  // the main dialog's concern
            LNYX_DEVICE single = device;
            LNYX_CONNECTION_INFO only = connection;
            single.dwNumOfConnections = 1;
            single.pConnections = &only;
            m_sink->OnDeviceArrived(single);
          }
        }
        LNYXFreeDeviceStructure(count, structures.data());
      }
    }
  } else if (reason == LNYX_DEVICE_REMOVED) {
    LNYX_DEVICE device = {};
    if (LNYXGetDevice(m_handle, serial.c_str(), &device) == 0) {
      CMediaDevice record = MakeRecord(device);
      LNYXFreeDeviceStructure(1, &device);
      if (m_sink) m_sink->OnDeviceLeft(record.displayName, record.serial);
    } else if (m_sink) {
      m_sink->OnDeviceLeft(L"", L"");
    }
  }
  // An update refreshes the record: the rebuild below does that.
  QueryDeviceList();
}

bool CMediaUtility::ListElements(std::vector<CComPtr<IQorsalConnection>>* elements) {
  elements->clear();
  if (!m_manager) return false;
  SAFEARRAY* array = nullptr;
  if (FAILED(m_manager->GetConnections(&array)) || !array) return false;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    CComPtr<IUnknown> unknown;
    if (FAILED(SafeArrayGetElement(array, &i, &unknown)) || !unknown) continue;
    CComPtr<IQorsalConnection> element;
    unknown->QueryInterface(IID_IQorsalConnection, reinterpret_cast<void**>(&element));
    if (element) elements->push_back(element);
  }
  SafeArrayDestroy(array);
  return true;
}

// The mask is cleared first, so that a failed list leaves no medium behind.
void CMediaUtility::RefreshMedia() {
  m_availableMask = 0;
  std::vector<CComPtr<IQorsalConnection>> elements;
  if (!ListElements(&elements)) return;
  for (auto& element : elements) {
    BYTE medium = kNoMedium;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    if (FAILED(element->GetMedium(&medium)) || medium == kNoMedium || medium > 3) continue;
    element->GetEnabled(&enabled);
    m_availableMask |= m_mediumMask[medium];
    m_mediumEnabled[medium] = enabled != VARIANT_FALSE;
  }
}

bool CMediaUtility::SwitchOn(const GUID& id) { return m_manager && SUCCEEDED(m_manager->EnableConnection(id)); }

bool CMediaUtility::EnableMedium(DWORD maskBit) {
  if (maskBit == kMediaBluetooth) return false;
  RefreshMedia();
  if (!m_manager) return true;
  switch (maskBit) {
    case kMediaInfrared:
      return m_mediumEnabled[0] || SwitchOn(kMediumIds[0]);
    case kMediaCable:
      if (!m_mediumEnabled[1]) SwitchOn(kMediumIds[1]);
      return true;
    case kMediaCable2:
      if (!m_mediumEnabled[3]) SwitchOn(kMediumIds[3]);
      return true;
    default:
      return true;
  }
}

bool CMediaUtility::EnableMediumById(const wchar_t* guidText) {
  GUID id;
  if (!guidText || FAILED(CLSIDFromString(const_cast<LPWSTR>(guidText), &id))) return false;
  return SwitchOn(id);
}

void CMediaUtility::LoadPlugins() {
  m_plugins.clear();
  std::vector<CComPtr<IQorsalConnection>> elements;
  if (!ListElements(&elements)) return;
  for (auto& element : elements) {
    BYTE medium = kNoMedium;
    if (FAILED(element->GetMedium(&medium)) || medium != kPluginMedium) continue;
    CMediaPlugin plugin;
    GUID id = GUID_NULL;
    WCHAR idText[64] = {0};
    if (SUCCEEDED(element->GetId(&id))) StringFromGUID2(id, idText, ARRAYSIZE(idText));
    lstrcpynW(plugin.id, idText, kPluginTextCapacity);
    CComBSTR name;
    element->GetName(&name.m_str);
    std::wstring text = name.m_str ? name.m_str : L"";
    for (const KnownPlugin& known : kKnownPlugins)
      if (lstrcmpiW(known.id, idText) == 0 && m_text) text = m_text(known.textId);
    lstrcpynW(plugin.name, text.c_str(), kPluginTextCapacity);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    element->GetEnabled(&enabled);
    plugin.enabled = enabled != VARIANT_FALSE;
    m_plugins.push_back(plugin);
  }
}

bool CMediaUtility::EnsurePluginEnabled() {
  for (const CMediaPlugin& plugin : m_plugins)
    if (plugin.enabled) return true;
  for (const CMediaPlugin& plugin : m_plugins) EnableMediumById(plugin.id);
  return true;
}

bool CMediaUtility::SetNotifySink(IMediaNotifySink* sink) {
  m_sink = sink;
  return true;
}

bool CMediaUtility::FindConnectionIndex(const CMediaDevice& device, DWORD medium, int* index) {
  for (DWORD i = 0; i < device.connectionCount && i < kMaxConnections; ++i) {
    if (device.media[i] == medium) {
      *index = static_cast<int>(i);
      return true;
    }
  }
  *index = -1;
  return false;
}

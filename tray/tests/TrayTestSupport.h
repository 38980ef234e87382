#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "ZCLHandle.h"
#include "ZCLText.h"

// A folder of its own under the temporary folder, removed with the object.
class CTempFolder {
public:
  CTempFolder() {
    wchar_t base[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    m_path = std::wstring(base) + L"dialix-tray-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(::InterlockedIncrement(&counter));
    ::CreateDirectoryW(m_path.c_str(), nullptr);
    m_path += L"\\";
  }
  ~CTempFolder() {
    std::wstring from = m_path + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
  }
  std::wstring File(const wchar_t* name) const { return m_path + name; }
  const std::wstring& Path() const { return m_path; }

private:
  std::wstring m_path;
};

inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(ZCLWideToAnsi(path.c_str()), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(ZCLWideToAnsi(path.c_str()), std::ios::binary);
  out << bytes;
}

inline bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A HKLM key that tests fill; what it set is removed again, and the key too
// when it made it (other programs' values beside it stay).
class CTestMachineKey {
public:
  explicit CTestMachineKey(const std::wstring& subKey, REGSAM view = 0) : m_subKey(subKey), m_view(view) {
    DWORD disposition = 0;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                      m_key.Put(), &disposition);
    m_created = disposition == REG_CREATED_NEW_KEY;
  }
  ~CTestMachineKey() {
    for (const auto& name : m_names) ::RegDeleteValueW(m_key.Get(), name.empty() ? nullptr : name.c_str());
    m_key.Reset();
    if (m_created) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), m_view, 0);
  }
  void Set(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
    m_names.push_back(name ? name : L"");
    ::RegSetValueExW(m_key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

private:
  std::wstring m_subKey;
  REGSAM m_view;
  bool m_created = false;
  std::vector<std::wstring> m_names;
  CRegistryKey m_key;
};

// Dispatches this thread's messages until the condition holds or the time
// is up; true when it holds.
template <class Predicate>
bool PumpUntil(Predicate done, DWORD milliseconds = 10000) {
  ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                QS_ALLINPUT);
  }
}

// Saves what the screen shows of a window as build/<arch>/screenshots/<name>.png.
void SaveScreenshot(HWND window, const wchar_t* name);
// The screen as a whole.
void SaveScreenScreenshot(const wchar_t* name);

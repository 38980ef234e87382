#include <windows.h>
#include "WizardDialogFixture.h"
#include "ZCLHandle.h"

// One application object per program, as in the wizard itself.
CPairwellApp theApp;

namespace WizardDialogTest {

std::vector<UINT> g_messages;
std::vector<std::wstring> g_boxes;
std::vector<CHelpCall> g_help;

namespace {

const wchar_t kSuiteKey[] = L"SOFTWARE\\Orvex\\Sutrel";

int RecordMessage(HWND, UINT textId, UINT) {
  g_messages.push_back(textId);
  return IDOK;
}

int CALLBACK RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
  g_boxes.push_back(text ? text : L"");
  return IDOK;
}

// No help viewer answers: every call fails, so the whole fallback runs.
HWND RecordHelp(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data) {
  g_help.push_back({owner, file ? file : L"", command, data});
  return nullptr;
}

// The suite's language and theme, set for the run when the prefix has none.
void SetSuiteValue(const wchar_t* name, const wchar_t* value) {
  CRegistryKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSuiteKey, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr, key.Put(),
                      nullptr) != ERROR_SUCCESS)
    return;
  if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return;
  RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

bool Prepared() {
  static bool prepared = [] {
    SetSuiteValue(L"Current Language", L"ENG");
    SetSuiteValue(L"Current resource", L"Default");
    theApp.m_hInstance = GetModuleHandleW(nullptr);
    return theApp.Prepare();
  }();
  return prepared;
}

}  // namespace

CPairwellApp& App() { return theApp; }

void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!AppFxPreTranslate(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
  ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Drain();
  }
  return true;
}

std::wstring ScreenshotFolder() {
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder = folder.substr(0, folder.find_last_of(L'\\'));    // bin
  folder = folder.substr(0, folder.find_last_of(L'\\'));    // the build tree
  folder += L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Fixture::SetUp() {
  ASSERT_TRUE(Prepared()) << "the wizard's modules were not found";
  g_messages.clear();
  g_boxes.clear();
  g_help.clear();
  SetWizardMessageHook(&RecordMessage);
  SetWizardHelpHook(&RecordHelp);
  AppFxSetMessageBox(&RecordBox);
  for (int id = 0; id < CWizardEvents::Count; ++id) ResetEvent(App().Events().Get(static_cast<CWizardEvents::Id>(id)));
  App().m_launchAtEnd = TRUE;
}

void Fixture::TearDown() {
  SetWizardMessageHook(nullptr);
  SetWizardHelpHook(nullptr);
  AppFxSetMessageBox(nullptr);
}

}  // namespace WizardDialogTest

#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "TrayShell.h"

// Stands in for the shell and the message boxes while a test runs: records
// every call and answers as the test says. Window thread only, except for
// the counts, which tests poll.
class CRecordingShell : public ITrayShell {
public:
  struct Execution {
    std::wstring file, parameters, folder;
  };
  struct Box {
    std::wstring text, caption;
    UINT style;
  };
  struct MenuSeen {
    UINT defaultItem;
    UINT wizardState;
  };

  CRecordingShell() { m_before = SetTrayShell(this); }
  ~CRecordingShell() override { SetTrayShell(m_before); }

  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override {
    records.push_back({message, *data});
    return TRUE;
  }
  BOOL TrackMenu(HMENU menu, UINT, int, int, HWND) override {
    menus.push_back({::GetMenuDefaultItem(menu, FALSE, 0), ::GetMenuState(menu, 32774, MF_BYCOMMAND)});
    return TRUE;
  }
  HINSTANCE Execute(HWND, const wchar_t*, const wchar_t* file, const wchar_t* parameters, const wchar_t* folder,
                    int) override {
    executions.push_back({file ? file : L"", parameters ? parameters : L"", folder ? folder : L""});
    return reinterpret_cast<HINSTANCE>(executeResult);
  }
  int ShowMessage(HWND, const wchar_t* text, const wchar_t* caption, UINT style) override {
    boxes.push_back({text ? text : L"", caption ? caption : L"", style});
    return IDOK;
  }

  // The last record sent with the given flag among its flags.
  const NOTIFYICONDATAW* Last(UINT flag) const {
    for (auto it = records.rbegin(); it != records.rend(); ++it)
      if (it->message == NIM_MODIFY && (it->data.uFlags & flag)) return &it->data;
    return nullptr;
  }

  struct Record {
    DWORD message;
    NOTIFYICONDATAW data;
  };
  std::vector<Record> records;
  std::vector<MenuSeen> menus;
  std::vector<Execution> executions;
  std::vector<Box> boxes;
  INT_PTR executeResult = 42;

private:
  ITrayShell* m_before;
};

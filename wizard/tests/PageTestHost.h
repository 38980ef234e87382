#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "CDeviceSearch.h"
#include "CPairwellApp.h"
#include "CWizardPage.h"
#include "FakeConnectionManager.h"
#include "SimTestSupport.h"
#include "ZCLHandle.h"
#include "resource.h"

// The pages' tests stand in for the application and the main dialog: the
// real media utility over a scratch phone world and the test's connection
// manager, the wizard's events and search worker, the language and skin
// modules built beside the tests, and a top-level frame with a Next button
// that counts the Next commands it gets. Records what the pages ask of the
// dialog. Made and used on the test's thread.
class CPageTestHost : public IWizardPageHost {
public:
  // Media the connection manager reports: its medium numbers (0 infrared,
  // 1 cable, 2 Bluetooth, 3 second cable).
  explicit CPageTestHost(std::vector<BYTE> media, CDeviceSearchWorker::UtilityFactory search = {});
  ~CPageTestHost() override;
  bool IsReady() const { return m_ready; }

  std::wstring LanguageString(UINT id) override;
  HFONT TitleFont() override { return m_titleFont; }
  HFONT BoldFont() override { return m_boldFont; }
  HFONT TextFont() override { return m_textFont; }
  HMODULE SkinModule() override { return m_skin.Get(); }
  bool IsRightToLeft() override { return false; }
  CMediaUtility& Media() override { return *m_media; }
  CWizardEvents& Events() override { return m_events; }
  CDeviceSearchWorker& SearchWorker() override { return *m_worker; }
  CSearchResults& SearchResults() override { return m_results; }
  HWND MainWindow() override { return m_frame; }
  int State() override { return state; }
  void CheckSupportNeeded(const CMediaDevice*) override { ++supportChecks; }
  void ShowTroubleshoot() override { ++troubleshoots; }
  bool FindDeviceByAddress(const std::wstring& address, std::wstring* serial) override;
  int ShowMessage(UINT textId, UINT) override {
    messages.push_back(textId);
    return messageAnswer;
  }

  // The window the pages sit in.
  HWND Frame() const { return m_frame; }
  bool IsNextEnabled() const { return IsWindowEnabled(GetDlgItem(m_frame, IDC_NEXT)) != FALSE; }
  static int NextCommands();

  int state = 0;
  int supportChecks = 0;
  int troubleshoots = 0;
  std::vector<UINT> messages;
  int messageAnswer = IDOK;

private:
  bool m_ready = false;
  PhoneSim::Testing::CScratchWorld m_world;
  CFakeConnectionManager m_manager;
  CModuleHandle m_language, m_skin;
  HFONT m_titleFont = nullptr, m_boldFont = nullptr, m_textFont = nullptr;
  std::unique_ptr<CMediaUtility> m_media;
  CWizardEvents m_events;
  CSearchResults m_results;
  std::unique_ptr<CDeviceSearchWorker> m_worker;
  HWND m_frame = nullptr;
};

// Pumps the thread's messages until the condition holds, at most 20 s.
bool PumpUntil(const std::function<bool()>& done);
// Lets the page's posted work run: pumps until the queue is empty.
void PumpPending();
// A PNG of the screen under the screenshot folder, when there is one.
void SavePageScreenshot(const std::wstring& name);

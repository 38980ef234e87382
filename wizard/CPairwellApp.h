#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "AppFxApp.h"
#include "CDeviceSearch.h"
#include "CLockable.h"
#include "CMediaUtility.h"
#include "CResourceLocator.h"
#include "CommandLine.h"
#include "GdiHandles.h"
#include "QorsalDialix.h"
#include "ZCLHandle.h"

// The events the wizard's pages and worker threads meet through, all
// manual-reset and unnamed, and the two texts handed along with them.
// Made on the main thread; the events and the texts may be used from any
// thread (the texts under their own lock).
class CWizardEvents {
public:
  enum Id {
    SearchRequest, DeviceListRequest, SearchDone, SearchFailed, SearchCancel, SearchThreadQuit,
    UnpairRequest, UnpairDone, UnpairFailed, PairRequest, PairDone, PairFailed, WizardCancel, Count
  };
  bool Create();
  HANDLE Get(Id id) const { return m_events[id].Get(); }

  void SetSelectedDeviceAddress(const std::wstring& address);
  std::wstring SelectedDeviceAddress();
  // At most 49 characters are kept.
  void SetPairingPasscode(const std::wstring& passcode);
  std::wstring PairingPasscode();

  static const size_t kPasscodeLimit = 49;

private:
  CHandle m_events[Count];
  CLockable m_lock;  // guards the two texts
  std::wstring m_selectedDeviceAddress;
  std::wstring m_pairingPasscode;
};

// The help file and whether it is there.
struct CPairwellHelp {
  std::wstring path;
  bool present = false;
};

// What every skinned window of the wizard draws with, built once at start.
struct CPairwellSkins {
  CXeluButtonSkin button;
  CXeluBarStaticSkin bar;
  CXeluStaticBitmapSkin messageBackground{3067};
  XELU_BITMAP mirroredBanner = {};  // bitmap 3060, mirrored in a right-to-left language
};

// The wizard program. Built before the entry on the main thread, which runs
// all of it; the activation watcher thread only brings the main window to
// the front.
class CPairwellApp : public CAppFxApp {
public:
  CPairwellApp();
  ~CPairwellApp() override;

  static CPairwellApp* Get();

  BOOL InitInstance() override;
  // Steps 1 to 11 of the run (everything the dialog needs); false when the
  // program is to end at once. Tests call it to build the dialog themselves.
  bool Prepare();
  // What Prepare started, stopped.
  void Finish();
  // Gives the single-instance event up, so that a new start shows a window
  // of its own while this process ends.
  void ReleaseSingleInstance();

  // The single-instance event's name for this program path and mode.
  static std::wstring ActivationEventName(const std::wstring& programPath, bool bluetoothMode);

  // The window the activation watcher brings forward.
  void SetMainWindow(HWND window);
  // Wakes the activation watcher once, as a second start does.
  void BringToFront();

  std::wstring GetLanguageString(UINT id) { return m_locator.GetString(id); }
  std::wstring GetLanguageCode() const { return m_locator.GetLastValue(); }
  std::wstring GetInstallFolder() const { return m_locator.GetProgramFolder(); }
  HMODULE GetSkinModule() const { return m_locator.GetResourceModule(); }
  HMODULE GetLanguageModuleHandle() const { return m_locator.GetLanguageModule(); }
  HFONT GetTitleFont() const { return static_cast<HFONT>(m_titleFont.Get()); }
  HFONT GetBoldFont() const { return static_cast<HFONT>(m_boldFont.Get()); }
  HFONT GetTextFont() const { return static_cast<HFONT>(m_textFont.Get()); }
  CMediaUtility& MediaUtility() { return *m_media; }
  CWizardEvents& Events() { return m_events; }
  // The main dialog starts the worker; the search page reads the results.
  CDeviceSearchWorker& SearchWorker() { return m_searchWorker; }
  CSearchResults& SearchResults() { return m_searchResults; }
  const CPairwellHelp& Help() const { return m_help; }
  const CPairwellSkins& Skins() const { return m_skins; }
  CXeluMessageBox& SkinnedMessageBox() { return m_messageBox; }
  BOOL m_launchAtEnd = TRUE;
  BOOL m_rightToLeft = FALSE;
  BOOL m_busy = FALSE;

private:
  bool TakeSingleInstance(bool bluetoothMode);
  void CreateFonts();
  void DeleteFonts();
  void BuildSkins();

  HRESULT m_com;
  std::wstring m_suiteKey;
  CResourceLocator m_locator;
  CPairwellHelp m_help;
  CGdiObject m_titleFont, m_boldFont, m_textFont;
  std::unique_ptr<CMediaUtility> m_media;
  CWizardEvents m_events;
  CSearchResults m_searchResults;
  CDeviceSearchWorker m_searchWorker{m_events, m_searchResults};  // stopped before the events go
  CHandle m_activation;
  CHandle m_watcherStop;
  CHandle m_watcher;
  CPairwellCommandLine m_commandLine;
  CPairwellSkins m_skins;
  CXeluMessageBox m_messageBox;
  bool m_helpInitialized = false;
  bool m_bound = false;
};

#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "AppFxApp.h"
#include "CMediaUtility.h"
#include "QorsalDialix.h"

class CPairwellDlg;
class CWizardEvents;
class CDeviceSearchWorker;
class CSearchResults;

// What the pages use of the application and of the wizard's frame: the
// program's CPairwellApp and CPairwellDlg, or a test's stand-in. Main thread.
class IWizardPageHost {
public:
  virtual ~IWizardPageHost() = default;
  virtual std::wstring LanguageString(UINT id) = 0;
  virtual HFONT TitleFont() = 0;
  virtual HFONT BoldFont() = 0;
  virtual HFONT TextFont() = 0;
  virtual HMODULE SkinModule() = 0;
  virtual bool IsRightToLeft() = 0;
  virtual CMediaUtility& Media() = 0;
  virtual CWizardEvents& Events() = 0;
  virtual CDeviceSearchWorker& SearchWorker() = 0;
  virtual CSearchResults& SearchResults() = 0;

  virtual HWND MainWindow() = 0;
  virtual int State() = 0;
  virtual void CheckSupportNeeded(const CMediaDevice* device) = 0;
  virtual void ShowTroubleshoot() = 0;
  virtual bool FindDeviceByAddress(const std::wstring& address, std::wstring* serial) = 0;
  // The skinned message: caption 5001, text textId; the pressed button's id.
  virtual int ShowMessage(UINT textId, UINT style) = 0;
};

// The host over the program's application object and main dialog.
std::unique_ptr<IWizardPageHost> MakePairwellPageHost(CPairwellDlg* wizard);

// Puts the text of each (control, language string) pair into the dialog.
struct CPageText {
  int control;
  UINT text;
};
void SetPageTexts(HWND page, IWizardPageHost& host, const CPageText* texts, size_t count);
// Posts Next to the main dialog, as a click on its button would.
void PostNextToWizard(IWizardPageHost& host);

// What every page has: a title in the title font and the skin's colour 600
// with a skinned bar under it, its texts from the language module, and the
// device-arrived handler the media utility calls while the page is its
// notification target. Escape and Enter never end a page: each page's key
// filter says what they do. A page lives on the main thread.
template <class T>
class CWizardPage : public CAppFxDialog<T>, public IMediaNotifySink {
public:
  // Created hidden inside the page area; the dialog is the owner the page
  // calls back.
  HWND CreatePage(HWND pageArea, CPairwellDlg* wizard) {
    m_ownHost = MakePairwellPageHost(wizard);
    return CreatePage(pageArea, m_ownHost.get());
  }
  // The same with a host of the caller's, which outlives the page.
  HWND CreatePage(HWND pageArea, IWizardPageHost* host) {
    m_host = host;
    return this->Create(pageArea);
  }
  void OnDeviceArrived(const LNYX_DEVICE&) override {}
  void OnDeviceLeft(const std::wstring&, const std::wstring&) override {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (IsEscape(msg)) return TRUE;
    return CAppFxDialog<T>::PreTranslateMessage(msg);
  }

  BEGIN_MSG_MAP(CWizardPage)
    COMMAND_ID_HANDLER(IDOK, OnIgnoredCommand)
    COMMAND_ID_HANDLER(IDCANCEL, OnIgnoredCommand)
    MESSAGE_HANDLER(WM_CLOSE, OnIgnoredMessage)
    CHAIN_MSG_MAP(CAppFxDialog<T>)
  END_MSG_MAP()

protected:
  // Skins the title control and puts the bar under it.
  void InitTitle(int titleId) {
    HWND title = this->GetDlgItem(titleId);
    m_title.Attach(title);
    m_title.SetFont(m_host->TitleFont());
    m_title.SetTextColor(SutrelLoadColor(m_host->SkinModule(), 600));
    RECT rect = {};
    ::GetWindowRect(title, &rect);
    ::MapWindowPoints(nullptr, this->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    RECT client = {};
    ::GetClientRect(this->m_hWnd, &client);
    RECT bar = {rect.left, rect.bottom + 2, client.right - rect.left, rect.bottom + 6};
    m_bar.Create(this->m_hWnd, bar, 0xFFFF, &m_barSkin);
  }
  void SetTexts(const CPageText* texts, size_t count) { SetPageTexts(this->m_hWnd, *m_host, texts, count); }
  void SetItemFont(int id, HFONT font) { ::SendMessageW(this->GetDlgItem(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
  // Escape does nothing on any page.
  static bool IsEscape(const MSG* msg) { return msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE; }
  static bool IsEnter(const MSG* msg) { return msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN; }

  IWizardPageHost* m_host = nullptr;
  CXeluStaticCtrl m_title;
  CXeluBarStaticCtrl m_bar;

private:
  LRESULT OnIgnoredCommand(WORD, WORD, HWND, BOOL&) { return 0; }
  LRESULT OnIgnoredMessage(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

  std::unique_ptr<IWizardPageHost> m_ownHost;
  CXeluBarStaticSkin m_barSkin{3027};
};

// The cable and infrared pages: wait for a phone of the expected media, with
// a page timer that shows the troubleshoot dialog while the wizard is still
// in the waiting state.
template <class T>
class CPhoneWaitPage : public CWizardPage<T> {
public:
  void StartWaiting(HWND mainWindow) {
    m_mainWindow = mainWindow;
    this->m_host->Media().SetNotifySink(this);
    ::SetTimer(this->m_hWnd, kWaitTimer, T::kWaitMilliseconds, nullptr);
    m_animation.StartAnimation();
  }
  void StopWaiting() {
    ::KillTimer(this->m_hWnd, kWaitTimer);
    m_animation.StopAnimation();
  }
  bool IsAnimating() const { return m_animation.IsAnimating() != FALSE; }

  void OnDeviceArrived(const LNYX_DEVICE& device) override {
    ::KillTimer(this->m_hWnd, kWaitTimer);
    if (!HasExpectedMedia(device)) {
      if (this->m_host->ShowMessage(5203, MB_YESNO | MB_ICONWARNING) != IDYES) return;  // waits on, untimed
    }
    m_animation.StopAnimation();
    this->m_host->Media().SetNotifySink(nullptr);
    // The dialog does not read the record.
    this->m_host->CheckSupportNeeded(nullptr);
  }

  BEGIN_MSG_MAP(CPhoneWaitPage)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    CHAIN_MSG_MAP(CWizardPage<T>)
  END_MSG_MAP()

protected:
  void InitAnimation(int placeId, UINT first, UINT last, UINT frameMilliseconds) {
    m_animationSkin = CXeluAniStaticSkin(first, last, frameMilliseconds);
    m_animation.Attach(this->GetDlgItem(placeId), &m_animationSkin);
  }

private:
  enum { kWaitTimer = 1 };
  bool HasExpectedMedia(const LNYX_DEVICE& device) const {
    for (DWORD i = 0; device.pConnections && i < device.dwNumOfConnections; ++i)
      for (DWORD media : T::kExpectedMedia)
        if (media && device.pConnections[i].dwMedia == media) return true;
    return false;
  }
  LRESULT OnTimer(UINT, WPARAM timer, LPARAM, BOOL& handled) {
    if (timer != kWaitTimer) {
      handled = FALSE;
      return 0;
    }
    ::KillTimer(this->m_hWnd, kWaitTimer);
    if (this->m_host->State() == T::kWaitState) this->m_host->ShowTroubleshoot();
    return 0;
  }

  HWND m_mainWindow = nullptr;
  CXeluAniStaticSkin m_animationSkin;
  CXeluAniStaticCtrl m_animation;
};

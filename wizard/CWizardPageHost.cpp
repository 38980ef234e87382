#include <windows.h>
#include "CPairwellApp.h"
#include "CPairwellDlg.h"
#include "CWizardPage.h"
#include "WizardMessage.h"

namespace {

class CPairwellPageHost : public IWizardPageHost {
public:
  explicit CPairwellPageHost(CPairwellDlg* wizard) : m_wizard(wizard) {}

  std::wstring LanguageString(UINT id) override { return App().GetLanguageString(id); }
  HFONT TitleFont() override { return App().GetTitleFont(); }
  HFONT BoldFont() override { return App().GetBoldFont(); }
  HFONT TextFont() override { return App().GetTextFont(); }
  HMODULE SkinModule() override { return App().GetSkinModule(); }
  bool IsRightToLeft() override { return App().m_rightToLeft != FALSE; }
  CMediaUtility& Media() override { return App().MediaUtility(); }
  CWizardEvents& Events() override { return App().Events(); }
  CDeviceSearchWorker& SearchWorker() override { return App().SearchWorker(); }
  CSearchResults& SearchResults() override { return App().SearchResults(); }

  HWND MainWindow() override { return m_wizard->m_hWnd; }
  int State() override { return m_wizard->GetState(); }
  void CheckSupportNeeded(const CMediaDevice* device) override { m_wizard->CheckSupportNeeded(device); }
  void ShowTroubleshoot() override { m_wizard->ShowTroubleshoot(); }
  bool FindDeviceByAddress(const std::wstring& address, std::wstring* serial) override {
    return m_wizard->FindDeviceByAddress(address, serial);
  }
  int ShowMessage(UINT textId, UINT style) override { return ShowWizardMessage(m_wizard->m_hWnd, textId, style); }

private:
  static CPairwellApp& App() { return *CPairwellApp::Get(); }
  CPairwellDlg* m_wizard;
};

}  // namespace

std::unique_ptr<IWizardPageHost> MakePairwellPageHost(CPairwellDlg* wizard) {
  return std::unique_ptr<IWizardPageHost>(new CPairwellPageHost(wizard));
}

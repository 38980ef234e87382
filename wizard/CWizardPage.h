#pragma once
#include <windows.h>
#include "AppFxApp.h"
#include "CMediaUtility.h"
#include "QorsalDialix.h"

class CPairwellDlg;

// What every page has: a title in the title font and the skin's colour 600
// with a skinned bar under it, its texts from the language module, and the
// device-arrived handler the media utility calls while the page is its
// notification target. A page lives on the main thread.
template <class T>
class CWizardPage : public CAppFxDialog<T>, public IMediaNotifySink {
public:
  // Created hidden inside the page area; the dialog is the owner the page
  // calls back.
  HWND CreatePage(HWND pageArea, CPairwellDlg* wizard) {
    m_wizard = wizard;
    return this->Create(pageArea);
  }
  void OnDeviceArrived(const LNYX_DEVICE&) override {}
  void OnDeviceLeft(const std::wstring&, const std::wstring&) override {}

protected:
  CPairwellDlg* m_wizard = nullptr;
  CXeluStaticCtrl m_title;
  CXeluBarStaticCtrl m_bar;
};

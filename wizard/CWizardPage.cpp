#include <windows.h>
#include "CWizardPage.h"
#include "resource.h"

void SetPageTexts(HWND page, IWizardPageHost& host, const CPageText* texts, size_t count) {
  for (size_t i = 0; i < count; ++i)
    SetDlgItemTextW(page, texts[i].control, host.LanguageString(texts[i].text).c_str());
}

void PostNextToWizard(IWizardPageHost& host) {
  HWND main = host.MainWindow();
  if (main) PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_NEXT)));
}

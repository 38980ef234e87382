#include <windows.h>
#include <htmlhelp.h>
#include "WizardMessage.h"
#include "AppFxControls.h"
#include "CPairwellApp.h"
#include "resource.h"

namespace {

WizardMessageHook g_messageHook = nullptr;
WizardHelpHook g_helpHook = nullptr;

HWND CallHelp(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data) {
  return g_helpHook ? g_helpHook(owner, file, command, data) : AppFxHtmlHelp(owner, file, command, data);
}

}  // namespace

WizardMessageHook SetWizardMessageHook(WizardMessageHook hook) {
  WizardMessageHook previous = g_messageHook;
  g_messageHook = hook;
  return previous;
}

int ShowWizardMessage(HWND owner, UINT textId, UINT style) {
  if (g_messageHook) return g_messageHook(owner, textId, style);
  CPairwellApp* app = CPairwellApp::Get();
  if (!app) return IDCANCEL;
  std::wstring text = app->GetLanguageString(textId);
  std::wstring caption = app->GetLanguageString(IDS_CAPTION);
  return app->SkinnedMessageBox().Show(owner, text.c_str(), caption.c_str(), style);
}

WizardHelpHook SetWizardHelpHook(WizardHelpHook hook) {
  WizardHelpHook previous = g_helpHook;
  g_helpHook = hook;
  return previous;
}

void ShowWizardHelp(DWORD context) {
  CPairwellApp* app = CPairwellApp::Get();
  if (!app) return;
  const wchar_t* file = app->Help().path.c_str();
  CallHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
  if (CallHelp(nullptr, file, HH_HELP_CONTEXT, context)) return;
  if (CallHelp(GetDesktopWindow(), file, HH_DISPLAY_TOPIC, 0)) return;
  app->MessageBox(app->GetLanguageString(IDS_HELP_MISSING).c_str(), MB_OK | MB_ICONERROR);
}

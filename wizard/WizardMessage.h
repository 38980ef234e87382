#pragma once
#include <windows.h>

// The wizard's skinned message box: caption language string 5001, text
// language string textId, owned by the main window; the pressed button's id.
// Tests replace the box to answer without a window.
int ShowWizardMessage(HWND owner, UINT textId, UINT style = MB_OK | MB_ICONERROR);
typedef int (*WizardMessageHook)(HWND owner, UINT textId, UINT style);
WizardMessageHook SetWizardMessageHook(WizardMessageHook hook);

// Help for a context of the help file: HTML help's context command without
// an owner, then the file's default topic over the desktop, then language
// string 5501 in the framework's message box. A help window opened before is
// closed first. Tests replace the help call.
void ShowWizardHelp(DWORD context);
typedef HWND (*WizardHelpHook)(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data);
WizardHelpHook SetWizardHelpHook(WizardHelpHook hook);

#pragma once
#include <windows.h>

// The wizard's skinned message box: caption language string 5001, text
// language string textId, owned by the main window; the pressed button's id.
// Tests replace the box to answer without a window.
int ShowWizardMessage(HWND owner, UINT textId, UINT style = MB_OK | MB_ICONERROR);
typedef int (*WizardMessageHook)(HWND owner, UINT textId, UINT style);
WizardMessageHook SetWizardMessageHook(WizardMessageHook hook);

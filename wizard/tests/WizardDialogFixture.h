#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>
#include "AppFxApp.h"
#include "CPairwellApp.h"
#include "WizardMessage.h"

// The wizard's application object, prepared once for the dialog tests with
// the suite's modules built beside them, and the seams they answer through:
// skinned messages, the framework's message box and help are recorded, never
// shown.
namespace WizardDialogTest {

struct CHelpCall {
  HWND owner;
  std::wstring file;
  UINT command;
  DWORD_PTR data;
};

extern std::vector<UINT> g_messages;
extern std::vector<std::wstring> g_boxes;
extern std::vector<CHelpCall> g_help;

CPairwellApp& App();
// Runs the thread's messages until the condition holds or the bound passes.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 30000);
// Handles every message already queued.
void Drain();
// The build tree's screenshots folder, made when missing.
std::wstring ScreenshotFolder();

class Fixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  std::wstring Text(UINT id) { return App().GetLanguageString(id); }
};

}  // namespace WizardDialogTest

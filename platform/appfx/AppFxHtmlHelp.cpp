#include <windows.h>
#include <htmlhelp.h>
#include <string>
#include "AppFxControls.h"
#include "ZCLHandle.h"

// The platform's HTML help viewer, loaded when the program starts and
// released when it ends. Used on the program's main thread only.

namespace {

typedef HWND(WINAPI* HtmlHelpFn)(HWND, LPCWSTR, UINT, DWORD_PTR);

struct CHelpViewer {
  CModuleHandle library;
  HtmlHelpFn htmlHelp = nullptr;
  DWORD_PTR cookie = 0;
};

CHelpViewer g_viewer;

}  // namespace

bool AppFxHtmlHelpInitialize() {
  if (g_viewer.htmlHelp) return true;
  CModuleHandle library(::LoadLibraryW(L"hhctrl.ocx"));
  if (!library) return false;
  HtmlHelpFn htmlHelp = reinterpret_cast<HtmlHelpFn>(::GetProcAddress(library.Get(), "HtmlHelpW"));
  if (!htmlHelp) return false;
  // The viewer hands out a cookie that its uninitialisation takes back; a
  // viewer that keeps no such state answers without one and still works.
  DWORD_PTR cookie = 0;
  htmlHelp(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&cookie));
  g_viewer.library = std::move(library);
  g_viewer.htmlHelp = htmlHelp;
  g_viewer.cookie = cookie;
  return true;
}

void AppFxHtmlHelpUninitialize() {
  if (!g_viewer.htmlHelp) return;
  g_viewer.htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
  g_viewer.htmlHelp(nullptr, nullptr, HH_UNINITIALIZE, g_viewer.cookie);
  g_viewer.htmlHelp = nullptr;
  g_viewer.cookie = 0;
  g_viewer.library.Reset();
}

HWND AppFxHtmlHelp(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data) {
  if (!g_viewer.htmlHelp) return nullptr;
  return g_viewer.htmlHelp(owner, file, command, data);
}

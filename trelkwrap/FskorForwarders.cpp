#include <windows.h>
#include "TrelkBinding.h"

// The file-system family under the library's own names, for the programs that
// bind it at run time: each entry is looked up in the loaded library on every
// call and its arguments are passed on unchanged.

using Trelk::FSKORBinding;

#define FSKOR_FORWARD(entry, ...) FSKORBinding().Forward<decltype(&entry)>(#entry, ##__VA_ARGS__)
#define FSKOR_FORWARDER_1(name) \
  DWORD WINAPI name(DWORD_PTR a) { return FSKOR_FORWARD(name, a); }
#define FSKOR_FORWARDER_2(name) \
  DWORD WINAPI name(DWORD_PTR a, DWORD_PTR b) { return FSKOR_FORWARD(name, a, b); }
#define FSKOR_FORWARDER_3(name) \
  DWORD WINAPI name(DWORD_PTR a, DWORD_PTR b, DWORD_PTR c) { return FSKOR_FORWARD(name, a, b, c); }
#define FSKOR_FORWARDER_4(name)                                          \
  DWORD WINAPI name(DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d) { \
    return FSKOR_FORWARD(name, a, b, c, d);                              \
  }
#define FSKOR_FORWARDER_5(name)                                                       \
  DWORD WINAPI name(DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d, DWORD_PTR e) { \
    return FSKOR_FORWARD(name, a, b, c, d, e);                                        \
  }

DWORD WINAPI FSKOR_Initialize(DWORD v, DWORD r) { return FSKORBinding().Initialize(v, r); }
DWORD WINAPI FSKOR_Terminate(DWORD r) { return FSKORBinding().Terminate(r); }
DWORD WINAPI FSKOR_GetAPIVersion() { return FSKOR_FORWARD(FSKOR_GetAPIVersion); }

DWORD WINAPI LNYXOpenFS(const WCHAR* a, DWORD b, DWORD* c, DWORD* d) { return FSKOR_FORWARD(LNYXOpenFS, a, b, c, d); }
DWORD WINAPI LNYXCloseFS(DWORD a) { return FSKOR_FORWARD(LNYXCloseFS, a); }
DWORD WINAPI LNYXInstallApplication(DWORD a, DWORD b, const WCHAR* const* c, DWORD d, DWORD e, DWORD f) {
  return FSKOR_FORWARD(LNYXInstallApplication, a, b, c, d, e, f);
}
DWORD WINAPI LNYXGetFolderInfo(DWORD_PTR a, DWORD_PTR b, DWORD_PTR c, DWORD_PTR d, DWORD_PTR e, DWORD_PTR f) {
  return FSKOR_FORWARD(LNYXGetFolderInfo, a, b, c, d, e, f);
}

// No memory when the library is missing or lacks the entry: null, not a code.
void* WINAPI LNYXAllocFileDataMemory(DWORD_PTR a) {
  return FSKORBinding().ForwardOr<decltype(&LNYXAllocFileDataMemory), void*>(nullptr, "LNYXAllocFileDataMemory", a);
}

FSKOR_FORWARDER_3(LNYXRegisterFSNotifyCallback)
FSKOR_FORWARDER_3(LNYXRegisterFSNotifyIF)
FSKOR_FORWARDER_1(LNYXRefreshDeviceMemoryValues)
FSKOR_FORWARDER_2(LNYXGetMemoryTypes)
FSKOR_FORWARDER_5(LNYXGetMemoryValues)
FSKOR_FORWARDER_2(LNYXSetCurrentFolder)
FSKOR_FORWARDER_2(LNYXGetCurrentFolder)
FSKOR_FORWARDER_4(LNYXFindBegin)
FSKOR_FORWARDER_2(LNYXFindNextFolder)
FSKOR_FORWARDER_2(LNYXFindNextFile)
FSKOR_FORWARDER_1(LNYXFindEnd)
FSKOR_FORWARDER_1(LNYXFreeFolderInfoStructure)
FSKOR_FORWARDER_3(LNYXGetConvertFileTypes)
FSKOR_FORWARDER_3(LNYXCreateFolder)
FSKOR_FORWARDER_4(LNYXDeleteFolder)
FSKOR_FORWARDER_4(LNYXRenameFolder)
FSKOR_FORWARDER_4(LNYXGetFileInfo)
FSKOR_FORWARDER_3(LNYXDeleteFile)
FSKOR_FORWARDER_5(LNYXMoveFile)
FSKOR_FORWARDER_5(LNYXCopyFile)
FSKOR_FORWARDER_4(LNYXRenameFile)
FSKOR_FORWARDER_5(LNYXReadFile)
FSKOR_FORWARDER_4(LNYXWriteFile)
FSKOR_FORWARDER_1(LNYXCancel)
FSKOR_FORWARDER_1(LNYXFreeFileInfoStructure)
FSKOR_FORWARDER_1(LNYXFreeFolderContentStructure)
FSKOR_FORWARDER_1(LNYXFreeFileDataMemory)
FSKOR_FORWARDER_4(LNYXConvertFile)
FSKOR_FORWARDER_2(LNYXFreeConvertFileTypes)

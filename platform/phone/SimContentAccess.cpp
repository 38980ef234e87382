#include <windows.h>
#include <new>
#include "SimCore.h"

// The content-access family of the simulated library (Dorrax.dll).
// Counted initialisation now; its calls answer "not implemented" until its
// simulation joins the core.

using namespace PhoneSim;

namespace {

CSimFamily& ContentAccess() {
  static CSimFamily* family = new CSimFamily();
  return *family;
}

}  // namespace

DWORD WINAPI Tessim_Initialize(DWORD dwAPIVersion, DWORD) {
  try {
    if (dwAPIVersion > 31) return ELNYX_UNSUPPORTED_API_VERSION;
    return ContentAccess().Initialize("Tessim_Initialize");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI Tessim_Terminate(DWORD) {
  try {
    return ContentAccess().Terminate("Tessim_Terminate");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimGetAPIVersion() { return 31; }

DWORD WINAPI DorraxOpenTessim(const WCHAR*, DWORD*, DWORD, DWORD*) {
  try {
    SIM_ENTRY(ContentAccess(), "DorraxOpenTessim");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI DorraxCloseTessim(DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "DorraxCloseTessim");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimGetFolderInfo(DWORD, TESSIM_FOLDER_INFO*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimGetFolderInfo");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFreeFolderInfoStructure(TESSIM_FOLDER_INFO*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFreeFolderInfoStructure");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimGetIDList(DWORD, DWORD, DWORD, TESSIM_ID_LIST*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimGetIDList");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFreeIdListStructure(TESSIM_ID_LIST*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFreeIdListStructure");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimBeginOperation(DWORD, DWORD, DWORD*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimBeginOperation");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimReadItem(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD, void*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimReadItem");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimWriteItem(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD, void*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimWriteItem");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimDeleteItem(DWORD, TESSIM_ITEM_ID*, DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimDeleteItem");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimWriteField(DWORD, TESSIM_ITEM_ID*, DWORD, void*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimWriteField");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimDeleteField(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimDeleteField");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimCommitOperations(DWORD, TESSIM_ID_LIST*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimCommitOperations");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimEndOperation(DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimEndOperation");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFreeItemData(DWORD, DWORD, void*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFreeItemData");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimRegisterNotifyCallback(DWORD, DWORD, TESSIM_NOTIFY_CALLBACK) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimRegisterNotifyCallback");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimRegisterOperationCallback(DWORD, DWORD, TESSIM_OPERATION_CALLBACK) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimRegisterOperationCallback");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimRegisterNotifyIF(DWORD, DWORD, ITessimNotify*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimRegisterNotifyIF");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimRegisterOperationNotifyIF(DWORD, DWORD, ITessimOperationNotify*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimRegisterOperationNotifyIF");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFindBegin(DWORD, DWORD, const WCHAR*, DWORD*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFindBegin");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFindNext(DWORD, DWORD, TESSIM_ITEM_ID*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFindNext");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimFindEnd(DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimFindEnd");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimGetFolderPath(DWORD, DWORD, WCHAR**) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimGetFolderPath");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimCreateFolder(DWORD, DWORD, const WCHAR*) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimCreateFolder");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI TessimDeleteFolder(DWORD, DWORD) {
  try {
    SIM_ENTRY(ContentAccess(), "TessimDeleteFolder");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

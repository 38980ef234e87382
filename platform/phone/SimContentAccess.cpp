#include <windows.h>
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

SIM_FAMILY_LIFETIME(ContentAccess(), Tessim_Initialize, Tessim_Terminate, 31)

DWORD WINAPI TessimGetAPIVersion() { return 31; }
DWORD WINAPI DorraxOpenTessim(const WCHAR*, DWORD*, DWORD, DWORD*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "DorraxOpenTessim")
DWORD WINAPI DorraxCloseTessim(DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "DorraxCloseTessim")
DWORD WINAPI TessimGetFolderInfo(DWORD, TESSIM_FOLDER_INFO*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimGetFolderInfo")
DWORD WINAPI TessimFreeFolderInfoStructure(TESSIM_FOLDER_INFO*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFreeFolderInfoStructure")
DWORD WINAPI TessimGetIDList(DWORD, DWORD, DWORD, TESSIM_ID_LIST*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimGetIDList")
DWORD WINAPI TessimFreeIdListStructure(TESSIM_ID_LIST*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFreeIdListStructure")
DWORD WINAPI TessimBeginOperation(DWORD, DWORD, DWORD*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimBeginOperation")
DWORD WINAPI TessimReadItem(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD, void*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimReadItem")
DWORD WINAPI TessimWriteItem(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD, void*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimWriteItem")
DWORD WINAPI TessimDeleteItem(DWORD, TESSIM_ITEM_ID*, DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimDeleteItem")
DWORD WINAPI TessimWriteField(DWORD, TESSIM_ITEM_ID*, DWORD, void*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimWriteField")
DWORD WINAPI TessimDeleteField(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimDeleteField")
DWORD WINAPI TessimCommitOperations(DWORD, TESSIM_ID_LIST*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimCommitOperations")
DWORD WINAPI TessimEndOperation(DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimEndOperation")
DWORD WINAPI TessimFreeItemData(DWORD, DWORD, void*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFreeItemData")
DWORD WINAPI TessimRegisterNotifyCallback(DWORD, DWORD, TESSIM_NOTIFY_CALLBACK)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterNotifyCallback")
DWORD WINAPI TessimRegisterOperationCallback(DWORD, DWORD, TESSIM_OPERATION_CALLBACK)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterOperationCallback")
DWORD WINAPI TessimRegisterNotifyIF(DWORD, DWORD, ITessimNotify*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterNotifyIF")
DWORD WINAPI TessimRegisterOperationNotifyIF(DWORD, DWORD, ITessimOperationNotify*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimRegisterOperationNotifyIF")
DWORD WINAPI TessimFindBegin(DWORD, DWORD, const WCHAR*, DWORD*)
    SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindBegin")
DWORD WINAPI TessimFindNext(DWORD, DWORD, TESSIM_ITEM_ID*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindNext")
DWORD WINAPI TessimFindEnd(DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimFindEnd")
DWORD WINAPI TessimGetFolderPath(DWORD, DWORD, WCHAR**) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimGetFolderPath")
DWORD WINAPI TessimCreateFolder(DWORD, DWORD, const WCHAR*) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimCreateFolder")
DWORD WINAPI TessimDeleteFolder(DWORD, DWORD) SIM_NOT_IMPLEMENTED(ContentAccess(), "TessimDeleteFolder")

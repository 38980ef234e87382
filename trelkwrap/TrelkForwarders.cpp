#include <windows.h>
#include "TrelkBinding.h"

// One forwarding function under the name of every library entry the system
// uses: each looks its entry up in the loaded library on every call.

using Trelk::LOGVEXBinding;
using Trelk::RUVONBinding;
using Trelk::TessimBinding;
using Trelk::WEXELBinding;

#define TRELK_FORWARD(binding, entry, ...) binding().Forward<decltype(&entry)>(#entry, ##__VA_ARGS__)

// Device management.
DWORD WINAPI RUVON_Initialize(DWORD v, DWORD r) { return RUVONBinding().Initialize(v, r); }
DWORD WINAPI RUVON_Terminate(DWORD r) { return RUVONBinding().Terminate(r); }
DWORD WINAPI RUVON_GetAPIVersion() { return TRELK_FORWARD(RUVONBinding, RUVON_GetAPIVersion); }
DWORD WINAPI LNYXOpenDM(DWORD* a) { return TRELK_FORWARD(RUVONBinding, LNYXOpenDM, a); }
DWORD WINAPI LNYXCloseDM(DWORD a) { return TRELK_FORWARD(RUVONBinding, LNYXCloseDM, a); }
DWORD WINAPI LNYXSetDeviceListOption(DWORD a, DWORD b, DWORD c) {
  return TRELK_FORWARD(RUVONBinding, LNYXSetDeviceListOption, a, b, c);
}
DWORD WINAPI LNYXGetDeviceCount(DWORD a, DWORD* b) { return TRELK_FORWARD(RUVONBinding, LNYXGetDeviceCount, a, b); }
DWORD WINAPI LNYXGetDevices(DWORD a, DWORD* b, LNYX_DEVICE* c) {
  return TRELK_FORWARD(RUVONBinding, LNYXGetDevices, a, b, c);
}
DWORD WINAPI LNYXGetDevice(DWORD a, const WCHAR* b, LNYX_DEVICE* c) {
  return TRELK_FORWARD(RUVONBinding, LNYXGetDevice, a, b, c);
}
DWORD WINAPI LNYXFreeDeviceStructure(DWORD a, LNYX_DEVICE* b) {
  return TRELK_FORWARD(RUVONBinding, LNYXFreeDeviceStructure, a, b);
}
DWORD WINAPI LNYXRefreshDeviceList(DWORD a, DWORD b) { return TRELK_FORWARD(RUVONBinding, LNYXRefreshDeviceList, a, b); }
DWORD WINAPI LNYXRenameFriendlyName(DWORD a, const WCHAR* b, const WCHAR* c) {
  return TRELK_FORWARD(RUVONBinding, LNYXRenameFriendlyName, a, b, c);
}
DWORD WINAPI LNYXRegisterNotifyCallback(DWORD a, DWORD b, LNYX_NOTIFY_CALLBACK c) {
  return TRELK_FORWARD(RUVONBinding, LNYXRegisterNotifyCallback, a, b, c);
}
DWORD WINAPI LNYXRegisterDMNotifyIF(DWORD a, DWORD b, IRUVONDeviceNotify* c) {
  return TRELK_FORWARD(RUVONBinding, LNYXRegisterDMNotifyIF, a, b, c);
}
DWORD WINAPI LNYXSearchDevices(DWORD a, DWORD b, DWORD c, LNYX_SEARCH_PROGRESS d, DWORD* e,
                               LNYX_CONNECTION_INFO** f) {
  return TRELK_FORWARD(RUVONBinding, LNYXSearchDevices, a, b, c, d, e, f);
}
DWORD WINAPI LNYXFreeConnectionInfoStructures(DWORD a, LNYX_CONNECTION_INFO* b) {
  return TRELK_FORWARD(RUVONBinding, LNYXFreeConnectionInfoStructures, a, b);
}
DWORD WINAPI LNYXChangeDeviceTrustedState(DWORD a, DWORD b, const WCHAR* c, const WCHAR* d, const WCHAR* e) {
  return TRELK_FORWARD(RUVONBinding, LNYXChangeDeviceTrustedState, a, b, c, d, e);
}
DWORD WINAPI LNYXGetDeviceInfo(DWORD a, const WCHAR* b, DWORD c, LNYX_DEVICE_INFO** d) {
  return TRELK_FORWARD(RUVONBinding, LNYXGetDeviceInfo, a, b, c, d);
}
DWORD WINAPI LNYXFreeDeviceInfoStructure(DWORD a, LNYX_DEVICE_INFO* b) {
  return TRELK_FORWARD(RUVONBinding, LNYXFreeDeviceInfoStructure, a, b);
}
DWORD WINAPI LNYXModemConfig(DWORD a, const WCHAR* b, DWORD c, LNYX_MODEM_PARAMS d, DWORD e, void** f) {
  return TRELK_FORWARD(RUVONBinding, LNYXModemConfig, a, b, c, d, e, f);
}
DWORD WINAPI LNYXFreeModemConfigData(DWORD a, void* b) {
  return TRELK_FORWARD(RUVONBinding, LNYXFreeModemConfigData, a, b);
}

// Call control.
DWORD WINAPI WEXEL_Initialize(DWORD v, DWORD r) { return WEXELBinding().Initialize(v, r); }
DWORD WINAPI WEXEL_Terminate(DWORD r) { return WEXELBinding().Terminate(r); }
DWORD WINAPI WEXEL_GetAPIVersion(DWORD* a) { return TRELK_FORWARD(WEXELBinding, WEXEL_GetAPIVersion, a); }
DWORD WINAPI WEXEL_OpenHandle(const WCHAR* a, DWORD* b, DWORD c, DWORD* d) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_OpenHandle, a, b, c, d);
}
DWORD WINAPI WEXEL_CloseHandle(DWORD a) { return TRELK_FORWARD(WEXELBinding, WEXEL_CloseHandle, a); }
DWORD WINAPI WEXEL_CreateCall(DWORD a, DWORD b, DWORD c, WEXEL_ADDRESS* d, BYTE* e, DWORD* f) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_CreateCall, a, b, c, d, e, f);
}
DWORD WINAPI WEXEL_AnswerCall(DWORD a, DWORD b, BYTE c, DWORD* d) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_AnswerCall, a, b, c, d);
}
DWORD WINAPI WEXEL_ReleaseCall(DWORD a, DWORD b, BYTE c, DWORD* d) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_ReleaseCall, a, b, c, d);
}
DWORD WINAPI WEXEL_ControlCall(DWORD a, DWORD b, BYTE c, DWORD d, DWORD* e) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_ControlCall, a, b, c, d, e);
}
DWORD WINAPI WEXEL_GetCallStatus(DWORD a, DWORD b, WEXEL_CALL_INFO* c, DWORD* d) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_GetCallStatus, a, b, c, d);
}
DWORD WINAPI WEXEL_FreeCallInfoStruct(WEXEL_CALL_INFO* a) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_FreeCallInfoStruct, a);
}
DWORD WINAPI WEXEL_RegisterNotifyIF(DWORD a, DWORD b, IWEXELNotify* c) {
  return TRELK_FORWARD(WEXELBinding, WEXEL_RegisterNotifyIF, a, b, c);
}

// Content access.
DWORD WINAPI Tessim_Initialize(DWORD v, DWORD r) { return TessimBinding().Initialize(v, r); }
DWORD WINAPI Tessim_Terminate(DWORD r) { return TessimBinding().Terminate(r); }
DWORD WINAPI TessimGetAPIVersion() { return TRELK_FORWARD(TessimBinding, TessimGetAPIVersion); }
DWORD WINAPI DorraxOpenTessim(const WCHAR* a, DWORD* b, DWORD c, DWORD* d) {
  return TRELK_FORWARD(TessimBinding, DorraxOpenTessim, a, b, c, d);
}
DWORD WINAPI DorraxCloseTessim(DWORD a) { return TRELK_FORWARD(TessimBinding, DorraxCloseTessim, a); }
DWORD WINAPI TessimGetFolderInfo(DWORD a, TESSIM_FOLDER_INFO* b) {
  return TRELK_FORWARD(TessimBinding, TessimGetFolderInfo, a, b);
}
DWORD WINAPI TessimFreeFolderInfoStructure(TESSIM_FOLDER_INFO* a) {
  return TRELK_FORWARD(TessimBinding, TessimFreeFolderInfoStructure, a);
}
DWORD WINAPI TessimGetIDList(DWORD a, DWORD b, DWORD c, TESSIM_ID_LIST* d) {
  return TRELK_FORWARD(TessimBinding, TessimGetIDList, a, b, c, d);
}
DWORD WINAPI TessimFreeIdListStructure(TESSIM_ID_LIST* a) {
  return TRELK_FORWARD(TessimBinding, TessimFreeIdListStructure, a);
}
DWORD WINAPI TessimBeginOperation(DWORD a, DWORD b, DWORD* c) {
  return TRELK_FORWARD(TessimBinding, TessimBeginOperation, a, b, c);
}
DWORD WINAPI TessimReadItem(DWORD a, TESSIM_ITEM_ID* b, DWORD c, DWORD d, void* e) {
  return TRELK_FORWARD(TessimBinding, TessimReadItem, a, b, c, d, e);
}
DWORD WINAPI TessimWriteItem(DWORD a, TESSIM_ITEM_ID* b, DWORD c, DWORD d, void* e) {
  return TRELK_FORWARD(TessimBinding, TessimWriteItem, a, b, c, d, e);
}
DWORD WINAPI TessimDeleteItem(DWORD a, TESSIM_ITEM_ID* b, DWORD c) {
  return TRELK_FORWARD(TessimBinding, TessimDeleteItem, a, b, c);
}
DWORD WINAPI TessimWriteField(DWORD a, TESSIM_ITEM_ID* b, DWORD c, void* d) {
  return TRELK_FORWARD(TessimBinding, TessimWriteField, a, b, c, d);
}
DWORD WINAPI TessimDeleteField(DWORD a, TESSIM_ITEM_ID* b, DWORD c, DWORD d) {
  return TRELK_FORWARD(TessimBinding, TessimDeleteField, a, b, c, d);
}
DWORD WINAPI TessimCommitOperations(DWORD a, TESSIM_ID_LIST* b) {
  return TRELK_FORWARD(TessimBinding, TessimCommitOperations, a, b);
}
DWORD WINAPI TessimEndOperation(DWORD a) { return TRELK_FORWARD(TessimBinding, TessimEndOperation, a); }
DWORD WINAPI TessimFreeItemData(DWORD a, DWORD b, void* c) {
  return TRELK_FORWARD(TessimBinding, TessimFreeItemData, a, b, c);
}
DWORD WINAPI TessimRegisterNotifyCallback(DWORD a, DWORD b, TESSIM_NOTIFY_CALLBACK c) {
  return TRELK_FORWARD(TessimBinding, TessimRegisterNotifyCallback, a, b, c);
}
DWORD WINAPI TessimRegisterOperationCallback(DWORD a, DWORD b, TESSIM_OPERATION_CALLBACK c) {
  return TRELK_FORWARD(TessimBinding, TessimRegisterOperationCallback, a, b, c);
}
DWORD WINAPI TessimRegisterNotifyIF(DWORD a, DWORD b, ITessimNotify* c) {
  return TRELK_FORWARD(TessimBinding, TessimRegisterNotifyIF, a, b, c);
}
DWORD WINAPI TessimRegisterOperationNotifyIF(DWORD a, DWORD b, ITessimOperationNotify* c) {
  return TRELK_FORWARD(TessimBinding, TessimRegisterOperationNotifyIF, a, b, c);
}
DWORD WINAPI TessimFindBegin(DWORD a, DWORD b, const WCHAR* c, DWORD* d) {
  return TRELK_FORWARD(TessimBinding, TessimFindBegin, a, b, c, d);
}
DWORD WINAPI TessimFindNext(DWORD a, DWORD b, TESSIM_ITEM_ID* c) {
  return TRELK_FORWARD(TessimBinding, TessimFindNext, a, b, c);
}
DWORD WINAPI TessimFindEnd(DWORD a) { return TRELK_FORWARD(TessimBinding, TessimFindEnd, a); }
DWORD WINAPI TessimGetFolderPath(DWORD a, DWORD b, WCHAR** c) {
  return TRELK_FORWARD(TessimBinding, TessimGetFolderPath, a, b, c);
}
DWORD WINAPI TessimCreateFolder(DWORD a, DWORD b, const WCHAR* c) {
  return TRELK_FORWARD(TessimBinding, TessimCreateFolder, a, b, c);
}
DWORD WINAPI TessimDeleteFolder(DWORD a, DWORD b) { return TRELK_FORWARD(TessimBinding, TessimDeleteFolder, a, b); }

// Event log.
DWORD WINAPI LOGVEX_Initialize(DWORD v, DWORD r) { return LOGVEXBinding().Initialize(v, r); }
DWORD WINAPI LOGVEX_Terminate(DWORD r) { return LOGVEXBinding().Terminate(r); }
DWORD WINAPI LOGVEX_GetAPIVersion(DWORD* a) { return TRELK_FORWARD(LOGVEXBinding, LOGVEX_GetAPIVersion, a); }
DWORD WINAPI LOGVEX_OpenHandle(const WCHAR* a, DWORD* b, DWORD c, DWORD* d) {
  return TRELK_FORWARD(LOGVEXBinding, LOGVEX_OpenHandle, a, b, c, d);
}
DWORD WINAPI LOGVEX_CloseHandle(DWORD a) { return TRELK_FORWARD(LOGVEXBinding, LOGVEX_CloseHandle, a); }
DWORD WINAPI LOGVEX_ReadBegin(DWORD a, DWORD b, DWORD* c) {
  return TRELK_FORWARD(LOGVEXBinding, LOGVEX_ReadBegin, a, b, c);
}
DWORD WINAPI LOGVEX_ReadNext(DWORD a, DWORD b, LOGVEX_LOG_ITEM* c) {
  return TRELK_FORWARD(LOGVEXBinding, LOGVEX_ReadNext, a, b, c);
}
DWORD WINAPI LOGVEX_ReadEnd(DWORD a) { return TRELK_FORWARD(LOGVEXBinding, LOGVEX_ReadEnd, a); }
DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM* a) { return TRELK_FORWARD(LOGVEXBinding, LOGVEX_FreeLogItem, a); }
DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD a, DWORD b, ILOGVEXNotify* c) {
  return TRELK_FORWARD(LOGVEXBinding, LOGVEX_RegisterNotifyIF, a, b, c);
}

#include <windows.h>
#include "CTrelkException.h"
#include "ZCLLogger.h"

namespace {

struct ResultText {
  DWORD code;
  const char* text;
};

// Ascending by code.
const ResultText kResultTexts[] = {
    {0x00000000, "LNYX_OK: Succeeded"},
    {0x00000100, "LNYX_OK_BUT_USER_ACTION_NEEDED: Operation needs some user action on Device"},
    {0x00000101,
     "LNYX_WAIT_CONNECTION_IS_BUSY: Operation started ok but other application has reserved the connection"},
    {0x80100000, "ELNYX_INIT_FAILED: DLL initialization failed"},
    {0x80100002, "ELNYX_INIT_FAILED_COM_INTERFACE: DLL initialization failed"},
    {0x80100004, "ELNYX_NOT_INITIALIZED: API is not initialized"},
    {0x80100005, "ELNYX_UNSUPPORTED_API_VERSION: Requested API version is not supported"},
    {0x80100006, "ELNYX_NOT_SUPPORTED_MANUFACTURER: Device manufacturer is not supported"},
    {0x80100010, "ELNYX_UNKNOWN_ERROR: Unknown error"},
    {0x80100011, "ELNYX_UNKNOWN_ERROR_DEVICE: Unknown error on Device"},
    {0x80100012, "ELNYX_INVALID_POINTER: Invalid pointer"},
    {0x80100013, "ELNYX_INVALID_PARAMETER: Invalid parameter"},
    {0x80100014, "ELNYX_INVALID_HANDLE: Invalid handle"},
    {0x80100015, "ELNYX_NOT_ENOUGH_MEMORY: Not enough memory"},
    {0x80100016, "Failed, Called interface was marshalled for a different thread"},
    {0x80100020, "ELNYX_CANCELLED: Operation cancelled by Lanyx-User"},
    {0x80100021, "ELNYX_NOTHING_TO_CANCEL: There is no operation to cancel"},
    {0x80100022, "ELNYX_FAILED_TIMEOUT: Operation failed because of a time-out"},
    {0x80100023, "ELNYX_NOT_SUPPORTED_DEVICE: Device does not support the operation"},
    {0x80100024, "ELNYX_NOT_SUPPORTED_PC: Lanyx does not support operation (not implemented)"},
    {0x80200000, "ELNYX_DEVICE_NOT_FOUND: Given phone is not connected (refresh device list)"},
    {0x80200001, "ELNYX_NO_CONNECTION_VIA_MEDIA: No connection to Device via the given media"},
    {0x80200002, "ELNYX_NO_CONNECTION_VIA_DEVID: No connection to Device via the given device id"},
    {0x80200003, "ELNYX_INVALID_CONNECTION_TYPE: Invalid connection type"},
    {0x80200004, "ELNYX_NOT_SUPPORTED_CONNECTION_TYPE: Connection type is not supported"},
    {0x80200005, "ELNYX_CONNECTION_BUSY: Connection is busy"},
    {0x80200006, "ELNYX_CONNECTION_LOST: Connection is lost to Device"},
    {0x80200007, "ELNYX_CONNECTION_REMOVED: Connection has been removed"},
    {0x80200008, "ELNYX_CONNECTION_FAILED: Connection to Device failed"},
    {0x80200009, "ELNYX_SUSPEND: Connection is suspended"},
    {0x8020000A, "ELNYX_NAME_ALREADY_EXISTS: Name already exists"},
    {0x8020000B,
     "ELNYX_MEDIA_IS_NOT_WORKING: Target media is active but it is not working (e.g. BT-hardware stopped or removed)"},
    {0x8020000C, "ELNYX_CACHE_IS_NOT_AVAILABLE: Cache is not available (LNYXSearchDevices)"},
    {0x8020000D, "ELNYX_MEDIA_IS_NOT_ACTIVE: Target media is active (or ready yet)"},
    {0x8020000E, "ELNYX_PORT_OPEN_FAILED: Opening the port failed"},
    {0x80200100, "ELNYX_DEVICE_PAIRING_FAILED: Pairing with Device failed"},
    {0x80200101, "ELNYX_DEVICE_PASSWORD_WRONG: Password given for Device is wrong"},
    {0x80200102, "ELNYX_DEVICE_PASSWORD_INVALID: Password given for Device is invalid"},
    {0x80300000, "ELNYX_ALL_LISTED: All items have been listed"},
    {0x80300001, "ELNYX_MEMORY_FULL: Memory of Device is full"},
    {0x80400001, "ELNYX_FILE_NAME_INVALID: File name is invalid"},
    {0x80400002, "ELNYX_FILE_NAME_TOO_LONG: File name is too long"},
    {0x80400003, "ELNYX_FILE_ALREADY_EXIST: File already exists"},
    {0x80400004, "ELNYX_FILE_NOT_FOUND: File was not found"},
    {0x80400005, "ELNYX_FILE_NO_PERMISSION: No permission to the file"},
    {0x80400006, "ELNYX_FILE_COPYRIGHT_PROTECTED: File is copyright protected"},
    {0x80400007, "ELNYX_FILE_BUSY: File is busy"},
    {0x80400008, "ELNYX_FILE_TOO_BIG_DEVICE: File is too big for Device"},
    {0x80400009, "ELNYX_FILE_TYPE_NOT_SUPPORTED: File type is not supported"},
    {0x8040000A, "ELNYX_FILE_NO_PERMISSION_ON_PC: ELNYX_FILE_NO_PERMISSION_ON_PC"},
    {0x8040000B, "ELNYX_FILE_EXIST: File exists"},
    {0x80500000, "ELNYX_INVALID_DATA_DEVICE: Data on Device is invalid"},
    {0x80500001, "ELNYX_CURRENT_FOLDER_NOT_FOUND: Current folder was not found"},
    {0x80500002, "ELNYX_FOLDER_PATH_TOO_LONG: Current folder max unicode charaters count is limited to 255."},
    {0x80500003, "ELNYX_FOLDER_NAME_INVALID: Folder name is invalid"},
    {0x80500004, "ELNYX_FOLDER_ALREADY_EXIST: Folder already exists"},
    {0x80500005, "ELNYX_FOLDER_NOT_FOUND: Folder was not found"},
    {0x80500006, "ELNYX_FOLDER_NO_PERMISSION: No permission to the folder"},
    {0x80500007, "ELNYX_FOLDER_NOT_EMPTY: Folder is not empty"},
    {0x80500008, "ELNYX_FOLDER_NO_PERMISSION_ON_PC: No permission to the folder on PC"},
    {0x80600000, "ELNYX_DEVICE_INSTALLER_BUSY: Installer of Device is busy"},
    {0x80700000, "ELNYX_UI_NOT_IDLE_DEVICE: User interface of Device is not idle"},
    {0x80700001, "ELNYX_SYNC_CLIENT_BUSY_DEVICE: Sync client of Device is busy"},
    {0x80700002, "ELNYX_UNAUTHORIZED_DEVICE: Device is not authorized"},
    {0x80700003, "ELNYX_DATABASE_LOCKED_DEVICE: Database of Device is locked"},
    {0x80700004,
     "ELNYX_SETTINGS_NOT_OK_DEVICE: Device rejected the operation. Sync profile settings might be wrong on Device."},
};

static_assert(sizeof(kResultTexts) / sizeof(kResultTexts[0]) == 66, "one row per known code");

}  // namespace

std::string LNYXError2String(DWORD dwResult) {
  ZCLScopeTracer trace("LNYXError2String");
  for (const ResultText& row : kResultTexts)
    if (row.code == dwResult) return row.text;
  return "Undefined error code";
}

void TrelkThrowOnFail(DWORD dwResult) {
  if (dwResult == 0) return;
  ZCLLogMessage(5, nullptr, "TrelkThrowOnFail:: dwResult != LNYX_OK");
  throw Trelk::CTrelkException(dwResult);
}

namespace Trelk {

void LogCaught(int level, const CTrelkException& e) {
  ZCLLogMessage(level, nullptr, "[TrelkException\n0x%08X\n%s]", static_cast<unsigned>(e.GetCode()),
                e.GetMessageText().c_str());
}

}  // namespace Trelk

#pragma once
#include <windows.h>
#include <cstddef>

// The connectivity software's programming interface: its records, notification
// interfaces, result codes and entries, defined once for the binding that calls
// it and the simulated phone that stands in for it. Records keep the libraries'
// 32-bit layout on a 32-bit build; size fields are filled with sizeof.

#ifdef TRELK_API_EXPORTS
#define TRELKAPI extern "C" __declspec(dllexport)
#else
#define TRELKAPI extern "C"
#endif

// ---------------------------------------------------------------- result codes
constexpr DWORD LNYX_OK = 0x00000000;
constexpr DWORD LNYX_OK_BUT_USER_ACTION_NEEDED = 0x00000100;
constexpr DWORD LNYX_WAIT_CONNECTION_IS_BUSY = 0x00000101;
constexpr DWORD ELNYX_INIT_FAILED = 0x80100000;
constexpr DWORD ELNYX_INIT_FAILED_COM_INTERFACE = 0x80100002;
constexpr DWORD ELNYX_NOT_INITIALIZED = 0x80100004;
constexpr DWORD ELNYX_UNSUPPORTED_API_VERSION = 0x80100005;
constexpr DWORD ELNYX_NOT_SUPPORTED_MANUFACTURER = 0x80100006;
constexpr DWORD ELNYX_UNKNOWN_ERROR = 0x80100010;
constexpr DWORD ELNYX_UNKNOWN_ERROR_DEVICE = 0x80100011;
constexpr DWORD ELNYX_INVALID_POINTER = 0x80100012;
constexpr DWORD ELNYX_INVALID_PARAMETER = 0x80100013;
constexpr DWORD ELNYX_INVALID_HANDLE = 0x80100014;
constexpr DWORD ELNYX_NOT_ENOUGH_MEMORY = 0x80100015;
constexpr DWORD ELNYX_WRONG_THREAD = 0x80100016;
constexpr DWORD ELNYX_CANCELLED = 0x80100020;
constexpr DWORD ELNYX_NOTHING_TO_CANCEL = 0x80100021;
constexpr DWORD ELNYX_FAILED_TIMEOUT = 0x80100022;
constexpr DWORD ELNYX_NOT_SUPPORTED_DEVICE = 0x80100023;
constexpr DWORD ELNYX_NOT_SUPPORTED_PC = 0x80100024;
constexpr DWORD ELNYX_DEVICE_NOT_FOUND = 0x80200000;
constexpr DWORD ELNYX_NO_CONNECTION_VIA_MEDIA = 0x80200001;
constexpr DWORD ELNYX_NO_CONNECTION_VIA_DEVID = 0x80200002;
constexpr DWORD ELNYX_INVALID_CONNECTION_TYPE = 0x80200003;
constexpr DWORD ELNYX_NOT_SUPPORTED_CONNECTION_TYPE = 0x80200004;
constexpr DWORD ELNYX_CONNECTION_BUSY = 0x80200005;
constexpr DWORD ELNYX_CONNECTION_LOST = 0x80200006;
constexpr DWORD ELNYX_CONNECTION_REMOVED = 0x80200007;
constexpr DWORD ELNYX_CONNECTION_FAILED = 0x80200008;
constexpr DWORD ELNYX_SUSPEND = 0x80200009;
constexpr DWORD ELNYX_NAME_ALREADY_EXISTS = 0x8020000A;
constexpr DWORD ELNYX_MEDIA_IS_NOT_WORKING = 0x8020000B;
constexpr DWORD ELNYX_CACHE_IS_NOT_AVAILABLE = 0x8020000C;
constexpr DWORD ELNYX_MEDIA_IS_NOT_ACTIVE = 0x8020000D;
constexpr DWORD ELNYX_PORT_OPEN_FAILED = 0x8020000E;
constexpr DWORD ELNYX_DEVICE_PAIRING_FAILED = 0x80200100;
constexpr DWORD ELNYX_DEVICE_PASSWORD_WRONG = 0x80200101;
constexpr DWORD ELNYX_DEVICE_PASSWORD_INVALID = 0x80200102;
constexpr DWORD ELNYX_ALL_LISTED = 0x80300000;
constexpr DWORD ELNYX_MEMORY_FULL = 0x80300001;
constexpr DWORD ELNYX_FILE_NAME_INVALID = 0x80400001;
constexpr DWORD ELNYX_FILE_NAME_TOO_LONG = 0x80400002;
constexpr DWORD ELNYX_FILE_ALREADY_EXIST = 0x80400003;
constexpr DWORD ELNYX_FILE_NOT_FOUND = 0x80400004;
constexpr DWORD ELNYX_FILE_NO_PERMISSION = 0x80400005;
constexpr DWORD ELNYX_FILE_COPYRIGHT_PROTECTED = 0x80400006;
constexpr DWORD ELNYX_FILE_BUSY = 0x80400007;
constexpr DWORD ELNYX_FILE_TOO_BIG_DEVICE = 0x80400008;
constexpr DWORD ELNYX_FILE_TYPE_NOT_SUPPORTED = 0x80400009;
constexpr DWORD ELNYX_FILE_NO_PERMISSION_ON_PC = 0x8040000A;
constexpr DWORD ELNYX_FILE_EXIST = 0x8040000B;
constexpr DWORD ELNYX_INVALID_DATA_DEVICE = 0x80500000;
constexpr DWORD ELNYX_CURRENT_FOLDER_NOT_FOUND = 0x80500001;
constexpr DWORD ELNYX_FOLDER_PATH_TOO_LONG = 0x80500002;
constexpr DWORD ELNYX_FOLDER_NAME_INVALID = 0x80500003;
constexpr DWORD ELNYX_FOLDER_ALREADY_EXIST = 0x80500004;
constexpr DWORD ELNYX_FOLDER_NOT_FOUND = 0x80500005;
constexpr DWORD ELNYX_FOLDER_NO_PERMISSION = 0x80500006;
constexpr DWORD ELNYX_FOLDER_NOT_EMPTY = 0x80500007;
constexpr DWORD ELNYX_FOLDER_NO_PERMISSION_ON_PC = 0x80500008;
constexpr DWORD ELNYX_DEVICE_INSTALLER_BUSY = 0x80600000;
constexpr DWORD ELNYX_UI_NOT_IDLE_DEVICE = 0x80700000;
constexpr DWORD ELNYX_SYNC_CLIENT_BUSY_DEVICE = 0x80700001;
constexpr DWORD ELNYX_UNAUTHORIZED_DEVICE = 0x80700002;
constexpr DWORD ELNYX_DATABASE_LOCKED_DEVICE = 0x80700003;
constexpr DWORD ELNYX_SETTINGS_NOT_OK_DEVICE = 0x80700004;

// Codes of the binding itself: no library file could be loaded; the loaded
// library lacks an entry of the needed name.
constexpr DWORD TRELK_BIND_NO_LIBRARY = 0x80100100;
constexpr DWORD TRELK_BIND_NO_ENTRY = 0x80100101;

// Notification registration operations of every family.
constexpr DWORD TRELK_NOTIFY_REGISTER = 16;
constexpr DWORD TRELK_NOTIFY_UNREGISTER = 32;

// Media kinds of a connection.
constexpr DWORD LNYX_MEDIA_BLUETOOTH = 8;

// Reasons in the low 16 bits of a device status word; the media kind stands
// in bits 24 to 31 and an information byte in bits 16 to 23.
constexpr DWORD LNYX_DEVICE_ADDED = 1;
constexpr DWORD LNYX_DEVICE_REMOVED = 2;
constexpr DWORD LNYX_DEVICE_UPDATED = 4;
inline DWORD LNYXMakeDeviceStatus(DWORD media, DWORD info, DWORD reason) {
  return ((media & 0xFF) << 24) | ((info & 0xFF) << 16) | (reason & 0xFFFF);
}

// Level of the device information query.
constexpr DWORD LNYX_DEVICE_INFO_LEVEL = 0x10000;

// Content types of the content access.
constexpr DWORD TESSIM_CONTENT_CONTACTS = 0x80000001;
constexpr DWORD TESSIM_CONTENT_SMS = 0x80000004;

// Item formats: a message record, a contact's vCard.
constexpr DWORD TESSIM_FORMAT_SMS = 1;
constexpr DWORD TESSIM_FORMAT_VCARD = 2;

// The media asked for when opening a handle.
constexpr DWORD TRELK_OPEN_MEDIA = 1;

// Folders of the content. The root (0) holds every item of the content; the
// messages' root has the sub-folders the phone describes, among them the
// received messages (1) and the messages written by the PC (2).
constexpr DWORD TESSIM_FOLDER_ROOT = 0;
constexpr DWORD TESSIM_FOLDER_INBOX = 1;
constexpr DWORD TESSIM_FOLDER_OUTBOX = 2;

// A folder the content cannot list: callers pass it over.
constexpr DWORD TESSIM_FOLDER_NOT_LISTED = 0x80100025;

// Read option: the message read is marked as read on the phone.
constexpr DWORD TESSIM_READ_MARK_AS_READ = 2;

// Message kind (bits 0 to 3 of the information flags) and status (bits 8 to 11).
constexpr DWORD TESSIM_SMS_KIND_TEXT = 1;
constexpr DWORD TESSIM_SMS_STATUS_UNREAD = 1;
constexpr DWORD TESSIM_SMS_STATUS_READ = 2;
// The information flags and address kind of a message the PC writes.
constexpr DWORD TESSIM_SMS_INFO_NEW = 0x3641;
constexpr DWORD TESSIM_SMS_ADDRESS_NUMBER = 2;
inline DWORD TessimSmsStatus(DWORD info) { return (info >> 8) & 15; }
inline DWORD TessimSmsWithStatus(DWORD info, DWORD status) { return (info & ~0xF00u) | ((status & 15) << 8); }

// Reason of a content notification: an item was added.
constexpr DWORD TESSIM_REASON_ITEM_ADDED = 2;

// Parameter of an event-log notification: the call log changed.
constexpr DWORD LOGVEX_NTF_LOG_CHANGED = 1;

// Call-control notification ids, the call status bytes of id 5 and the
// address types of a call record.
constexpr DWORD WEXEL_NTF_TERMINATED = 1;
constexpr DWORD WEXEL_NTF_WAITING = 2;
constexpr DWORD WEXEL_NTF_REJECTED = 3;
constexpr DWORD WEXEL_NTF_STATUS = 5;
constexpr DWORD WEXEL_NTF_INCOMING = 6;
constexpr BYTE WEXEL_STATUS_ENDED = 0;
constexpr BYTE WEXEL_STATUS_DIALLING = 1;
constexpr BYTE WEXEL_STATUS_HELD = 2;
constexpr BYTE WEXEL_STATUS_RINGING = 4;
constexpr BYTE WEXEL_STATUS_ACTIVE = 8;
constexpr BYTE WEXEL_STATUS_UNKNOWN = 0xFF;  // ask the library
constexpr BYTE WEXEL_ADDRESS_DIALLED = 1;
constexpr BYTE WEXEL_ADDRESS_NAME = 4;
constexpr BYTE WEXEL_ADDRESS_CALLER = 5;

// ---------------------------------------------------------------- device management
struct LNYX_CONNECTION_INFO {
  DWORD dwDeviceId;
  DWORD dwMedia;
  WCHAR* pstrDeviceName;  // the phone's name on this connection (Bluetooth name on media 8)
  WCHAR* pstrAddress;
  DWORD dwState;
};

struct LNYX_DEVICE {
  WCHAR* pstrSerialNumber;
  WCHAR* pstrFriendlyName;
  WCHAR* pstrModelName;
  WCHAR* pstrManufacturer;
  DWORD dwNumOfConnections;
  LNYX_CONNECTION_INFO* pConnections;
};

struct LNYX_DEVICE_INFO {
  DWORD dwSize;
  DWORD dwTypeCode;
  WCHAR* pstrText1;
  WCHAR* pstrText2;
  WCHAR* pstrText3;
  DWORD dwValue;
  DWORD dwCapabilities;  // the low byte holds the capability bits
};

// The by-value argument of the modem configuration.
struct LNYX_MODEM_PARAMS {
  DWORD dwValue[4];
};

// What every modem configuration call hands back, whatever its operation;
// the caller frees it with LNYXFreeModemConfigData.
struct LNYX_MODEM_CONFIG_DATA {
  DWORD dwSize;
  DWORD dwOperation;
  DWORD dwMedia;
};

// Device notifications, called on the library's own threads.
class IRUVONDeviceNotify {
public:
  virtual void OnDeviceListUpdated() = 0;
  virtual void OnDeviceAdded(const WCHAR* pstrSerialNumber, DWORD dwStatus) = 0;
  virtual void OnDeviceRemoved(const WCHAR* pstrSerialNumber, DWORD dwStatus) = 0;
  virtual void OnDeviceUpdated(const WCHAR* pstrSerialNumber, DWORD dwStatus) = 0;
};

typedef DWORD(CALLBACK* LNYX_NOTIFY_CALLBACK)(DWORD dwStatus, const WCHAR* pstrSerialNumber);
typedef DWORD(CALLBACK* LNYX_SEARCH_PROGRESS)(DWORD dwProgress, DWORD dwFound);

// ---------------------------------------------------------------- call control
struct WEXEL_ADDRESS {
  DWORD dwSize;
  BYTE bAddressType;
  BYTE bPadding[3];
  WCHAR* pstrAddress;
  BYTE bFlag1;
  BYTE bFlag2;
  BYTE bPadding2[2];
};

struct WEXEL_CALL_INFO {
  DWORD dwSize;
  BYTE bFirst;
  BYTE bCallId;
  BYTE bThird;
  BYTE bStatus;  // 0xFF: unknown, ask the library
  BYTE bFifth;
  BYTE bNumOfAddresses;
  BYTE bPadding[2];
  WEXEL_ADDRESS* pAddresses;
};

class IWEXELNotify {
public:
  virtual DWORD OnWEXELCallNtf(DWORD dwFirst, DWORD dwNtfMsgID, DWORD dwCause,
                               WEXEL_CALL_INFO* pCallInfo) = 0;
  virtual DWORD OnWEXELConnectionLostNtf() = 0;
};

// ---------------------------------------------------------------- content access
struct TESSIM_ITEM_ID {
  DWORD dwSize;
  DWORD dwFolderId;
  DWORD dwTemporaryId;
  DWORD dwUidLength;  // bytes
  BYTE* pbUid;
  DWORD dwStatus;
};

struct TESSIM_ID_LIST {
  DWORD dwSize;
  DWORD dwNumOfItems;
  TESSIM_ITEM_ID* pItems;
};

struct TESSIM_FOLDER_INFO {
  DWORD dwSize;
  DWORD dwFolderId;
  DWORD dwValue;
  WCHAR* pstrName;
  WCHAR* pstrPath;
  DWORD dwNumOfSubFolders;
  TESSIM_FOLDER_INFO* pSubFolders;
  DWORD dwReserved;
};

struct TESSIM_SMS_ADDRESS {
  DWORD dwSize;
  DWORD dwAddressType;
  WCHAR* pstrAddress;
};

struct TESSIM_SMS_ITEM {
  DWORD dwSize;
  DWORD dwInfo;  // bits 0-3 the message kind (1: UTF-16 text), bits 8-11 the status
  DWORD dwTextLength;  // bytes, no terminator
  WCHAR* pstrText;
  BYTE bNumOfAddresses;
  BYTE bPadding[3];
  TESSIM_SMS_ADDRESS* pAddresses;
  DWORD dwDateSize;
  WORD wYear;
  BYTE bMonth;
  BYTE bDay;
  BYTE bHour;
  BYTE bMinute;
  BYTE bSecond;
  BYTE bReserved;
  LONG lZoneOffset1;  // minutes
  LONG lZoneOffset2;
};

struct TESSIM_CONTACT_ITEM {
  DWORD dwSize;
  DWORD dwReserved;
  DWORD dwDataLength;  // bytes of the vCard
  BYTE* pbData;
};

class ITessimNotify {
public:
  virtual DWORD OnTessimNotify(DWORD dwReason, DWORD dwStatus, TESSIM_ITEM_ID* pItemId) = 0;
};

class ITessimOperationNotify {
public:
  virtual DWORD OnTessimOperationNotify(DWORD dwOperation, DWORD dwStatus, DWORD dwProgress) = 0;
};

typedef DWORD(CALLBACK* TESSIM_NOTIFY_CALLBACK)(DWORD dwReason, DWORD dwStatus, TESSIM_ITEM_ID* pItemId);
typedef DWORD(CALLBACK* TESSIM_OPERATION_CALLBACK)(DWORD dwOperation, DWORD dwStatus, DWORD dwProgress);

// ---------------------------------------------------------------- event log
struct LOGVEX_LOG_ITEM {
  DWORD dwSize;
  DWORD dwEntryId;
  DWORD dwType;
  DWORD dwDirection;
  DWORD dwDuration;
  DWORD dwReserved;
  ULONGLONG ullBytesSent;
  ULONGLONG ullBytesReceived;
  WCHAR* pstrNumber;
  WCHAR* pstrName;
#ifndef _WIN64
  DWORD dwReserved2;
#endif
  WORD wYear;
  BYTE bMonth;
  BYTE bDay;
  BYTE bHour;
  BYTE bMinute;
  BYTE bSecond;
  BYTE bReserved;
  LONG lZoneOffset1;  // minutes; -1: not given
  LONG lZoneOffset2;
  DWORD dwReserved3;
};

class ILOGVEXNotify {
public:
  virtual DWORD OnLOGVEXNtf(DWORD dwParam, void* pIndicationData) = 0;
  virtual DWORD OnLOGVEXConnectionLostNtf() = 0;
};

#ifndef _WIN64
static_assert(sizeof(LNYX_CONNECTION_INFO) == 20, "connection record");
static_assert(offsetof(LNYX_CONNECTION_INFO, pstrDeviceName) == 8, "connection record");
static_assert(sizeof(LNYX_DEVICE) == 24, "device record");
static_assert(offsetof(LNYX_DEVICE, dwNumOfConnections) == 16, "device record");
static_assert(offsetof(LNYX_DEVICE, pConnections) == 20, "device record");
static_assert(sizeof(LNYX_DEVICE_INFO) == 28, "device information record");
static_assert(offsetof(LNYX_DEVICE_INFO, dwCapabilities) == 24, "device information record");
static_assert(sizeof(LNYX_MODEM_PARAMS) == 16, "modem parameters");
static_assert(sizeof(WEXEL_ADDRESS) == 16, "address record");
static_assert(offsetof(WEXEL_ADDRESS, bFlag1) == 12, "address record");
static_assert(sizeof(WEXEL_CALL_INFO) == 16, "call record");
static_assert(offsetof(WEXEL_CALL_INFO, bNumOfAddresses) == 9, "call record");
static_assert(offsetof(WEXEL_CALL_INFO, pAddresses) == 12, "call record");
static_assert(sizeof(TESSIM_ITEM_ID) == 24, "item id record");
static_assert(offsetof(TESSIM_ITEM_ID, pbUid) == 16, "item id record");
static_assert(sizeof(TESSIM_ID_LIST) == 12, "id list record");
static_assert(sizeof(TESSIM_FOLDER_INFO) == 32, "folder record");
static_assert(offsetof(TESSIM_FOLDER_INFO, pSubFolders) == 24, "folder record");
static_assert(sizeof(TESSIM_SMS_ADDRESS) == 12, "message address record");
static_assert(sizeof(TESSIM_SMS_ITEM) == 44, "message record");
static_assert(offsetof(TESSIM_SMS_ITEM, pAddresses) == 20, "message record");
static_assert(offsetof(TESSIM_SMS_ITEM, wYear) == 28, "message record");
static_assert(offsetof(TESSIM_SMS_ITEM, lZoneOffset1) == 36, "message record");
static_assert(sizeof(TESSIM_CONTACT_ITEM) == 16, "contact item record");
static_assert(sizeof(LOGVEX_LOG_ITEM) == 72, "call-log item record");
static_assert(offsetof(LOGVEX_LOG_ITEM, ullBytesSent) == 24, "call-log item record");
static_assert(offsetof(LOGVEX_LOG_ITEM, pstrNumber) == 40, "call-log item record");
static_assert(offsetof(LOGVEX_LOG_ITEM, wYear) == 52, "call-log item record");
static_assert(offsetof(LOGVEX_LOG_ITEM, lZoneOffset1) == 60, "call-log item record");
#endif

// ---------------------------------------------------------------- entries
// Device management (Lanyx.dll).
TRELKAPI DWORD WINAPI RUVON_Initialize(DWORD dwAPIVersion, DWORD dwReserved);
TRELKAPI DWORD WINAPI RUVON_Terminate(DWORD dwReserved);
TRELKAPI DWORD WINAPI RUVON_GetAPIVersion();
TRELKAPI DWORD WINAPI LNYXOpenDM(DWORD* phDM);
TRELKAPI DWORD WINAPI LNYXCloseDM(DWORD hDM);
TRELKAPI DWORD WINAPI LNYXSetDeviceListOption(DWORD hDM, DWORD dwOption, DWORD dwValue);
TRELKAPI DWORD WINAPI LNYXGetDeviceCount(DWORD hDM, DWORD* pdwCount);
TRELKAPI DWORD WINAPI LNYXGetDevices(DWORD hDM, DWORD* pdwCount, LNYX_DEVICE* pDevices);
TRELKAPI DWORD WINAPI LNYXGetDevice(DWORD hDM, const WCHAR* pstrSerialNumber, LNYX_DEVICE* pDevice);
TRELKAPI DWORD WINAPI LNYXFreeDeviceStructure(DWORD dwCount, LNYX_DEVICE* pDevices);
TRELKAPI DWORD WINAPI LNYXRefreshDeviceList(DWORD hDM, DWORD dwReserved);
TRELKAPI DWORD WINAPI LNYXRenameFriendlyName(DWORD hDM, const WCHAR* pstrSerialNumber, const WCHAR* pstrName);
TRELKAPI DWORD WINAPI LNYXRegisterNotifyCallback(DWORD hDM, DWORD dwOperation, LNYX_NOTIFY_CALLBACK pfnCallback);
TRELKAPI DWORD WINAPI LNYXRegisterDMNotifyIF(DWORD hDM, DWORD dwOperation, IRUVONDeviceNotify* pSink);
TRELKAPI DWORD WINAPI LNYXSearchDevices(DWORD hDM, DWORD dwOptions, DWORD dwTimeout,
                                         LNYX_SEARCH_PROGRESS pfnProgress, DWORD* pdwCount,
                                         LNYX_CONNECTION_INFO** ppConnections);
TRELKAPI DWORD WINAPI LNYXFreeConnectionInfoStructures(DWORD dwCount, LNYX_CONNECTION_INFO* pConnections);
TRELKAPI DWORD WINAPI LNYXChangeDeviceTrustedState(DWORD hDM, DWORD dwOptions, const WCHAR* pstrDevice,
                                                    const WCHAR* pstrPasscode, const WCHAR* pstrName);
TRELKAPI DWORD WINAPI LNYXGetDeviceInfo(DWORD hDM, const WCHAR* pstrSerialNumber, DWORD dwLevel,
                                         LNYX_DEVICE_INFO** ppInfo);
TRELKAPI DWORD WINAPI LNYXFreeDeviceInfoStructure(DWORD dwLevel, LNYX_DEVICE_INFO* pInfo);
TRELKAPI DWORD WINAPI LNYXModemConfig(DWORD hDM, const WCHAR* pstrSerialNumber, DWORD dwMedia,
                                       LNYX_MODEM_PARAMS params, DWORD dwOperation, void** ppData);
TRELKAPI DWORD WINAPI LNYXFreeModemConfigData(DWORD dwOperation, void* pData);

// File system (Lanyx.dll). Arguments the simulation does not read yet are
// passed as DWORD_PTR: only their count is fixed by the callers.
constexpr DWORD FSKOR_API_VERSION_30 = 30;
constexpr DWORD FSKOR_API_VERSION = 31;
// Options of an application installation.
constexpr DWORD LNYX_INSTALL_OPTIONS = 0x50010;
TRELKAPI DWORD WINAPI FSKOR_Initialize(DWORD dwAPIVersion, DWORD dwReserved);
TRELKAPI DWORD WINAPI FSKOR_Terminate(DWORD dwReserved);
TRELKAPI DWORD WINAPI FSKOR_GetAPIVersion();
TRELKAPI DWORD WINAPI LNYXOpenFS(const WCHAR* pstrSerialNumber, DWORD dwMedia, DWORD* phFS, DWORD* pdwDeviceNumber);
TRELKAPI DWORD WINAPI LNYXCloseFS(DWORD hFS);
TRELKAPI DWORD WINAPI LNYXInstallApplication(DWORD hFS, DWORD dwCount, const WCHAR* const* ppstrFiles, DWORD dwOptions,
                                              DWORD dwReserved1, DWORD dwReserved2);
TRELKAPI DWORD WINAPI LNYXRegisterFSNotifyCallback(DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXRegisterFSNotifyIF(DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXRefreshDeviceMemoryValues(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetMemoryTypes(DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetMemoryValues(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXSetCurrentFolder(DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetCurrentFolder(DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFindBegin(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFindNextFolder(DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFindNextFile(DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFindEnd(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFreeFolderInfoStructure(DWORD_PTR);
TRELKAPI void* WINAPI LNYXAllocFileDataMemory(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetConvertFileTypes(DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXCreateFolder(DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXDeleteFolder(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXRenameFolder(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetFolderInfo(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXGetFileInfo(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXDeleteFile(DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXMoveFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXCopyFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXRenameFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXReadFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXWriteFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXCancel(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFreeFileInfoStructure(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFreeFolderContentStructure(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFreeFileDataMemory(DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXConvertFile(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR);
TRELKAPI DWORD WINAPI LNYXFreeConvertFileTypes(DWORD_PTR, DWORD_PTR);

// Call control (Trelk_Fandor.dll).
TRELKAPI DWORD WINAPI WEXEL_Initialize(DWORD dwAPIVersion, DWORD dwReserved);
TRELKAPI DWORD WINAPI WEXEL_Terminate(DWORD dwReserved);
TRELKAPI DWORD WINAPI WEXEL_GetAPIVersion(DWORD* pdwVersion);
TRELKAPI DWORD WINAPI WEXEL_OpenHandle(const WCHAR* pstrSerialNumber, DWORD* pdwMedia, DWORD dwReserved,
                                        DWORD* phCall);
TRELKAPI DWORD WINAPI WEXEL_CloseHandle(DWORD hCall);
TRELKAPI DWORD WINAPI WEXEL_CreateCall(DWORD hCall, DWORD dwReserved, DWORD dwCallType,
                                        WEXEL_ADDRESS* pNumber, BYTE* pbCallId, DWORD* pdwStatus);
TRELKAPI DWORD WINAPI WEXEL_AnswerCall(DWORD hCall, DWORD dwReserved, BYTE bCallId, DWORD* pdwStatus);
TRELKAPI DWORD WINAPI WEXEL_ReleaseCall(DWORD hCall, DWORD dwReserved, BYTE bCallId, DWORD* pdwStatus);
TRELKAPI DWORD WINAPI WEXEL_ControlCall(DWORD hCall, DWORD dwReserved, BYTE bCallId, DWORD dwOperation,
                                         DWORD* pdwStatus);
TRELKAPI DWORD WINAPI WEXEL_GetCallStatus(DWORD hCall, DWORD dwReserved, WEXEL_CALL_INFO* pCallInfo,
                                           DWORD* pdwReserved);
TRELKAPI DWORD WINAPI WEXEL_FreeCallInfoStruct(WEXEL_CALL_INFO* pCallInfo);
TRELKAPI DWORD WINAPI WEXEL_RegisterNotifyIF(DWORD hCall, DWORD dwOperation, IWEXELNotify* pSink);

// Content access (Dorrax.dll).
TRELKAPI DWORD WINAPI Tessim_Initialize(DWORD dwAPIVersion, DWORD dwReserved);
TRELKAPI DWORD WINAPI Tessim_Terminate(DWORD dwReserved);
TRELKAPI DWORD WINAPI TessimGetAPIVersion();
TRELKAPI DWORD WINAPI DorraxOpenTessim(const WCHAR* pstrSerialNumber, DWORD* pdwMedia, DWORD dwContentType,
                                        DWORD* phContent);
TRELKAPI DWORD WINAPI DorraxCloseTessim(DWORD hContent);
TRELKAPI DWORD WINAPI TessimGetFolderInfo(DWORD hContent, TESSIM_FOLDER_INFO* pFolder);
TRELKAPI DWORD WINAPI TessimFreeFolderInfoStructure(TESSIM_FOLDER_INFO* pFolder);
TRELKAPI DWORD WINAPI TessimGetIDList(DWORD hContent, DWORD dwOption, DWORD dwReserved, TESSIM_ID_LIST* pList);
TRELKAPI DWORD WINAPI TessimFreeIdListStructure(TESSIM_ID_LIST* pList);
TRELKAPI DWORD WINAPI TessimBeginOperation(DWORD hContent, DWORD dwReserved, DWORD* phOperation);
TRELKAPI DWORD WINAPI TessimReadItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwOption, DWORD dwFormat,
                                      void* pItem);
TRELKAPI DWORD WINAPI TessimWriteItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwReserved,
                                       DWORD dwFormat, void* pItem);
TRELKAPI DWORD WINAPI TessimDeleteItem(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwReserved);
TRELKAPI DWORD WINAPI TessimWriteField(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwField, void* pData);
TRELKAPI DWORD WINAPI TessimDeleteField(DWORD hOperation, TESSIM_ITEM_ID* pItemId, DWORD dwField,
                                         DWORD dwReserved);
TRELKAPI DWORD WINAPI TessimCommitOperations(DWORD hOperation, TESSIM_ID_LIST* pWritten);
TRELKAPI DWORD WINAPI TessimEndOperation(DWORD hOperation);
TRELKAPI DWORD WINAPI TessimFreeItemData(DWORD hContent, DWORD dwFormat, void* pItem);
TRELKAPI DWORD WINAPI TessimRegisterNotifyCallback(DWORD hContent, DWORD dwOperation,
                                                    TESSIM_NOTIFY_CALLBACK pfnCallback);
TRELKAPI DWORD WINAPI TessimRegisterOperationCallback(DWORD hContent, DWORD dwOperation,
                                                       TESSIM_OPERATION_CALLBACK pfnCallback);
TRELKAPI DWORD WINAPI TessimRegisterNotifyIF(DWORD hContent, DWORD dwOperation, ITessimNotify* pSink);
TRELKAPI DWORD WINAPI TessimRegisterOperationNotifyIF(DWORD hContent, DWORD dwOperation,
                                                       ITessimOperationNotify* pSink);
TRELKAPI DWORD WINAPI TessimFindBegin(DWORD hContent, DWORD dwOption, const WCHAR* pstrPattern, DWORD* phFind);
TRELKAPI DWORD WINAPI TessimFindNext(DWORD hFind, DWORD dwReserved, TESSIM_ITEM_ID* pItemId);
TRELKAPI DWORD WINAPI TessimFindEnd(DWORD hFind);
TRELKAPI DWORD WINAPI TessimGetFolderPath(DWORD hContent, DWORD dwFolderId, WCHAR** ppstrPath);
TRELKAPI DWORD WINAPI TessimCreateFolder(DWORD hContent, DWORD dwParentId, const WCHAR* pstrName);
TRELKAPI DWORD WINAPI TessimDeleteFolder(DWORD hContent, DWORD dwFolderId);

// Event log (Trelk_Fandor.dll).
TRELKAPI DWORD WINAPI LOGVEX_Initialize(DWORD dwAPIVersion, DWORD dwReserved);
TRELKAPI DWORD WINAPI LOGVEX_Terminate(DWORD dwReserved);
TRELKAPI DWORD WINAPI LOGVEX_GetAPIVersion(DWORD* pdwVersion);
TRELKAPI DWORD WINAPI LOGVEX_OpenHandle(const WCHAR* pstrSerialNumber, DWORD* pdwMedia, DWORD dwReserved,
                                         DWORD* phLog);
TRELKAPI DWORD WINAPI LOGVEX_CloseHandle(DWORD hLog);
TRELKAPI DWORD WINAPI LOGVEX_ReadBegin(DWORD hLog, DWORD dwOption, DWORD* phRead);
TRELKAPI DWORD WINAPI LOGVEX_ReadNext(DWORD hRead, DWORD dwReserved, LOGVEX_LOG_ITEM* pItem);
TRELKAPI DWORD WINAPI LOGVEX_ReadEnd(DWORD hRead);
TRELKAPI DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM* pItem);
TRELKAPI DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD hLog, DWORD dwOperation, ILOGVEXNotify* pSink);

#pragma once
#include <windows.h>
#include <string>

// The support check and package installation behind the library's exports.
// Everything runs on the caller's thread; nothing is kept between calls.
namespace SutrelSupport {

const DWORD kInstallForced = 0x80;
const size_t kPathChars = 260;      // the package path buffer
const size_t kVersionChars = 20;    // the version text buffer, terminator included

// The packages carried as "SISFiles" resources.
const UINT kPackageSupport = 1003;   // "sutrel_support.SIS"
const UINT kPackageTextSync = 1005;  // "Kalvosync.SIS"
const UINT kPackageProvider = 1008;  // "Kalvomms.sis"

// Between two busy answers of the phone's installer.
const DWORD kBusyPauseMs = 5000;
const int kInstallAttempts = 24;

// Seams for the tests: the pause between busy answers and the file write.
typedef void(WINAPI* PauseFunction)(DWORD milliseconds);
typedef BOOL(WINAPI* WriteFunction)(HANDLE file, const void* data, DWORD size, DWORD* written);
void SetPauseFunction(PauseFunction pause);  // null: Sleep
void SetWriteFunction(WriteFunction write);  // null: WriteFile
// The module whose "SISFiles" resources are extracted (this code's module
// by default).
void SetResourceModule(HMODULE module);

// The exports' work: results as the exports answer them.
HRESULT NeedSupport(const wchar_t* deviceId, int* textFlag, int* multimediaFlag, int* providerFlag);
HRESULT Install(const wchar_t* deviceId, DWORD flags);
// Install's last step: the packages the flags call for, in their order.
void InstallPackagesFor(const wchar_t* deviceId, int textFlag, int multimediaFlag, int providerFlag);

// The internal operations.
bool ReadPhoneCapabilities(const wchar_t* deviceId, const wchar_t* modelName, int* listedText, int* listedMultimedia,
                           int* providerNeeded);
bool IsVersionAtLeast(const wchar_t* deviceId, const wchar_t* component, double minimum);
// False only when the phone-data server could not be asked; a text too long
// for the buffer comes back empty with *tooLong set.
bool ReadPackageVersion(const wchar_t* deviceId, const wchar_t* component, wchar_t* text, bool* tooLong);
bool CheckDevice(const wchar_t* deviceId, std::wstring* modelName);
bool ExtractPackage(UINT resourceId, const wchar_t* fileName, wchar_t* path);
void InstallPackage(UINT resourceId, const wchar_t* fileName, const wchar_t* deviceId, wchar_t* path);
void DeleteTempPackage(const wchar_t* path);

// A version text read as a decimal number whatever the thread's locale:
// digits with an optional point and fraction, leading blanks allowed, what
// follows the number ignored. False when the text does not start with one.
bool ParseVersion(const wchar_t* text, double* value);

}  // namespace SutrelSupport

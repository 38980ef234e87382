#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "ComBSTR.h"
#include "ComPtr.h"
#include "QorsalPhoneData.h"

// A short-lived client of the suite's phone-data server: built for one
// question and released at once. It belongs to the thread that built it and
// joins COM there only when that thread had not.
class CPhoneDataClient {
public:
  static const size_t kBufferBytes = 10000;

  // Never throws: every failure leaves the client not ready.
  explicit CPhoneDataClient(const wchar_t* applicationName);
  ~CPhoneDataClient();

  bool IsReady() const { return m_ready != 0; }
  bool InitializedCom() const { return m_comInitialized != 0; }

  // The server's result; E_FAIL when not ready.
  HRESULT RefreshDevice(const wchar_t* deviceId);
  // True when the list under the key "<firstPart>;IMEI:<secondPart>" (the
  // first part alone when the second is empty) holds the name exactly.
  bool ListContains(const wchar_t* secondPart, const wchar_t* name, const wchar_t* firstPart);
  // The component's "Version" texts, each terminated, an empty text after
  // the last, cut to the buffer; null when the question failed.
  const wchar_t* GetNamedValue(const wchar_t* deviceId, const wchar_t* component);

  // "<firstPart>;IMEI:<secondPart>", the first part alone when the second is empty.
  static std::wstring PhoneKey(const wchar_t* firstPart, const wchar_t* secondPart);

private:
  CPhoneDataClient(const CPhoneDataClient&) = delete;
  CPhoneDataClient& operator=(const CPhoneDataClient&) = delete;
  void Create(const wchar_t* applicationName);

  DWORD m_ready = 0;
  DWORD m_comInitialized = 0;
  CComPtr<IPhoneDataStore> m_store;
  CComPtr<IPhoneDataDevices> m_devices;
  std::unique_ptr<wchar_t[]> m_buffer;  // kBufferBytes
};

// The texts of a one-dimensional array of BSTRs (a null element is an empty
// text); false for any other array. Shared with the tests.
bool PhoneDataTexts(SAFEARRAY* array, std::vector<std::wstring>* texts);

#include <windows.h>
#include <oleauto.h>
#include "ZCLFrame.h"
#include "ComPtr.h"
#include "ZCLText.h"

namespace {

// Rethrows the exception in hand and logs it in its catch-site form; the
// out-parameters say what a COM method answers and why.
void LogInFlight(int level, const char* file, int line, HRESULT* hr, std::string* why) {
  try {
    throw;
  } catch (const ZCLComException& e) {
    ZCLLogCaught(level, e);
    *hr = e.GetHResult();
    *why = e.GetMessageText();
  } catch (const ZCLException& e) {
    ZCLLogCaught(level, e);
    *hr = E_FAIL;
    *why = e.GetMessageText();
  } catch (const std::bad_alloc&) {
    ZCLLogUnknownException(level, ZCLSourcePosition(file, line));
    *hr = E_OUTOFMEMORY;
    *why = "Out of memory.";
  } catch (...) {
    ZCLLogUnknownException(level, ZCLSourcePosition(file, line));
    *hr = E_UNEXPECTED;
    *why = "Unknown Exception! " + ZCLSourcePosition(file, line);
  }
  // A failure of a success code would tell the client nothing went wrong.
  if (SUCCEEDED(*hr)) *hr = E_FAIL;
}

}  // namespace

HRESULT ZCLSetErrorDescription(HRESULT hr, const std::wstring& description) {
  CComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  CComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) SetErrorInfo(0, info);
  return hr;
}

HRESULT ZCLComCaught(int level, const char* file, int line) {
  HRESULT hr = E_UNEXPECTED;
  std::string why;
  try {
    LogInFlight(level, file, line, &hr, &why);
    return ZCLSetErrorDescription(hr, ZCLUtf8ToWide(why));
  } catch (...) {
    return hr;  // logging itself failed: the result still goes out
  }
}

bool ZCLLogCaughtHere(int level, const char* file, int line) {
  try {
    HRESULT hr;
    std::string why;
    LogInFlight(level, file, line, &hr, &why);
  } catch (...) {
    return false;  // logging itself failed; the caller still hears of the failure
  }
  return false;
}

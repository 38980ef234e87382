// The service program as the product builds it, plus a test hook that fans
// events out to the connected clients on request from another process, so
// that cross-process tests can raise device events and notifications before
// the phones' own events reach the clients. With DIALIX_TEST_CALLING_PHONES=1
// in its environment, phones come up registered with call control
// (tests/support/CCallingDeviceImpl.h). With DIALIX_TEST_CALLUI_RECORDER=1,
// the stand-in call window (CallUIStandIn.dll, which records what it is told)
// serves CallUI in this process in place of the registered call-window library.
#include <windows.h>
#include "CCallUIRecorder.h"
#include "CCallingDeviceImpl.h"
#include "CDeviceManager.h"
#include "CSZembraModule.h"
#include "CZembra.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"
#include "ZCLLogger.h"
#include "ZCLWait.h"
#include "SZembraGUI.h"

CSZembraModule _AtlModule;

namespace {

// The main object, by its registered class factory: in this process the
// factory hands out the object itself.
void FanOut() {
  IUnknown* factory = ServiceObjectMap[0].pCF;
  CComQIPtr<IClassFactory> classFactory(factory);
  CComPtr<IZembra> zembra;
  if (!classFactory ||
      FAILED(classFactory->CreateInstance(nullptr, IID_IZembra, reinterpret_cast<void**>(&zembra))))
    return;
  CClientManager& clients = static_cast<CZembra*>(zembra.p)->GetClientManager();
  clients.NewDevice(nullptr);
  clients.DeviceStateChanged(nullptr);
  clients.Notify(IID_ICallNotification, nullptr);
  // The calls are made on the clients' own threads: done means made, so that
  // a test that fans out over and over goes no faster than its clients. A
  // client that does not return holds this up for a moment only.
  ZCLWaitUntil([&] { return clients.GetPendingDeliveries() == 0; }, 2000);
}

DWORD WINAPI FanOutThread(void*) {
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  CHandle request(::CreateEventW(nullptr, FALSE, FALSE, L"DialixTestFanOut"));
  CHandle done(::CreateEventW(nullptr, FALSE, FALSE, L"DialixTestFanOutDone"));
  if (!request || !done) return 1;
  while (::WaitForSingleObject(request.Get(), INFINITE) == WAIT_OBJECT_0) {
    ZCLGuarded(3, ZCL_SITE, [] { FanOut(); });
    ::SetEvent(done.Get());
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int nShowCmd) {
  int result;
  {
    ZCLScopeTracer trace("wWinMain");
    ApplyLogLevelSetting();
    // The call tests' phones: registered with call control as they come and go.
    wchar_t calling[8] = L"";
    if (::GetEnvironmentVariableW(L"DIALIX_TEST_CALLING_PHONES", calling, 8) > 0 && calling[0] == L'1') {
      CServiceSettings settings;
      settings.deviceImpls = [](CZembraDevice& device, const CServiceLinks& links) {
        return new CCallingDeviceImpl(device, links);
      };
      CZembra::UseSettings(settings);
    }
    CHandle hook(::CreateThread(nullptr, 0, FanOutThread, nullptr, 0, nullptr));
    // The recorder is registered on the main thread, where call control
    // creates CallUI.
    CCallUIRecorder recorder;
    wchar_t flag[8] = L"";
    if (::GetEnvironmentVariableW(L"DIALIX_TEST_CALLUI_RECORDER", flag, 8) > 0 && flag[0] == L'1' &&
        FAILED(recorder.Register()))
      ZCLLogMessage(1, nullptr, "The call-window recorder could not be registered\n");
    result = _AtlModule.WinMain(nShowCmd);
  }
  _AtlModule.Term();
  return result;
}

#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include "CStandInDeviceImpl.h"
#include "ServiceLinks.h"
#include "CZembraDevice.h"
#include "ComTL.h"
#include "ZCLException.h"

// A phone implementation for the tests and the demo until the phone's own
// one lands: the stand-in, plus what call control needs of a phone. It
// registers the phone with call control when the phone comes up and removes
// it when the phone goes, says the phone has call control, and sends a text
// message through call control's own sending (folder 2 of the phone).
// Runs on the device manager's thread (Initialize, Uninitialize) and the task
// queue (SendMessage), as the phone's own implementation does.
class CCallingDeviceImpl : public CStandInDeviceImpl {
public:
  CCallingDeviceImpl(CZembraDevice& device, const CServiceLinks& links, bool callControl = true)
      : m_serial(device.GetSerialNumber()), m_links(links), m_callControl(callControl) {}

  bool Initialize() override {
    if (m_callControl) Tell(true);
    return true;
  }
  void Uninitialize() override {
    if (m_callControl) Tell(false);
  }
  bool CallControlEnabled() override { return m_callControl; }
  void SendMessage(const wchar_t* number, const wchar_t* text) override {
    CComPtr<ICallControl> callControl = m_links.CallControl();
    CComQIPtr<ICallHandler> handler(callControl.p);
    ZCLComThrowOnFalse(handler != nullptr, E_FAIL, "No call control");
    CComBSTR serial(m_serial.c_str()), to(number), body(text);
    ZCLComThrowOnFail(handler->SendSMS(serial, to, body), "SendSMS failed");
  }

private:
  void Tell(bool add) {
    CComPtr<ICallControl> callControl = m_links.CallControl();
    if (!callControl) return;
    CComBSTR serial(m_serial.c_str());
    if (add)
      callControl->AddDevice(serial);
    else
      callControl->RemoveDevice(serial);
  }

  std::wstring m_serial;
  const CServiceLinks& m_links;
  bool m_callControl;
};

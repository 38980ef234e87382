#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CSerialNumberOperation.h"
#include "ZCLText.h"

// The catch-site lines of the send-message run, at level 3.
void LogSendMessageFailure(const ZCLException* caught, const ZCLComException* caughtCom, const char* file, int line);

// Send message, compose message and create call: texts in, no data out. Their
// run looks the phone up before the client, refuses a phone that is not
// connected, then does the operation's action. Only the send-message run
// logs lines of its own.
template <class T, class I>
class CTextOperation : public CSerialNumberOperation<T, I> {
public:
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    return ZCLComMethod("COperation::get_OperationData", ZCL_SITE, [&]() -> HRESULT {
      if (ppData) *ppData = nullptr;
      return E_NOTIMPL;
    });
  }

protected:
  // Checks and action on a connected phone; throws on failure.
  virtual void Act(CZembraDevice& device) = 0;
  // The send-message run's scope trace; null for the others, which log nothing.
  virtual const char* TraceName() { return nullptr; }

  void Run() override {
    const char* traceName = TraceName();
    std::unique_ptr<ZCLScopeTracer> trace(traceName ? new ZCLScopeTracer(traceName) : nullptr);
    this->SetState(OperationStarted);
    CZembraDevicePtr device = this->Links().devices.Find(this->m_serialNumber.c_str());
    CClientManager::ClientPtr client = this->FindClient();
    if (!client) {
      this->SetState(OperationFailed);
      this->LogClientNotFound();
      return;
    }
    if (!device) {
      if (traceName) ZCLLogMessage(3, nullptr, "Invalid device: %ls", this->m_serialNumber.c_str());
      this->Fail(*client, OperationFailed, E_FAIL, L"Invalid device.");
      return;
    }
    try {
      ZCLComThrowOnFalse(device->GetState() == DeviceConnected, E_ACCESSDENIED, "Device not connected");
      Act(*device);
      this->SetState(OperationCompleted);
    } catch (const ZCLComException& e) {
      if (traceName) LogSendMessageFailure(nullptr, &e, ZCL_SITE);
      this->Fail(*client, OperationFailed, e.GetHResult(), ZCLAnsiToWide(e.GetMessageText().c_str()));
    } catch (const ZCLException& e) {
      if (traceName) LogSendMessageFailure(&e, nullptr, ZCL_SITE);
      this->Fail(*client, OperationFailed, E_FAIL, ZCLAnsiToWide(e.GetMessageText().c_str()));
    } catch (...) {
      if (traceName) LogSendMessageFailure(nullptr, nullptr, ZCL_SITE);
      this->Fail(*client, OperationFailed, E_UNEXPECTED, this->GetCatchAllText());
    }
    if (this->GetState() == OperationCompleted) this->Complete(*client);
  }
};

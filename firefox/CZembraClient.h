#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include "CDialixCallback.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLHandle.h"
#include "ZCLLogger.h"

// The sink of one connection: the IZembraCallback the service owns. COM calls
// it on whatever thread it delivers to. Calls on the script's thread (the one
// that made it) are handled in place; all others, and its final release, are
// posted to a message-only window of that thread. So the holder, the script's
// objects and the pending table are only ever touched on the script's thread,
// which needs no lock; nothing is sent and waited for, and the service
// ignores what a posted call would have answered.
class CZembraClient : public CComObjectRootEx<CComMultiThreadModel>, public IZembraCallback {
public:
  BEGIN_COM_MAP(CZembraClient)
  COM_INTERFACE_ENTRY(IZembraCallback)
  END_COM_MAP()

  // On the script's thread: a new sink owned by sink, linked to the holder.
  static HRESULT Create(CDialixCallback* holder, CComPtr<IZembraCallback>& sink, CZembraClient** made);
  virtual ~CZembraClient();
  HRESULT FinalConstruct();
  void FinalRelease();

  // The pending table, on the script's thread: an entry owns a reference
  // to the wrapper the script began, under its operation id.
  void AddPending(IOrvexDialixOperation* operation);
  void RemovePending(IOrvexDialixOperation* operation);

  STDMETHOD(ConnectCompleted)(BSTR clientId) override;
  STDMETHOD(DisconnectCompleted)(BSTR clientId) override;
  STDMETHOD(OperationCompleted)(BSTR clientId, BSTR operationId, IOperation* operation) override;
  STDMETHOD(OperationFailed)(BSTR clientId, BSTR operationId, HRESULT result, IErrorInfo* error) override;
  STDMETHOD(OperationProgress)(BSTR clientId, BSTR operationId, IProgressInfo* progress) override;
  STDMETHOD(OperationData)(BSTR clientId, BSTR operationId, IOperation* operation) override;
  STDMETHOD(NewDevice)(BSTR clientId, IDevice* device) override;
  STDMETHOD(DeviceStateChanged)(BSTR clientId, IDevice* device) override;
  STDMETHOD(Notification)(BSTR clientId, REFIID kind, ISNotification* notification) override;

protected:
  // The final release of the COM object, finished on the script's thread.
  void DestroyOnScriptThread();

private:
  struct WindowTraits {
    typedef HWND Type;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Free(Type h) { ::DestroyWindow(h); }
  };
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Runs the handler here on the script's thread; elsewhere posts it there
  // (with a reference to this sink) and answers S_OK.
  HRESULT Deliver(const char* name, std::function<HRESULT()> handler);
  static std::wstring OperationIdOf(IOrvexDialixOperation* operation);
  // Takes the pending entry out, so a duplicate report finds nothing.
  nsCOMPtr<IOrvexDialixOperation> TakePending(BSTR operationId);
  HRESULT OnDevice(BSTR clientId, IDevice* device, bool isNew);
  HRESULT OnNotification(BSTR clientId, const IID& kind, ISNotification* notification);

  ZCLObjectTracer<CZembraClient> m_tracer;
  nsCOMPtr<CDialixCallback> m_holder;
  std::map<std::wstring, nsCOMPtr<IOrvexDialixOperation>> m_pending;
  DWORD m_scriptThread = 0;
  CUniqueHandle<WindowTraits> m_window;
};

// The sink's COM object: its last Release may come on any thread.
class CZembraClientObject : public CComObjectWithoutLock<CZembraClient> {
public:
  explicit CZembraClientObject(void* pv = nullptr) : CComObjectWithoutLock<CZembraClient>(pv) {}
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = InternalRelease();
    if (count == 0) DestroyOnScriptThread();
    return count;
  }
};

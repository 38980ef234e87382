#pragma once
#include <windows.h>
#include <string>
#include "COperationTask.h"
#include "ComText.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLFrame.h"

// Stores text up to its first zero character; null stores the empty text.
void StoreOperationText(BSTR text, std::wstring& stored);

// The COM side shared by the operation classes: IOperation over the task
// side. I is the operation's own interface. Objects are CComObject<T>: one
// module lock for their life, atomic reference counts. Each object is in the
// registry of live operations from its final construction to its tear-down,
// which is how the main object knows it for one of its own.
template <class T, class I>
class COperation : public COperationTask,
                   public CComObjectRootEx<CComMultiThreadModel>,
                   public CComCoClass<T>,
                   public IDispatchImpl<I, &IID_IOperation, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(COperation)
  COM_INTERFACE_ENTRY(IOperation)
  COM_INTERFACE_ENTRY_IID(__uuidof(I), I)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  HRESULT FinalConstruct() {
    return ZCLComMethod("COperation::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
      m_live.Add(this->GetUnknown(), this);
      return S_OK;
    });
  }
  void FinalRelease() { m_live.Remove(); }

  STDMETHOD(get_ClientId)(BSTR* pbstrClientId) override {
    return ZCLComMethod("COperation::get_ClientId", ZCL_SITE, [&]() -> HRESULT {
      return CopyComText(GetClientId(), pbstrClientId);
    });
  }
  STDMETHOD(get_OperationId)(BSTR* pbstrOperationId) override {
    return ZCLComMethod("COperation::get_OperationId", ZCL_SITE, [&]() -> HRESULT {
      return CopyComText(GetOperationId(), pbstrOperationId);
    });
  }
  STDMETHOD(get_OperationState)(EOperationState* pState) override {
    return ZCLComMethod("COperation::get_OperationState", ZCL_SITE, [&]() -> HRESULT {
      if (!pState) return E_POINTER;
      *pState = GetState();
      return S_OK;
    });
  }
  // The result of the last run that got as far as storing one.
  STDMETHOD(get_OperationData)(IUnknown** ppData) override {
    return ZCLComMethod("COperation::get_OperationData", ZCL_SITE, [&]() -> HRESULT {
      if (!ppData) return E_POINTER;
      *ppData = GetData().Detach();
      return S_OK;
    });
  }

protected:
  IOperation* GetOperationInterface() override { return static_cast<I*>(this); }

private:
  COperationRegistry::CRegistration m_live;
};

// A text property of an operation over a std::wstring member.
#define OPERATION_TEXT_PROPERTY(Name, member)                                        \
  STDMETHOD(get_##Name)(BSTR* pbstr) override {                                      \
    return ZCLComMethod("COperation::get_" #Name, ZCL_SITE,                          \
                        [&]() -> HRESULT { return CopyComText(member, pbstr); }); \
  }                                                                                  \
  STDMETHOD(put_##Name)(BSTR bstr) override {                                        \
    return this->Put("COperation::put_" #Name, [&]() -> HRESULT {                    \
      StoreOperationText(bstr, member);                                              \
      return S_OK;                                                                   \
    });                                                                              \
  }

#include <windows.h>
#include "COrvexDialix.h"
#include "OperationTable.h"
#include "OperationWrappers.h"

template <class W>
HRESULT CQEV_OperationInfo<W>::CreateWrapper(COrvexDialix* control, IDispatch** out,
                                             IOperation* operation) {
  if (!control) return E_FAIL;
  CComPtr<typename W::_ServiceItf> own;
  if (!operation || FAILED(operation->QueryInterface(__uuidof(typename W::_ServiceItf),
                                                     reinterpret_cast<void**>(&own))))
    return control->ReportError(L"Failed to get interface", E_POINTER);
  CComPtr<typename W::_ScriptItf> wrapper = W::MakeWrapper(own);
  *out = static_cast<IDispatch*>(wrapper.Detach());
  return S_OK;
}

namespace {

template <class W>
void AddRow(COperationTable& table, const wchar_t* name) {
  table.emplace(name, std::make_unique<CQEV_OperationInfo<W>>());
}

}  // namespace

COperationTable MakeOperationTable() {
  COperationTable table;
  AddRow<COrvexDialixSendMessageOperation>(table, L"IOrvexDialixSendMessageOperation");
  AddRow<COrvexDialixGetDevicesOperation>(table, L"IOrvexDialixGetDevicesOperation");
  AddRow<COrvexDialixGetContactsOperation>(table, L"IOrvexDialixGetContactsOperation");
  AddRow<COrvexDialixGetSmsOperation>(table, L"IOrvexDialixGetSmsOperation");
  AddRow<COrvexDialixGetEventsOperation>(table, L"IOrvexDialixGetEventsOperation");
  AddRow<COrvexDialixComposeMessageOperation>(table, L"IOrvexDialixComposeMessageOperation");
  AddRow<COrvexDialixCreateCallOperation>(table, L"IOrvexDialixCreateCallOperation");
  AddRow<COrvexDialixDeleteContactOperation>(table, L"IOrvexDialixDeleteContactOperation");
  AddRow<COrvexDialixDeleteSmsOperation>(table, L"IOrvexDialixDeleteSmsOperation");
  AddRow<COrvexDialixUpdateContactOperation>(table, L"IOrvexDialixUpdateContactOperation");
  AddRow<COrvexDialixUpdateSmsOperation>(table, L"IOrvexDialixUpdateSmsOperation");
  return table;
}

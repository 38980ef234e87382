#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include "ieOrvexDialix.h"

class COrvexDialix;

// One row of the operation table: a scriptable operation interface and the
// service operation behind it.
class CQEV_OperationInfoBase {
public:
  virtual ~CQEV_OperationInfoBase() {}
  virtual const IID& GetServiceIID() const = 0;
  virtual const IID& GetScriptIID() const = 0;
  // Wraps a service operation of this row's kind into *out (one reference).
  virtual HRESULT CreateWrapper(COrvexDialix* control, IDispatch** out, IOperation* operation) = 0;
};

template <class W>
class CQEV_OperationInfo : public CQEV_OperationInfoBase {
public:
  const IID& GetServiceIID() const override { return __uuidof(typename W::_ServiceItf); }
  const IID& GetScriptIID() const override { return __uuidof(typename W::_ScriptItf); }
  HRESULT CreateWrapper(COrvexDialix* control, IDispatch** out, IOperation* operation) override;
};

// Keyed by the scriptable interface's name, compared by code unit: exact and
// case-sensitive, walked in ascending order.
typedef std::map<std::wstring, std::unique_ptr<CQEV_OperationInfoBase>> COperationTable;

// The eleven rows, made afresh for each call that needs them.
COperationTable MakeOperationTable();

#pragma once
#include <windows.h>
#include <oaidl.h>
#include <vector>
#include "ComTL.h"

// The enumerator a collection's _NewEnum hands out: its own copy of the
// elements (as VT_DISPATCH), so the collection may change behind it. Clients
// may drive it from several threads; the lock guards the position.
class CVariantEnum : public CComObjectRootEx<CComMultiThreadModel>, public IEnumVARIANT {
public:
  BEGIN_COM_MAP(CVariantEnum)
  COM_INTERFACE_ENTRY(IEnumVARIANT)
  END_COM_MAP()

  // A new enumerator over the elements, at the start, with one reference.
  static HRESULT Create(const std::vector<CComVariant>& elements, size_t position, IEnumVARIANT** ppEnum);

  STDMETHOD(Next)(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
  STDMETHOD(Skip)(ULONG celt) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumVARIANT** ppEnum) override;

private:
  std::vector<CComVariant> m_elements;
  size_t m_position = 0;
};

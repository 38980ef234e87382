#include <windows.h>
#include "CContact.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

typedef CComObjectLock<CContact> CContactLock;

HRESULT CContact::FinalConstruct() {
  return ZCLComMethod("CContact::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    m_live.Add(GetUnknown(), this);
    return S_OK;
  });
}

void CContact::FinalRelease() { m_live.Remove(); }

void CContact::Init(const CZembraContact* record, const wchar_t* serialNumber) {
  CContactLock lock(this);
  m_record.reset(record ? new CZembraContact(*record) : new CZembraContact());
  m_serialNumber = ZCLNullToEmpty(serialNumber);
}

CZembraContact CContact::CopyRecord() {
  CContactLock lock(this);
  return m_record ? *m_record : CZembraContact();
}

std::wstring CContact::GetSerialNumber() {
  CContactLock lock(this);
  return m_serialNumber;
}

STDMETHODIMP CContact::get_DbId(BSTR* pbstrId) {
  return ZCLComMethod("CContact::get_DbId", ZCL_SITE, [&]() -> HRESULT {
    if (!pbstrId) return E_POINTER;
    CContactLock lock(this);
    return CopyComText(std::to_wstring(m_record ? m_record->GetDbId() : -1), pbstrId);
  });
}

STDMETHODIMP CContact::get_PhoneId(BSTR* pbstrId) {
  return ZCLComMethod("CContact::get_PhoneId", ZCL_SITE, [&]() -> HRESULT {
    if (!pbstrId) return E_POINTER;
    CContactLock lock(this);
    return CopyComText(m_record ? m_record->GetPhoneId().ToString() : L"", pbstrId);
  });
}

// The stored bytes are in the ANSI code page up to their first zero byte.
STDMETHODIMP CContact::get_VCard(BSTR* pbstrVCard) {
  return ZCLComMethod("CContact::get_VCard", ZCL_SITE, [&]() -> HRESULT {
    if (!pbstrVCard) return E_POINTER;
    CContactLock lock(this);
    std::string bytes;
    if (m_record && m_record->GetVCardData()) {
      const char* data = reinterpret_cast<const char*>(m_record->GetVCardData());
      bytes.assign(data, strnlen(data, m_record->GetVCardSize()));
    }
    return CopyComText(ZCLAnsiToWide(bytes.c_str()), pbstrVCard);
  });
}

// Text the code page cannot carry is refused rather than stored with "?" in
// place of the user's characters; the stored card then stays as it was.
STDMETHODIMP CContact::put_VCard(BSTR bstrVCard) {
  return ZCLComMethod("CContact::put_VCard", ZCL_SITE, [&]() -> HRESULT {
    const wchar_t* text = ZCLNullToEmpty(bstrVCard);
    int length = static_cast<int>(wcslen(text));
    BOOL lossy = FALSE;
    std::string bytes;
    if (length > 0) {
      int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &lossy);
      if (n <= 0 || lossy) return E_INVALIDARG;
      bytes.resize(n);
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, &bytes[0], n, nullptr, &lossy);
      if (lossy) return E_INVALIDARG;
    }
    CContactLock lock(this);
    if (m_record)
      m_record->SetVCard(reinterpret_cast<const BYTE*>(bytes.c_str()), bytes.size() + 1);
    return S_OK;
  });
}

STDMETHODIMP CContact::get_TopContact(VARIANT_BOOL* pTop) {
  return ZCLComMethod("CContact::get_TopContact", ZCL_SITE, [&]() -> HRESULT {
    if (!pTop) return E_POINTER;
    CContactLock lock(this);
    *pTop = (m_record && m_record->GetTopContact() == 1) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

STDMETHODIMP CContact::put_TopContact(VARIANT_BOOL top) {
  return ZCLComMethod("CContact::put_TopContact", ZCL_SITE, [&]() -> HRESULT {
    CContactLock lock(this);
    if (m_record) m_record->SetTopContact(top == VARIANT_TRUE ? 1 : 0);
    return S_OK;
  });
}

STDMETHODIMP CContact::get_PhotoPath(BSTR* pbstrPath) {
  return ZCLComMethod("CContact::get_PhotoPath", ZCL_SITE, [&]() -> HRESULT {
    CContactLock lock(this);
    return CopyComText(m_record ? m_record->GetPhotoPath() : L"", pbstrPath);
  });
}

// The name is built and copied under the lock: another thread may be
// writing the card meanwhile.
STDMETHODIMP CContact::get_FormattedName(BSTR* pbstrName) {
  return ZCLComMethod("CContact::get_FormattedName", ZCL_SITE, [&]() -> HRESULT {
    CContactLock lock(this);
    return CopyComText(m_record ? m_record->GetFormattedName() : L"", pbstrName);
  });
}

STDMETHODIMP CContact::_GetInternalPointer(hyper* pPointer) {
  return ZCLComMethod("CContact::_GetInternalPointer", ZCL_SITE, [&]() -> HRESULT {
    if (pPointer) *pPointer = static_cast<hyper>(reinterpret_cast<INT_PTR>(this));
    return S_OK;
  });
}

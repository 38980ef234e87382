#include <windows.h>
#include "CContact.h"
#include "ComText.h"

STDMETHODIMP CContact::get_DbId(BSTR* pbstrId) {
  return Read("CContact::get_DbId", pbstrId, [](CZembraContact& r, BSTR* out) {
    return CopyComText(std::to_wstring(r.GetDbId()), out);
  });
}

STDMETHODIMP CContact::get_PhoneId(BSTR* pbstrId) {
  return Read("CContact::get_PhoneId", pbstrId,
              [](CZembraContact& r, BSTR* out) { return CopyComText(r.GetPhoneId().ToString(), out); });
}

// The stored bytes are in the ANSI code page up to their first zero byte.
STDMETHODIMP CContact::get_VCard(BSTR* pbstrVCard) {
  return Read("CContact::get_VCard", pbstrVCard, [](CZembraContact& r, BSTR* out) {
    std::string bytes;
    if (const char* data = reinterpret_cast<const char*>(r.GetVCardData()))
      bytes.assign(data, strnlen(data, r.GetVCardSize()));
    return CopyComText(ZCLAnsiToWide(bytes.c_str()), out);
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
    }
    Guard lock(this);
    if (m_record) m_record->SetVCard(reinterpret_cast<const BYTE*>(bytes.c_str()), bytes.size() + 1);
    return S_OK;
  });
}

STDMETHODIMP CContact::get_TopContact(VARIANT_BOOL* pTop) {
  return Read("CContact::get_TopContact", pTop, [](CZembraContact& r, VARIANT_BOOL* out) {
    *out = r.GetTopContact() == 1 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}

STDMETHODIMP CContact::put_TopContact(VARIANT_BOOL top) {
  return Write("CContact::put_TopContact", [&](CZembraContact& r) {
    r.SetTopContact(top == VARIANT_TRUE ? 1 : 0);
    return S_OK;
  });
}

STDMETHODIMP CContact::get_PhotoPath(BSTR* pbstrPath) {
  return Read("CContact::get_PhotoPath", pbstrPath,
              [](CZembraContact& r, BSTR* out) { return CopyComText(r.GetPhotoPath(), out); });
}

// Built and copied under the lock: another thread may be writing the card.
STDMETHODIMP CContact::get_FormattedName(BSTR* pbstrName) {
  return Read("CContact::get_FormattedName", pbstrName,
              [](CZembraContact& r, BSTR* out) { return CopyComText(r.GetFormattedName(), out); });
}

STDMETHODIMP CContact::_GetInternalPointer(hyper* pPointer) {
  if (pPointer) *pPointer = static_cast<hyper>(reinterpret_cast<INT_PTR>(this));
  return S_OK;
}

#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "CUid.h"
#include "ZCLText.h"

// One contact as the service holds it: the vCard bytes exactly as supplied,
// plus what the rest of the service needs without parsing again (name parts,
// phone-side id, database id, top flag, picture path). A plain value with no
// lock: it belongs to whoever built it.
class CZembraContact {
public:
  CZembraContact() {}
  CZembraContact(const CZembraContact& other);
  CZembraContact& operator=(const CZembraContact& other);
  // A database row: id, phone id and vCard bytes (null or count 0: none).
  CZembraContact(int dbId, Trelk::CUid phoneId, const BYTE* vcard, size_t count);

  const wchar_t* GetGivenName() const { return m_givenName.c_str(); }
  const wchar_t* GetFamilyName() const { return m_familyName.c_str(); }
  const wchar_t* GetAdditionalNames() const { return m_additionalNames.c_str(); }
  const wchar_t* GetHonorificPrefix() const { return m_honorificPrefix.c_str(); }
  const wchar_t* GetHonorificSuffix() const { return m_honorificSuffix.c_str(); }

  const wchar_t* GetPhotoPath() const { return m_photoPath.c_str(); }
  void SetPhotoPath(const wchar_t* path) { m_photoPath = ZCLNullToEmpty(path); }

  const BYTE* GetVCardData() const { return m_vcard.empty() ? nullptr : m_vcard.data(); }
  size_t GetVCardSize() const { return m_vcard.size(); }
  // Replaces the bytes with a copy and parses the names again. The copy ends
  // with the first zero byte, when one comes before the count.
  void SetVCard(const BYTE* data, size_t count);

  int GetTopContact() const { return m_topContact; }
  void SetTopContact(int top) { m_topContact = top; }
  int GetDbId() const { return m_dbId; }
  void SetDbId(int id) { m_dbId = id; }
  Trelk::CUid GetPhoneId() const { return m_phoneId; }
  void SetPhoneId(const Trelk::CUid& id) { m_phoneId = id; }

  // Prefix, then given, additional, family names and suffix, each non-empty
  // one after a blank; the card's FN when that is empty. Rebuilt on every call.
  const wchar_t* GetFormattedName();
  // The decoded PHOTO data: null without vCard bytes, empty without a photo.
  std::unique_ptr<std::vector<BYTE>> GetPhoto() const;
  // Fills the name parts from the "N" property and the full name from "FN";
  // the vCard is not changed.
  void ParseVCard();

private:
  std::wstring m_givenName;
  std::wstring m_familyName;
  std::wstring m_additionalNames;
  std::wstring m_honorificPrefix;
  std::wstring m_honorificSuffix;
  std::wstring m_photoPath;
  std::vector<BYTE> m_vcard;
  Trelk::CUid m_phoneId;
  int m_topContact = 0;
  int m_dbId = -1;
  std::wstring m_fullName;  // the FN property, shown when N gives no name
  std::wstring m_formattedName;
};

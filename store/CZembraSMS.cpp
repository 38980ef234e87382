#include <windows.h>
#include "CZembraSMS.h"
#include "TrelkApi.h"
#include "ZembraPhoneText.h"
#include "ZembraTimeStamp.h"

namespace {

CZembraPhoneSmsItem FieldsOf(const TESSIM_ITEM_ID* id, const TESSIM_SMS_ITEM* item,
                             std::vector<CZembraPhoneSmsItem::Address>& addresses) {
  CZembraPhoneSmsItem fields;
  if (id) {
    fields.uid = Trelk::CUid(id->pbUid, id->pbUid ? id->dwUidLength : 0);
    fields.folderId = static_cast<int>(id->dwFolderId);
  }
  if (item) {
    fields.flags = item->dwInfo;
    fields.text = item->pstrText;
    fields.textBytes = item->dwTextLength;
    if (item->pAddresses) {
      for (BYTE i = 0; i < item->bNumOfAddresses; ++i)
        addresses.push_back({static_cast<int>(item->pAddresses[i].dwAddressType), item->pAddresses[i].pstrAddress});
    }
    fields.addresses = addresses.empty() ? nullptr : addresses.data();
    fields.addressCount = addresses.size();
    static_cast<Trelk::CPhoneTime&>(fields) = Trelk::PhoneTimeOf(*item);
  }
  return fields;
}

}  // namespace

CZembraSMS::CZembraSMS(const TESSIM_ITEM_ID* id, const TESSIM_SMS_ITEM* item) {
  std::vector<CZembraPhoneSmsItem::Address> addresses;
  *this = CZembraSMS(FieldsOf(id, item, addresses));
}

CZembraSMS::CZembraSMS(const CZembraPhoneSmsItem& item)
    : m_phoneId(item.uid), m_status(static_cast<int>((item.flags >> 8) & 15)), m_folder(item.folderId) {
  // A failed read leaves null pointers behind non-zero counts: read as empty.
  m_message = ZembraPhoneText(item.text, item.textBytes / 2);
  if (item.addresses) {
    for (size_t i = 0; i < item.addressCount; ++i)
      AddAddress(item.addresses[i].type, ZembraPhoneText(item.addresses[i].address).c_str());
  }
  m_timeStamp = ZembraFormatTimeStamp(item, static_cast<long long>(item.zone1) + item.zone2);
}

CZembraSMS::CZembraSMS(const CZembraSMS& other)
    : m_id(other.m_id),
      m_phoneId(other.m_phoneId),
      m_message(other.m_message),
      m_timeStamp(other.m_timeStamp),
      m_status(other.m_status),
      m_folder(other.m_folder) {
  for (const auto& address : other.m_addresses) m_addresses.emplace_back(new CZembraSMSAddress(*address));
}

CZembraSMS& CZembraSMS::operator=(const CZembraSMS& other) {
  if (this == &other) return *this;
  CZembraSMS copy(other);
  m_id = copy.m_id;
  m_phoneId = std::move(copy.m_phoneId);
  m_message = std::move(copy.m_message);
  m_timeStamp = std::move(copy.m_timeStamp);
  m_addresses = std::move(copy.m_addresses);
  m_status = copy.m_status;
  m_folder = copy.m_folder;
  return *this;
}

void CZembraSMS::AddAddress(int type, const wchar_t* address) {
  m_addresses.emplace_back(new CZembraSMSAddress(type, address));
}

std::vector<const CZembraSMSAddress*> CZembraSMS::GetAddresses() const {
  std::vector<const CZembraSMSAddress*> list;
  list.reserve(m_addresses.size());
  for (const auto& address : m_addresses) list.push_back(address.get());
  return list;
}

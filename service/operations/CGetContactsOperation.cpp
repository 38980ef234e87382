#include <windows.h>
#include "CGetContactsOperation.h"
#include "CContact.h"
#include "CContactList.h"
#include "FileSystem.h"
#include "Selectors.h"
#include "ZCLException.h"

namespace {

// The picture the synchronisation wrote for the contact: a file in the data
// folder named by the uid's text. A contact without uid has no picture; a
// folder of that name is none either.
void SetPhotoIfPresent(CZembraContact& contact, std::wstring folder) {
  Trelk::CUid uid = contact.GetPhoneId();
  if (uid.IsEmpty()) return;
  EnsureTrailingBackslash(folder);
  std::wstring path = folder + uid.ToString();
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  contact.SetPhotoPath(path.c_str());
}

}  // namespace

void CGetContactsOperation::Run() {
  ZCLScopeTracer trace("CGetContactsOperation::Execute");
  COperationTask::Run();
}

// A list that cannot be made fails the run: completing would hand the client
// no list, or the one of an earlier run, as this run's result.
void CGetContactsOperation::DoWork(CZembraDevice* device) {
  CComPtr<CComObject<CContactList>> list = NewData<CContactList>();
  ZCLComThrowOnFalse(list != nullptr, E_OUTOFMEMORY, ZCL_POS + "Failed to create ContactList object!");
  list->SetSerialNumber(m_serialNumber.c_str());
  CContactSelector selector;
  device->SelectContacts(&selector);
  std::wstring folder = device->GetDataFolder();
  for (const std::unique_ptr<CZembraContact>& record : selector.Records()) {
    SetPhotoIfPresent(*record, folder);
    CComPtr<CComObject<CContact>> contact = NewData<CContact>();
    if (!contact) continue;
    contact->Init(record.get(), m_serialNumber.c_str());
    list->AddContact(contact, nullptr);
  }
  SetData(list->GetUnknown());
}

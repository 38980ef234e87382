#pragma once
#include <windows.h>
#include "CContact.h"
#include "CZembraCollection.h"

// The contacts of one phone; clients may add contacts they made through it
// and remove entries.
class CContactList : public CZembraCollection<CContactList, IContactList, IContact, &IID_IContactList> {
public:
  STDMETHOD(CreateContact)(IContact** ppContact) override;
  STDMETHOD(AddContact)(IContact* pContact, long* pIndex) override;
  STDMETHOD(RemoveContact)(long index) override;
};

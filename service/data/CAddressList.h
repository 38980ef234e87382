#pragma once
#include <windows.h>
#include "CAddress.h"
#include "CZembraCollection.h"

// The addresses of one message.
class CAddressList : public CZembraCollection<CAddressList, IAddressList, IAddress, &IID_IAddressList> {
public:
  HRESULT AddAddress(IUnknown* address, long* count) {
    return AddOwn<CAddressRegistry, false>(address, "Exception thrown in AddAddress!", count);
  }
};

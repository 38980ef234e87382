#pragma once
#include <windows.h>
#include "CSms.h"
#include "CZembraCollection.h"

// The messages of one phone.
class CSmsList : public CZembraCollection<CSmsList, ISmsList, ISms, &IID_ISmsList> {
public:
  HRESULT AddSMS(IUnknown* sms, long* count) {
    return AddOwn<CSmsRegistry, true>(sms, "Exception thrown in AddSMS!", count);
  }
};

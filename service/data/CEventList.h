#pragma once
#include <windows.h>
#include "CEvent.h"
#include "CZembraCollection.h"

// The call log of one phone.
class CEventList : public CZembraCollection<CEventList, IEventList, IEvent, &IID_IEventList> {
public:
  HRESULT AddEvent(IUnknown* event, long* count) {
    return AddOwn<CEventRegistry, true>(event, "Exception thrown in AddEvent!", count);
  }
};

#pragma once
#include <windows.h>
#include "CZembraContact.h"
#include "CZembraEventLog.h"
#include "CZembraSMS.h"

// The callback through which the database's selections hand over their rows.
// A record is valid only during the call; a callback that keeps it copies it.
// Callbacks run without the database's lock and may call the database again.
class IZembraDbCB {
public:
  virtual void SelectUpdatedLocalContactsCB(CZembraContact*) {}
  virtual void SelectContactsCB(CZembraContact*) {}
  virtual void SelectNewLocalContactsCB(CZembraContact*) {}
  // True: the contact's rows may be deleted.
  virtual bool SelectDeletedLocalContactsCB(CZembraContact*) { return false; }
  // True: the deletion may be completed.
  virtual bool SelectDeletedSmsCB(CZembraSMS*) { return false; }
  virtual void SelectSmsCB(CZembraSMS*) {}
  virtual void SelectEventsCB(CZembraEventLog*) {}
};

#pragma once
#include <windows.h>
#include <memory>
#include <vector>
#include "CZembraContact.h"
#include "CZembraEventLog.h"
#include "CZembraSMS.h"
#include "IZembraDbCB.h"

// Collects copies of the rows of one kind that a selection of a phone's
// database hands it and that the filter accepts, in the order received. Lives
// on the stack of one run; the copies go with it.
template <class Record, bool (*Filter)(const Record*)>
class CSelector : public IZembraDbCB {
public:
  void SelectContactsCB(CZembraContact* record) override { Take(record); }
  void SelectSmsCB(CZembraSMS* record) override { Take(record); }
  void SelectEventsCB(CZembraEventLog* record) override { Take(record); }
  const std::vector<std::unique_ptr<Record>>& Records() const { return m_records; }

private:
  template <class Other>
  void Take(Other*) {}
  void Take(Record* record) {
    if (record && Filter(record)) m_records.emplace_back(new Record(*record));
  }

  std::vector<std::unique_ptr<Record>> m_records;
};

inline bool AllContacts(const CZembraContact*) { return true; }
inline bool AllSms(const CZembraSMS*) { return true; }
inline bool AllEvents(const CZembraEventLog*) { return true; }

typedef CSelector<CZembraContact, &AllContacts> CContactSelector;
typedef CSelector<CZembraSMS, &AllSms> CSmsSelector;
typedef CSelector<CZembraEventLog, &AllEvents> CEventSelector;

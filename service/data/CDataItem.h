#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CLiveObjectRegistry.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

// The frame of the item objects that carry a store record of one phone
// (contact, message, call-log entry): the object's own copy of the record,
// the phone's serial number, and the object's entry in the registry of its
// kind from final construction to release. Clients may read and write an
// item from several threads: the object's lock guards the record, and the
// service's own code works on a copy (CopyRecord), never in place.
template <class Derived, class Record, class Itf, const IID* piid>
class CDataItem : public CComObjectRootEx<CComMultiThreadModel>,
                  public IDispatchImpl<Itf, piid, &LIBID_SZembraLib, 1, 0> {
public:
  typedef CComObjectLock<CDataItem> Guard;

  HRESULT FinalConstruct() {
    return ZCLComMethod("CDataItem::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
      Derived* self = static_cast<Derived*>(this);
      m_live.Add(self->GetUnknown(), self);
      return S_OK;
    });
  }
  void FinalRelease() { m_live.Remove(); }

  // A copy of the record, or an empty record when there is none.
  void Init(const Record* record, const wchar_t* serialNumber) {
    Guard lock(this);
    m_record.reset(record ? new Record(*record) : new Record());
    m_serialNumber = ZCLNullToEmpty(serialNumber);
  }
  Record CopyRecord() {
    Guard lock(this);
    return m_record ? *m_record : Record();
  }
  // Changes the object's own record under its lock (what a run learnt about
  // the item, such as the database id of its first store).
  template <class Edit>
  void EditRecord(Edit edit) {
    Guard lock(this);
    if (m_record) edit(*m_record);
  }
  std::wstring GetSerialNumber() {
    Guard lock(this);
    return m_serialNumber;
  }

protected:
  // A getter's frame: E_POINTER for a null out pointer, then the reader on
  // the record (an empty one when there is none) under the lock.
  template <class Out, class Reader>
  HRESULT Read(const char* name, Out* out, Reader read) {
    return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      Guard lock(this);
      Record empty;
      return read(m_record ? *m_record : empty, out);
    });
  }
  // A put's frame: the writer on the record under the lock; nothing when
  // there is no record.
  template <class Writer>
  HRESULT Write(const char* name, Writer write) {
    return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
      Guard lock(this);
      return m_record ? write(*m_record) : S_OK;
    });
  }

  std::unique_ptr<Record> m_record;
  std::wstring m_serialNumber;

private:
  typename CLiveObjectRegistry<Derived>::CRegistration m_live;
};

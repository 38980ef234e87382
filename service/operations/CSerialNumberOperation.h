#pragma once
#include <windows.h>
#include <string>
#include "COperation.h"

// The SerialNumber property of the operations that name a phone.
template <class T, class I>
class CSerialNumberOperation : public COperation<T, I> {
public:
  OPERATION_TEXT_PROPERTY(SerialNumber, m_serialNumber)

protected:
  bool GetDeviceSerial(std::wstring& serial) override {
    serial = m_serialNumber;
    return true;
  }

  std::wstring m_serialNumber;
};

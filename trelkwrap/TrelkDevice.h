#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace Trelk {

// One connected phone as the device list shows it.
class ITrelkDevice {
public:
  virtual const wchar_t* GetSerialNumber() const = 0;
  virtual const wchar_t* GetModelName() const = 0;
  virtual const wchar_t* GetFriendlyName() const = 0;
  virtual const wchar_t* GetManufacturer() const = 0;
  virtual ~ITrelkDevice() {}
};

// A plain value; a null string pointer gives an empty string.
class CTrelkDevice : public ITrelkDevice {
public:
  CTrelkDevice(const wchar_t* serialNumber, const wchar_t* modelName, const wchar_t* friendlyName,
               const wchar_t* manufacturer);
  explicit CTrelkDevice(const ITrelkDevice& other);
  ~CTrelkDevice() override;

  const wchar_t* GetSerialNumber() const override { return m_serialNumber.c_str(); }
  const wchar_t* GetModelName() const override { return m_modelName.c_str(); }
  const wchar_t* GetFriendlyName() const override { return m_friendlyName.c_str(); }
  const wchar_t* GetManufacturer() const override { return m_manufacturer.c_str(); }

private:
  std::wstring m_serialNumber;
  std::wstring m_modelName;
  std::wstring m_friendlyName;
  std::wstring m_manufacturer;
};

class ITrelkDeviceList {
public:
  virtual size_t Count() const = 0;
  virtual ITrelkDevice* GetAt(size_t index) const = 0;
  virtual int Find(const wchar_t* serialNumber) const = 0;
  virtual bool AddDevice(const ITrelkDevice& device) = 0;
  virtual ~ITrelkDeviceList() {}
};

// Owns copies of the devices added, in the order they were added. Used by one
// thread at a time.
class CTrelkDeviceList : public ITrelkDeviceList {
public:
  CTrelkDeviceList() {}
  ~CTrelkDeviceList() override;

  size_t Count() const override;
  // Throws std::out_of_range at or beyond Count.
  ITrelkDevice* GetAt(size_t index) const override;
  // The first device whose serial number is exactly the given one, or -1.
  int Find(const wchar_t* serialNumber) const override;
  bool AddDevice(const ITrelkDevice& device) override;
  void RemoveAll();

private:
  CTrelkDeviceList(const CTrelkDeviceList&) = delete;
  CTrelkDeviceList& operator=(const CTrelkDeviceList&) = delete;
  std::vector<CTrelkDevice*> m_devices;
};

}  // namespace Trelk

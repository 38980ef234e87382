#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include "PhoneWorld.h"
#include "SimTestSupport.h"
#include "ZCLHandle.h"

// The connectivity library loaded over a scratch world holding one connected
// phone "P" (device number 5), with its entries looked up by name or ordinal.
namespace PhoneSim {
namespace Testing {

class CLanyxTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_lanyx.Reset(LoadLibraryW((BinFolder() + L"\\Lanyx.dll").c_str()));
    ASSERT_TRUE(m_lanyx.IsValid());
    m_world.reset(new CPhoneWorld(m_scratch.Folder()));
    CPhone phone;
    phone.serial = L"P";
    phone.connections.push_back(CConnection());
    phone.connections[0].deviceId = 5;
    ASSERT_TRUE(m_world->PlugPhone(phone));
  }
  FARPROC Entry(const char* name) { return GetProcAddress(m_lanyx.Get(), name); }
  FARPROC Ordinal(WORD ordinal) { return GetProcAddress(m_lanyx.Get(), MAKEINTRESOURCEA(ordinal)); }
  template <class F>
  F* Named(const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(Entry(name)));
  }

  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
  CModuleHandle m_lanyx;
};

}  // namespace Testing
}  // namespace PhoneSim

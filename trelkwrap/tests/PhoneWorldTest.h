#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "LogFileTest.h"
#include "PhoneWorld.h"
#include "SimTestSupport.h"

// A test with the log file and one simulated phone, plugged in, in a world
// of its own that goes with the test.
class PhoneWorldTest : public LogFileTest {
protected:
  explicit PhoneWorldTest(const wchar_t* serial) : m_serial(serial) {}
  void SetUp() override {
    LogFileTest::SetUp();
    m_world.reset(new PhoneSim::CPhoneWorld(m_scratch.Folder()));
    PhoneSim::CPhone phone;
    phone.serial = m_serial;
    m_world->PlugPhone(phone);
  }
  void TearDown() override {
    m_world.reset();
    LogFileTest::TearDown();
  }

  std::wstring m_serial;
  PhoneSim::Testing::CScratchWorld m_scratch;
  std::unique_ptr<PhoneSim::CPhoneWorld> m_world;
};

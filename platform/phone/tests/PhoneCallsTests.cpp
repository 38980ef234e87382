#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "PhoneCalls.h"
#include "PhoneWorld.h"
#include "SimTestSupport.h"

namespace PhoneSim {
namespace {

using Testing::CScratchWorld;
using Testing::RunPhonectl;

class PhoneCallsTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_world.reset(new CPhoneWorld(m_scratch.Folder()));
    CPhone phone;
    phone.serial = L"SN-P";
    m_world->PlugPhone(phone);
  }
  CPhoneCalls Calls() { return ReadPhoneCalls(*m_world, L"SN-P"); }
  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
};

TEST_F(PhoneCallsTest, TheFarSideRingsAnswersAndEndsCallsUnderIdsOneToSeven) {
  for (DWORD id = 1; id <= 7; ++id) EXPECT_EQ(RingPhone(*m_world, L"SN-P", L"0401", L""), id);
  EXPECT_EQ(RingPhone(*m_world, L"SN-P", L"0401", L""), 0u);  // all seven busy
  EXPECT_EQ(HangUpFarSide(*m_world, L"SN-P", 3, 16), 3u);
  EXPECT_EQ(Calls().Find(3)->state, static_cast<DWORD>(kCallEnded));
  EXPECT_EQ(Calls().Find(3)->cause, 16u);
  EXPECT_EQ(RingPhone(*m_world, L"SN-P", L"0402", L"Joe"), 3u);  // an ended id is used again
  EXPECT_EQ(Calls().Find(3)->number, L"0402");
  EXPECT_NE(Calls().Find(3)->sequence, Calls().Find(2)->sequence);
  // Only a call the PC dialled can be answered or refused by the far side.
  EXPECT_EQ(AnswerFarSide(*m_world, L"SN-P", 0), 0u);
  EXPECT_EQ(RejectFarSide(*m_world, L"SN-P", 1, 1029), 0u);
  EXPECT_EQ(RingPhone(*m_world, L"NO-SUCH", L"0401", L""), 0u);
}

TEST_F(PhoneCallsTest, ARingPutsTheActiveCallOnHoldAndADropEndsEveryCall) {
  ChangePhoneCalls(*m_world, L"SN-P", [](CPhoneCalls& calls) {
    CPhoneCall call;
    call.id = 1;
    call.sequence = calls.nextSequence++;
    call.state = kCallActive;
    calls.calls.push_back(call);
    return true;
  });
  EXPECT_EQ(RingPhone(*m_world, L"SN-P", L"0403", L""), 2u);
  EXPECT_EQ(Calls().Find(1)->state, static_cast<DWORD>(kCallHeld));
  EXPECT_TRUE(DropCallConnection(*m_world, L"SN-P"));
  EXPECT_EQ(Calls().drops, 1u);
  EXPECT_EQ(Calls().FirstIn(0), nullptr);
}

TEST_F(PhoneCallsTest, PhonectlDrivesTheFarSideAndListsTheCalls) {
  std::string out;
  ASSERT_EQ(RunPhonectl(L"ring SN-P \"+358 40\" --name \"Jane Doe\"", &out), 0u);
  EXPECT_EQ(out, "1\r\n");
  ASSERT_EQ(RunPhonectl(L"calls SN-P", &out), 0u);
  EXPECT_EQ(out, "1\tringing\tin\t+358 40\tJane Doe\t0\r\n");
  EXPECT_EQ(RunPhonectl(L"answer SN-P", &out), 1u);  // nothing dialled
  ASSERT_EQ(RunPhonectl(L"hangup SN-P 1 --cause 17", &out), 0u);
  ASSERT_EQ(RunPhonectl(L"calls SN-P", &out), 0u);
  EXPECT_EQ(out, "1\tended\tin\t+358 40\tJane Doe\t17\r\n");
  ASSERT_EQ(RunPhonectl(L"call-handles SN-P", &out), 0u);
  EXPECT_EQ(out, "opened 0 closed 0\r\n");
  EXPECT_EQ(RunPhonectl(L"drop-calls NO-SUCH", &out), 1u);
}

}  // namespace
}  // namespace PhoneSim

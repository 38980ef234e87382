#include <windows.h>
#include <gtest/gtest.h>

namespace {

// The tray's main thread is in the multithreaded apartment; so is the tests'.
class CComEnvironment : public testing::Environment {
public:
  void SetUp() override { ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  void TearDown() override { ::CoUninitialize(); }
};

testing::Environment* const g_com = testing::AddGlobalTestEnvironment(new CComEnvironment);

}  // namespace

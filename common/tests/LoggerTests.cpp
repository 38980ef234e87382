#include <windows.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include "LogFileTest.h"
#include "ZCLLogger.h"

struct Traced {
  ZCLObjectTracer<Traced> tracer;
};

namespace {

using LoggerTest = LogFileTest;

TEST_F(LoggerTest, LineHasTimeStampAndCrLf) {
  ZCLLogMessage(3, nullptr).Print("hello %d", 42);
  std::string text = NewText();
  ASSERT_EQ(text.size(), 12u + 8u + 2u) << text;
  EXPECT_EQ(text[0], '[');
  EXPECT_EQ(text[3], ':');
  EXPECT_EQ(text[6], ':');
  EXPECT_EQ(text.substr(9, 3), "]: ");
  EXPECT_EQ(text.substr(12), "hello 42\r\n");
}

TEST_F(LoggerTest, ThresholdDropsHigherLevels) {
  ZCLLogger::Instance().SetLevel(3);
  ZCLLogMessage(4, nullptr).Print("dropped");
  ZCLLogMessage(3, nullptr).Print("kept");
  {
    ZCLScopeTracer scope("Hidden::Scope");
  }
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Body(lines[0]), "kept");
}

TEST_F(LoggerTest, TaggedMessagesNeedAnEnabledTag) {
  ZCLLogMessage(1, "net").Print("tagged");
  ZCLLogMessage(1, "").Print("empty tag");
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Body(lines[0]), "empty tag");
}

TEST_F(LoggerTest, NewlineHandling) {
  ZCLLogger::Instance().Log(3, nullptr, "ends\n");
  ZCLLogger::Instance().Log(3, nullptr, "");
  ZCLLogger::Instance().Log(3, nullptr, "joined");
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), "ends");
  // The empty text leaves only its prefix; the next line continues on it.
  EXPECT_EQ(lines[1].substr(12, 1), "[");
  EXPECT_NE(lines[1].find("joined"), std::string::npos);
}

TEST_F(LoggerTest, ArgumentsAreNeverReadAsFormats) {
  ZCLLogMessage(3, nullptr).Print("name=%s", "100%s%n%d");
  ZCLLogMessage(3, nullptr, "direct %s", "%n%n");
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), "name=100%s%n%d");
  EXPECT_EQ(Body(lines[1]), "direct %n%n");
}

TEST_F(LoggerTest, LongTextIsCutToBufferAndStaysOneLine) {
  std::string big(5000, 'x');
  ZCLLogMessage(3, nullptr).Print("%s", big.c_str());
  ZCLLogMessage(3, nullptr).Print("after");
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), std::string(1023, 'x'));
  EXPECT_EQ(Body(lines[1]), "after");
}

TEST_F(LoggerTest, ScopesIndentPerThreadAndDepthNeverGoesNegative) {
  ZCLLogger& logger = ZCLLogger::Instance();
  logger.DecreaseDepth();
  EXPECT_EQ(logger.GetDepth(), 0);
  {
    ZCLScopeTracer outer("A::Outer");
    EXPECT_EQ(logger.GetDepth(), 1);
    {
      ZCLScopeTracer inner("A::Inner");
      ZCLLogMessage(3, nullptr).Print("inside");
    }
  }
  EXPECT_EQ(logger.GetDepth(), 0);
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Body(lines[0]), ">> A::Outer");
  EXPECT_EQ(Body(lines[1]), "  >> A::Inner");
  EXPECT_EQ(Body(lines[2]), "    inside");
  EXPECT_EQ(Body(lines[3]), "  << A::Inner");
  EXPECT_EQ(Body(lines[4]), "<< A::Outer");
}

TEST_F(LoggerTest, ObjectTracerNamesTheClass) {
  { Traced t; }
  auto lines = NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), "[Constructed class Traced]");
  EXPECT_EQ(Body(lines[1]), "[Destructed class Traced]");
}

// Eight threads, each nesting scopes: every line stays whole and carries its
// own thread's indentation.
TEST_F(LoggerTest, ConcurrentThreadsKeepLinesWholeAndIndentationPerThread) {
  const int threads = 8, rounds = 200;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t] {
      for (int r = 0; r < rounds; ++r) {
        ZCLScopeTracer a("Level::One");
        ZCLLogMessage(3, nullptr).Print("t%d depth1 %s", t, std::string(40, 'a' + t).c_str());
        ZCLScopeTracer b("Level::Two");
        ZCLLogMessage(3, nullptr).Print("t%d depth2 %s", t, std::string(40, 'a' + t).c_str());
      }
    });
  }
  for (auto& w : workers) w.join();
  auto lines = NewLines();
  int body = 0;
  for (const auto& line : lines) {
    std::string b = Body(line);
    size_t indent = b.find_first_not_of(' ');
    ASSERT_NE(indent, std::string::npos) << line;
    std::string rest = b.substr(indent);
    if (rest[0] == 't') {
      int t = 0, d = 0;
      char fill[64] = {};
      ASSERT_EQ(sscanf(rest.c_str(), "t%d depth%d %63s", &t, &d, fill), 3) << line;
      EXPECT_EQ(indent, static_cast<size_t>(2 * d)) << line;
      EXPECT_EQ(std::string(fill), std::string(40, 'a' + t)) << line;
      ++body;
    } else {
      EXPECT_TRUE(rest == ">> Level::One" || rest == ">> Level::Two" || rest == "<< Level::One" ||
                  rest == "<< Level::Two")
          << line;
    }
  }
  EXPECT_EQ(body, threads * rounds * 2);
  EXPECT_EQ(lines.size(), static_cast<size_t>(threads * rounds * 6));
}

}  // namespace

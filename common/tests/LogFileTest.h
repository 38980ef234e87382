#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ZCLLogger.h"

// The process has one logger and one file; each test reads what it appended.
class LogFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    ZCLLogger::Instance().Enable(true);
    ZCLLogger::Instance().SetLevel(5);
    m_start = FileText().size();
  }
  void TearDown() override { ZCLLogger::Instance().SetLevel(3); }

  static std::string FileText() {
    HANDLE h = CreateFileW(ZCLLogger::Instance().GetLogFilePath().c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (h == INVALID_HANDLE_VALUE) return text;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
    CloseHandle(h);
    return text;
  }
  std::string NewText() const { return FileText().substr(m_start); }
  std::vector<std::string> NewLines() const {
    std::vector<std::string> lines;
    std::string text = NewText();
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) break;
      lines.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
  // "[hh:mm:ss]: " is twelve characters.
  static std::string Body(const std::string& line) { return line.size() >= 12 ? line.substr(12) : ""; }

  // A logged text as the file holds it: line breaks become CR LF.
  static std::string AsFileText(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  size_t m_start = 0;
};

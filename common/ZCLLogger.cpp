#include <windows.h>
#include "ZCLLogger.h"
#include "CLockable.h"
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// The module that holds this code: a DLL that links the base library logs
// beside itself, not beside the program that loaded it.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// Formats into the fixed buffer, always terminated, cut at BufferSize - 1.
void FormatBounded(char (&buffer)[ZCLLogMessage::BufferSize], const char* format, va_list args) {
  buffer[0] = '\0';
  if (!format) return;
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) {
    // Some C libraries answer truncation with -1; what was written stays.
  }
  buffer[sizeof buffer - 1] = '\0';
}

}  // namespace

ZCLLogger& ZCLLogger::Instance() {
  // Built on first use; deliberately never destroyed (see the class comment).
  static ZCLLogger* instance = [] {
    ZCLLogger* logger = new ZCLLogger();
    std::atexit(&ZCLLogger::CloseAtExit);
    return logger;
  }();
  return *instance;
}

ZCLLogger::ZCLLogger() {}

ZCLLogger::~ZCLLogger() { CloseFile(); }

void ZCLLogger::CloseAtExit() { Instance().CloseFile(); }

void ZCLLogger::CloseFile() {
  CLockGuard guard(&m_lock);
  m_file.Reset();
}

std::wstring ZCLLogger::GetLogFilePath() const {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameW(OwnModule(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  size_t dot = p.find_last_of(L'.');
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) p.erase(dot);
  return p + L".log";
}

void ZCLLogger::OpenFile() {
  std::wstring path = GetLogFilePath();
  if (path.empty()) return;
  m_file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void ZCLLogger::Enable(bool on) {
  CLockGuard guard(&m_lock);
  m_enabled = on;
  if (on && !m_fileOpened) {
    m_fileOpened = true;
    OpenFile();
  }
}

void ZCLLogger::Log(int level, const char* tag, const char* text) {
  if (!text) text = "";
  size_t len = strlen(text);
  if (len == 0 || text[len - 1] == '\n') {
    Write(level, tag, text);
  } else {
    std::string line(text, len);
    line += '\n';
    Write(level, tag, line.c_str());
  }
}

void ZCLLogger::Write(int level, const char* tag, const char* text) {
  if (level > m_threshold) return;
  try {
    if (!text) text = "";
    CLockGuard guard(&m_lock);
    if (tag && *tag && m_enabledTags.find(tag) == m_enabledTags.end()) return;
    if (m_enabled && m_file.IsValid()) {
      SYSTEMTIME now;
      GetLocalTime(&now);
      char stamp[32];
      snprintf(stamp, sizeof stamp, "[%02u:%02u:%02u]: ", now.wHour, now.wMinute, now.wSecond);
      std::string line(stamp);
      auto it = m_depth.find(GetCurrentThreadId());
      if (it != m_depth.end()) line.append(2 * static_cast<size_t>(it->second), ' ');
      // Text mode: every line break is stored as carriage return and line feed.
      for (const char* p = text; *p; ++p) {
        if (*p == '\n') line += '\r';
        line += *p;
      }
      DWORD written = 0;
      WriteFile(m_file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    size_t len = strlen(text);
    if (len > ZCLLogMessage::BufferSize - 1) {
      std::string cut(text, ZCLLogMessage::BufferSize - 1);
      OutputDebugStringA(cut.c_str());
    } else {
      OutputDebugStringA(text);
    }
  } catch (...) {
    // Logging never fails towards its caller.
  }
}

void ZCLLogger::IncreaseDepth() {
  CLockGuard guard(&m_lock);
  try {
    ++m_depth[GetCurrentThreadId()];
  } catch (...) {
  }
}

void ZCLLogger::DecreaseDepth() {
  CLockGuard guard(&m_lock);
  auto it = m_depth.find(GetCurrentThreadId());
  if (it == m_depth.end()) return;
  if (it->second <= 1)
    m_depth.erase(it);
  else
    --it->second;
}

int ZCLLogger::GetDepth() {
  CLockGuard guard(&m_lock);
  auto it = m_depth.find(GetCurrentThreadId());
  return it == m_depth.end() ? 0 : it->second;
}

ZCLLogMessage::ZCLLogMessage(int level, const char* tag) : m_level(level), m_tag(tag ? tag : "") {}

ZCLLogMessage::ZCLLogMessage(int level, const char* tag, const char* format, ...)
    : m_level(level), m_tag(tag ? tag : "") {
  va_list args;
  va_start(args, format);
  PrintV(format, args);
  va_end(args);
}

void ZCLLogMessage::Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintV(format, args);
  va_end(args);
}

void ZCLLogMessage::PrintV(const char* format, va_list args) {
  ZCLLogger& logger = ZCLLogger::Instance();
  if (m_level > logger.GetLevel()) return;
  char buffer[BufferSize];
  FormatBounded(buffer, format, args);
  // The formatted text is passed on verbatim from here on.
  logger.Log(m_level, m_tag.empty() ? nullptr : m_tag.c_str(), buffer);
}

ZCLScopeTracer::ZCLScopeTracer(const char* name) : m_name(name ? name : "") {
  ZCLLogMessage(5, nullptr).Print(">> %s", m_name.c_str());
  ZCLLogger::Instance().IncreaseDepth();
}

ZCLScopeTracer::~ZCLScopeTracer() {
  ZCLLogger::Instance().DecreaseDepth();
  ZCLLogMessage(5, nullptr).Print("<< %s", m_name.c_str());
}

ZCLObjectTracerBase::ZCLObjectTracerBase(const std::string& name) : m_typeName(name) {
  ZCLLogMessage(5, nullptr).Print("[Constructed %s]", m_typeName.c_str());
}

ZCLObjectTracerBase::ZCLObjectTracerBase(const ZCLObjectTracerBase& other)
    : m_typeName(other.m_typeName) {
  ZCLLogMessage(5, nullptr).Print("[Constructed %s]", m_typeName.c_str());
}

ZCLObjectTracerBase::~ZCLObjectTracerBase() {
  ZCLLogMessage(5, nullptr).Print("[Destructed %s]", m_typeName.c_str());
}

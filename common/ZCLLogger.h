#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include "CLockable.h"
#include "ZCLHandle.h"
#include "ZCLTypeName.h"

// The one logger of the process. Called from every thread at once: one lock
// guards the depth table, the file and the line being written. The instance is
// never freed (threads may still log while the process exits); the file is
// closed by an exit handler instead.
class ZCLLogger {
public:
  static ZCLLogger& Instance();

  void Enable(bool on);
  void SetLevel(int level) { m_threshold = level; }
  int GetLevel() const { return m_threshold; }

  void Log(int level, const char* tag, const char* text);
  void Write(int level, const char* tag, const char* text);

  void IncreaseDepth();
  void DecreaseDepth();
  int GetDepth();

  // The file this process logs to ("<module>.log" beside the module).
  std::wstring GetLogFilePath() const;

  virtual ~ZCLLogger();

private:
  ZCLLogger();
  ZCLLogger(const ZCLLogger&) = delete;
  ZCLLogger& operator=(const ZCLLogger&) = delete;
  void OpenFile();
  void CloseFile();
  static void CloseAtExit();

  std::atomic<int> m_threshold{3};
  std::atomic<bool> m_enabled{false};
  std::unordered_set<std::string> m_enabledTags;
  std::unordered_map<DWORD, int> m_depth;
  CHandle m_file;
  bool m_fileOpened = false;  // opened once; enabling again does not truncate
  CLockable m_lock;
};

// One message: a level and an optional tag, then Print, or everything at once.
class ZCLLogMessage {
public:
  ZCLLogMessage(int level, const char* tag);
  ZCLLogMessage(int level, const char* tag, const char* format, ...)
      __attribute__((format(printf, 4, 5)));
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));

  static const size_t BufferSize = 1024;

private:
  void PrintV(const char* format, va_list args);
  int m_level;
  std::string m_tag;
};

// Logs entry and exit of a scope and indents what the thread logs inside it.
class ZCLScopeTracer {
public:
  explicit ZCLScopeTracer(const char* name);
  ~ZCLScopeTracer();

private:
  ZCLScopeTracer(const ZCLScopeTracer&) = delete;
  ZCLScopeTracer& operator=(const ZCLScopeTracer&) = delete;
  std::string m_name;
};

// Lifetime tracer: a member of the traced class, logging its construction and
// destruction under the class's type name ("class CZembra").
class ZCLObjectTracerBase {
public:
  ~ZCLObjectTracerBase();

protected:
  explicit ZCLObjectTracerBase(const std::string& name);
  ZCLObjectTracerBase(const ZCLObjectTracerBase& other);
  ZCLObjectTracerBase& operator=(const ZCLObjectTracerBase&) { return *this; }
  std::string m_typeName;
};

template <class T>
class ZCLObjectTracer : public ZCLObjectTracerBase {
public:
  ZCLObjectTracer() : ZCLObjectTracerBase(ZCLTypeName<T>()) {}
};

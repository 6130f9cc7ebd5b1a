// The process-wide logging registry. Code names its source (a short narrow tag) and a level,
// composes a record piece by piece, and the registry routes every piece to the logger attached to
// that source:
//
//   static const LogSource source(LogInfo, kTag);
//   LogRecord(source, "Start customization utility\n");
//   LogRecord(LogSource(LogError, kTag), "Cannot open ") << path << "\n";
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "support/lock.h"
#include "support/logger.h"

namespace Vadu {

class NewConsoleLogger;

// One source's attachment.
struct LogSourceEntry {
  String tag;
  SmartPtr<ILogger> logger;
  int32_t kind = ConsoleLoggerKind;
  std::set<int32_t> levels;
  // Produces a text written at the start of every record; nothing in this program installs one.
  std::function<String()> header;
};

class LogManager {
 public:
  // The registry, created on first use and destroyed at exit.
  static LogManager& Instance();
  // The recursive lock every record step runs under.
  static CritSection& Lock();

  LogManager(const LogManager&) = delete;
  LogManager& operator=(const LogManager&) = delete;

  // Attaches a new logger of the kind to the source, unless the source has that kind already.
  // Kind 1 shares one logger among all sources naming the same title.
  void SetLogger(const String& tag, int32_t kind, const WString& argument);
  // True: every source and the default set get all five levels. False: no level anywhere.
  void ResetLevels(bool enable);
  void SetHeaderProducer(const String& tag, std::function<String()> producer);

  // A record: BeginRecord takes the lock and EndRecord releases it, so the pieces of one record
  // are never interleaved with another thread's.
  void BeginRecord(int32_t level, const String& tag);
  void Write(const String& tag, int32_t level, const String& text);
  void EndRecord(const String& tag);

  // The source's logger and kind (a source is registered on first use).
  SmartPtr<ILogger> GetLogger(const String& tag);
  int32_t GetKind(const String& tag);

 private:
  LogManager();
  ~LogManager() = default;

  // The entry of a tag, created on first use; the empty tag names the default entry.
  LogSourceEntry& Entry(const String& tag);
  SmartPtr<ILogger> CreateLogger(int32_t kind, const WString& argument);

  std::unordered_map<String, std::unique_ptr<LogSourceEntry>> entries_;
  std::vector<String> tags_;
  LogSourceEntry defaultEntry_;
  std::set<int32_t> defaultLevels_;
  std::map<WString, SmartPtr<NewConsoleLogger>> consoles_;
};

// Shorthands for the registry's operations.
void SetLogger(const String& tag, int32_t kind, const WString& argument);
void ResetLevels(bool enable);

// The log file path beside the running executable: its directory, its file name without
// extension, then `suffix` (".main.log" gives tool.main.log beside tool.exe).
WString ModuleLogPath(const WString& suffix);

// What calling code keeps: a level and a source tag.
struct LogSource {
  LogSource(int32_t level, const String& tag) : level(level), tag(tag) {}
  int32_t level;
  String tag;
};

// One record under construction: begun by the constructor (which also writes the first text),
// continued with <<, ended by End or the destructor.
class LogRecord {
 public:
  LogRecord(const LogSource& source, const char* text);
  LogRecord(const LogSource& source, const String& text);
  ~LogRecord() { End(); }
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

  LogRecord& operator<<(const char* text);
  LogRecord& operator<<(const String& text);
  // Converted to UTF-8.
  LogRecord& operator<<(const WString& text);
  LogRecord& operator<<(char c);
  LogRecord& operator<<(char16_t c);
  // Integers in decimal.
  template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
           !std::is_same_v<T, char16_t> && !std::is_same_v<T, wchar_t> &&
           !std::is_same_v<T, char8_t> && !std::is_same_v<T, char32_t>) LogRecord&
  operator<<(T value) {
    return *this << String::FromNumber(value);
  }

  void End();

 private:
  void Begin(const LogSource& source);

  LogManager* manager_;
  int32_t level_;
  String tag_;
  bool active_ = false;
};

// Enables all levels once per process, during static initialisation, from whichever unit that
// includes this header is initialised first.
struct LogInitializer {
  LogInitializer();
};
static const LogInitializer logInitializer;

}  // namespace Vadu

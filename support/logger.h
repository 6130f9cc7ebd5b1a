// The logger interface: levels, logger kinds, ILogger, and the IBase plumbing the loggers share.
#pragma once

#include <cstdint>

#include "support/ref_count.h"
#include "support/string_base.h"

namespace Vadu {

// Levels travel as plain 32-bit integers; values outside this list are legal and unknown.
enum LogLevel : int32_t {
  LogDebug = 0,
  LogInfo = 1,
  LogWarning = 2,
  LogError = 3,
  LogCriticalError = 4,
};

// What SetLogger attaches; other values attach nothing.
enum LoggerKind : int32_t {
  ConsoleLoggerKind = 0,     // argument ignored
  NewConsoleLoggerKind = 1,  // argument: window title of the separate console
  FileLoggerKind = 2,        // argument: path of the log file
  MultiFileLoggerKind = 3,   // argument: directory, base name and extension of the log files
};

// The line that opens a run of pieces at `level` in a log file, "[INFO]:\r\n" and so on; empty
// for an unknown level.
const char* LevelHeader(int32_t level);
// The console text attribute of a level (Windows attribute bits); 0 for an unknown level.
uint16_t LevelAttribute(int32_t level);

class ILogger : public IBase {
 public:
  static constexpr uint64_t kInterfaceId = 0x00477B7DB4EE4860ull;

  // Writes the bytes unchanged; an empty text is ignored.
  virtual void Write(int32_t level, const String& text) = 0;
  virtual void Flush() = 0;
};

// IBaseImpl joined with ILogger: routes the ILogger's IBase operations to the shared count and
// answers the IBase and ILogger queries with the ILogger part.
class LoggerImpl : public IBaseImpl, public ILogger {
 public:
  void AttachControlBlock(ISmartStruct* block) override { IBaseImpl::AttachControlBlock(block); }
  int32_t AddRef() override { return IBaseImpl::AddRef(); }
  int32_t Release() override { return IBaseImpl::Release(); }
  void* QueryInterface(uint64_t id) override;
};

}  // namespace Vadu

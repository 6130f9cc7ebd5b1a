#include "support/log.h"

#include "support/console_logger.h"
#include "support/file_logger.h"
#include "support/file_system.h"
#include "support/multi_file_logger.h"
#include "support/new_console_logger.h"

namespace Vadu {

namespace {

// A function, not a namespace-scope set: the registry may be made during static initialisation
// before this unit's own objects exist.
std::set<int32_t> AllLevels() {
  return {LogDebug, LogInfo, LogWarning, LogError, LogCriticalError};
}

template <typename T, typename... Args>
SmartPtr<ILogger> MakeLogger(Args&&... args) {
  return SmartPtr<ILogger>(MakeSmart<T>(std::forward<Args>(args)...));
}

}  // namespace

LogManager& LogManager::Instance() {
  static LogManager manager;
  return manager;
}

CritSection& LogManager::Lock() {
  static CritSection lock;
  return lock;
}

LogManager::LogManager() : defaultLevels_(AllLevels()) {
  // The lock is made first so that it outlives the registry at exit.
  Lock();
  defaultEntry_.logger = MakeLogger<ConsoleLogger>();
  defaultEntry_.levels = defaultLevels_;
}

LogSourceEntry& LogManager::Entry(const String& tag) {
  if (tag.IsEmpty()) return defaultEntry_;
  auto found = entries_.find(tag);
  if (found != entries_.end()) return *found->second;
  auto entry = std::make_unique<LogSourceEntry>();
  entry->tag = tag;
  entry->logger = MakeLogger<ConsoleLogger>();
  entry->kind = ConsoleLoggerKind;
  entry->levels = defaultLevels_;
  LogSourceEntry& result = *entry;
  entries_.emplace(tag, std::move(entry));
  tags_.push_back(tag);
  return result;
}

SmartPtr<ILogger> LogManager::CreateLogger(int32_t kind, const WString& argument) {
  switch (kind) {
    case ConsoleLoggerKind:
      return MakeLogger<ConsoleLogger>();
    case NewConsoleLoggerKind: {
      SmartPtr<NewConsoleLogger>& shared = consoles_[argument];
      if (!shared) shared = MakeSmart<NewConsoleLogger>(argument);
      return SmartPtr<ILogger>(shared);
    }
    case FileLoggerKind:
      return MakeLogger<FileLogger>(argument);
    case MultiFileLoggerKind:
      return MakeLogger<MultiFileLogger>(argument);
    default:
      return SmartPtr<ILogger>();
  }
}

void LogManager::SetLogger(const String& tag, int32_t kind, const WString& argument) {
  AutoLock guard(&Lock());
  LogSourceEntry& entry = Entry(tag);
  if (entry.kind == kind) return;
  entry.kind = kind;
  entry.logger = CreateLogger(kind, argument);
}

void LogManager::ResetLevels(bool enable) {
  AutoLock guard(&Lock());
  const std::set<int32_t> levels = enable ? AllLevels() : std::set<int32_t>();
  defaultLevels_ = levels;
  defaultEntry_.levels = levels;
  for (const String& tag : tags_) entries_[tag]->levels = levels;
}

void LogManager::SetHeaderProducer(const String& tag, std::function<String()> producer) {
  AutoLock guard(&Lock());
  Entry(tag).header = std::move(producer);
}

void LogManager::BeginRecord(int32_t level, const String& tag) {
  Lock().Lock();
  try {
    LogSourceEntry& entry = Entry(tag);
    if (entry.header && entry.logger && entry.levels.count(level))
      entry.logger->Write(level, entry.header());
  } catch (...) {
    Lock().Unlock();
    throw;
  }
}

void LogManager::Write(const String& tag, int32_t level, const String& text) {
  AutoLock guard(&Lock());
  LogSourceEntry& entry = Entry(tag);
  if (entry.logger && entry.levels.count(level)) entry.logger->Write(level, text);
}

void LogManager::EndRecord(const String& tag) {
  {
    AutoLock guard(&Lock());
    LogSourceEntry& entry = Entry(tag);
    if (entry.logger) entry.logger->Flush();
  }
  Lock().Unlock();
}

SmartPtr<ILogger> LogManager::GetLogger(const String& tag) {
  AutoLock guard(&Lock());
  return Entry(tag).logger;
}

int32_t LogManager::GetKind(const String& tag) {
  AutoLock guard(&Lock());
  return Entry(tag).kind;
}

void SetLogger(const String& tag, int32_t kind, const WString& argument) {
  LogManager::Instance().SetLogger(tag, kind, argument);
}

void ResetLevels(bool enable) { LogManager::Instance().ResetLevels(enable); }

WString ModuleLogPath(const WString& suffix) {
  return JoinPath(GetModuleDirectory(), GetFileStem(GetModulePath()) + suffix);
}

// A constructor that throws gets no destructor call, so it ends the record itself.
LogRecord::LogRecord(const LogSource& source, const char* text) {
  Begin(source);
  try {
    *this << text;
  } catch (...) {
    End();
    throw;
  }
}

LogRecord::LogRecord(const LogSource& source, const String& text) {
  Begin(source);
  try {
    *this << text;
  } catch (...) {
    End();
    throw;
  }
}

void LogRecord::Begin(const LogSource& source) {
  manager_ = &LogManager::Instance();
  level_ = source.level;
  tag_ = source.tag;
  manager_->BeginRecord(level_, tag_);
  active_ = true;
}

void LogRecord::End() {
  if (!active_) return;
  active_ = false;
  manager_->EndRecord(tag_);
}

LogRecord& LogRecord::operator<<(const String& text) {
  if (active_) manager_->Write(tag_, level_, text);
  return *this;
}

LogRecord& LogRecord::operator<<(const char* text) { return *this << String(text); }

LogRecord& LogRecord::operator<<(const WString& text) { return *this << ToUtf8(text); }

LogRecord& LogRecord::operator<<(char c) { return *this << String(c); }

LogRecord& LogRecord::operator<<(char16_t c) { return *this << ToUtf8(WString(c)); }

namespace {
std::atomic<int> logInitializerCount{0};
}

LogInitializer::LogInitializer() {
  if (logInitializerCount.fetch_add(1) == 0) ResetLevels(/*enable=*/true);
}

}  // namespace Vadu

#include "src/log_tags.h"

#include "src/exit_code.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/user_state_folder.h"
#include "support/writable_folder.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

WString LogFolder() {
  const WString beside = Vadu::GetModuleDirectory();
  if (Vadu::CanCreateIn(beside)) return beside;
  const WString state = Vadu::UserStateFolder(u"zentu-rebrand");
  return state.IsEmpty() ? beside : state;
}

void AttachLogFiles() {
  const WString folder = LogFolder();
  const WString stem = Vadu::GetFileStem(Vadu::GetModulePath());
  Vadu::SetLogger(kFrontEndLogTag, Vadu::FileLoggerKind,
                  Vadu::JoinPath(folder, stem + u".main.log"));
  Vadu::SetLogger(kArchiveLogTag, Vadu::FileLoggerKind,
                  Vadu::JoinPath(folder, stem + u".7zip.log"));
}

void LogRunStart(const WString& commandLine) {
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogInfo, kFrontEndLogTag), "Time: ")
      << Vadu::DateTime::NowLocal().Format("%Y-%m-%d %H:%M:%S") << "\nCommand line: " << commandLine
      << "\n";
}

void LogRunOutcome(int exitCode) {
  const char* meaning = exitCode == kExitSuccess     ? "success"
                        : exitCode == kExitNoCommand ? "no command"
                                                     : "failed";
  const int level = exitCode == kExitError ? Vadu::LogError : Vadu::LogInfo;
  Vadu::LogRecord(Vadu::LogSource(level, kFrontEndLogTag), "Outcome: ")
      << meaning << " (exit code " << String(std::to_string(exitCode).c_str()) << ")\n";
}

}  // namespace Zentu

#include "src/log_tags.h"

#include "src/exit_code.h"
#include "src/program_layout.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/user_state_folder.h"
#include "support/writable_folder.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

WString LogFolder() {
  const WString state = Vadu::UserStateFolder(u"zentu-rebrand");
  // An installed program never writes into its own folder, also when root runs it.
  if (IsInstalledProgram()) return state;
  const WString beside = Vadu::GetModuleDirectory();
  if (Vadu::CanCreateIn(beside)) return beside;
  return state.IsEmpty() ? beside : state;
}

void AttachLogFiles() {
  const WString folder = LogFolder();
  // Without a state folder (no HOME) an installed program keeps no log.
  if (folder.IsEmpty()) return;
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

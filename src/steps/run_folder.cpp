#include "src/steps/run_folder.h"

#include <mutex>

#include "src/log_tags.h"
#include "src/print_line.h"
#include "support/date_time.h"
#include "support/file_lock.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/private_folder.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

constexpr char16_t kRunFolderPrefix[] = u"zentu-run-";
// Held by the run for as long as it lives.
constexpr char16_t kMarkerName[] = u".alive";
// The shared working folder of older versions.
constexpr char16_t kSharedFolderName[] = u"zentuunpacked";
// A run folder without a marker is left alone this long: its run may be about to make one.
constexpr int64_t kUnmarkedGraceMs = 10 * 60 * 1000;

struct State {
  std::mutex mutex;
  bool tried = false;
  WString folder;
};

State& RunState() {
  static State* state = new State;  // used by the termination cleanup too: never destroyed
  return *state;
}

Vadu::LogSource Info() { return Vadu::LogSource(Vadu::LogInfo, kFrontEndLogTag); }

// True when a run folder found in the temporary directory was left by a run that has ended.
bool LeftByEndedRun(const Vadu::FileEntry& entry, const WString& path) {
  const WString marker = Vadu::JoinPath(path, kMarkerName);
  if (Vadu::FileExists(marker)) return !Vadu::MarkerFileHeld(marker);
  const int64_t age = Vadu::DateTime::NowLocal().Value() - entry.LastWriteTime().Value();
  return age > kUnmarkedGraceMs;
}

}  // namespace

WString RunFolder() {
  State& state = RunState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.tried) return state.folder;
  state.tried = true;
  // Where another user could rename the run folder and put their own under its name, the tools
  // written into it could be theirs.
  const String unsafe = Vadu::WhyUnsafeParent(Vadu::GetTempDir());
  if (!unsafe.IsEmpty()) {
    ReportError(String("ERROR: the temporary folder ") + ShownPath(Vadu::GetTempDir()) +
                " is not safe: " + Printable(unsafe));
    return WString();
  }
  WString folder = Vadu::CreatePrivateFolder(Vadu::GetTempDir(), kRunFolderPrefix);
  if (folder.IsEmpty() || !Vadu::HoldMarkerFile(Vadu::JoinPath(folder, kMarkerName))) {
    if (!folder.IsEmpty()) Vadu::RemoveDirectoryTree(folder);
    Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag),
                    "Can't make a private working folder in ")
        << Vadu::GetTempDir() << "\n";
    return WString();
  }
  state.folder = folder;
  Vadu::LogRecord(Info(), "Working folder: ") << folder << "\n";
  return folder;
}

void RemoveRunFolder() {
  State& state = RunState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.folder.IsEmpty()) {
    Vadu::ReleaseMarkerFile(Vadu::JoinPath(state.folder, kMarkerName));
    Vadu::RemoveDirectoryTree(state.folder);
  }
  state.folder = WString();
  state.tried = false;
}

void RemoveLeftoversOfKilledRuns() {
  const WString temp = Vadu::GetTempDir();
  for (const Vadu::FileEntry& entry : Vadu::ListDirectory(temp, WString(kRunFolderPrefix) + u"*")) {
    const WString path = Vadu::JoinPath(temp, entry.Name());
    if (!Vadu::IsOwnFolder(path) || !LeftByEndedRun(entry, path)) continue;
    Vadu::RemoveDirectoryTree(path);
    Vadu::LogRecord(Info(), "Removed the working folder of an ended run: ") << path << "\n";
  }
  const WString shared = Vadu::JoinPath(temp, kSharedFolderName);
  if (Vadu::IsOwnFolder(shared)) Vadu::RemoveDirectoryTree(shared);
}

}  // namespace Zentu

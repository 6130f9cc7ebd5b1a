#include "src/commands/unpack_command.h"

#include <errno.h>

#include <chrono>
#include <vector>

#include "oem/resource_block.h"
#include "src/commands/add_resources.h"
#include "src/commands/output_folder.h"
#include "src/exit_code.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "src/steps/package_target.h"
#include "support/file_lock.h"
#include "support/file_system.h"
#include "support/opened_folder.h"
#include "support/settings_map.h"
#include "support/system_error.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// The relative path a resource name is written to; false when the name is unsafe. The name must
// be valid UTF-8 without zero bytes, so that what is checked is exactly what the file system
// gets: a lenient decoding could turn bytes that pass a check into "." or "/".
bool SafeRelativePath(const String& name, WString* path) {
  if (name.Find('\0') != String::npos) return false;
  WString text;
  if (!Vadu::TryFromUtf8(name, &text) || text.IsEmpty()) return false;
  if (text[0] == u'/' || text[0] == u'\\') return false;
  for (const WString& component : text.ReplaceAll(u"\\", u"/").Split(u"/")) {
    if (component == u"..") return false;
    if (component.Length() >= 2 && Vadu::IsAsciiLetter(component[0]) && component[1] == u':')
      return false;
  }
  *path = text;
  return true;
}

// Reads the block at the end of the file (of a package's application), and only the block; false,
// after saying why, when the file cannot be read or carries no block.
bool ReadBlockPayload(const WString& input, String* payload) {
  const String shown = Vadu::ToUtf8(input);
  const String unreadable = Vadu::WhyUnreadable(input);
  if (!unreadable.IsEmpty()) {
    ReportFileError(String("ERROR: can't read ") + shown + ": " + unreadable, input, unreadable);
    return false;
  }
  // A package's block is the one its application carries.
  if (Vadu::EndsWithNoCase(input, WString(u".tgz"))) {
    if (!ReadPackageBlock(input, payload)) return false;
  } else if (!ReadBlockOfFile(input, payload)) {
    const String reason = Vadu::WhyUnreadable(input);
    ReportFileError(
        String("ERROR: can't read ") + shown + (reason.IsEmpty() ? String() : ": " + reason), input,
        reason);
    return false;
  }
  if (payload->IsEmpty()) {
    ReportError(String("ERROR: no resources found in ") + shown);
    return false;
  }
  return true;
}

// How long a run waits for another that is unpacking into the same folder.
constexpr std::chrono::seconds kOutputLockWait{60};

// Writes one entry below the staged folder, making its subfolders there, each opened below the
// one before without following a link; a name that is not safe, or a file that cannot be
// written, is reported (under the output folder's name) and the others are still written.
void WriteEntry(const String& name, const String& value, const Vadu::OpenedFolder& staged,
                const WString& folder) {
  WString path;
  if (!SafeRelativePath(name, &path)) {
    ReportError(String("ERROR: unsafe resource name: ") + Printable(name));
    return;
  }
  std::vector<WString> names;
  for (const WString& component : path.ReplaceAll(u"\\", u"/").Split(u"/"))
    if (!component.IsEmpty()) names.push_back(component);
  const Vadu::OpenedFolder* at = &staged;
  Vadu::OpenedFolder below;
  bool written = !names.empty();
  for (size_t k = 0; written && k + 1 < names.size(); ++k) {
    Vadu::OpenedFolder next = at->Child(names[k]);
    if (!next.IsOpen() && at->MakeFolder(names[k])) next = at->Child(names[k]);
    written = next.IsOpen();
    below = std::move(next);
    at = &below;
  }
  if (!written || !at->WriteNewFile(names.back(), value)) {
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError(
        String("ERROR: can't write ") + ShownPath(Vadu::JoinPath(folder, path)) + ": " + reason,
        Vadu::JoinPath(folder, path), reason);
  }
}

// Removes the staging folders that runs into this output folder left when they were killed: the
// caller holds the folder's lock, so no run is filling one now. Only this user's folders go.
void RemoveStagingOfEndedRuns(const Vadu::OpenedFolder& output, const WString& prefix) {
  for (const WString& name : output.Names()) {
    if (!name.StartsWith(prefix) || !output.Child(name).OwnedByCaller()) continue;
    output.RemoveTree(name);
  }
}

// Puts the staged folder in the place of `name`: swapped in one step where the system can, else
// the old folder (or a link at the name) removed and the staged one renamed. False when it
// cannot be done or a file of another kind stands at the name.
bool PutInPlace(const Vadu::OpenedFolder& output, const WString& staged, const WString& name) {
  using Kind = Vadu::OpenedFolder::Kind;
  const Kind there = output.KindOf(name);
  if (there == Kind::kOther) {
    errno = EEXIST;
    return false;
  }
  if (there == Kind::kFolder && output.Exchange(staged, name)) {
    output.RemoveTree(staged);  // the old folder, now under the staged name
    return true;
  }
  return output.RemoveTree(name) && output.Rename(staged, name);
}

}  // namespace

bool IsSafeResourceName(const String& name) {
  WString path;
  return SafeRelativePath(name, &path);
}

void UnpackResources(const Vadu::CommandLineOptions& options) {
  if (!PrepareOutputFolder(options)) return;
  UnpackResources(options.GetOptionValue(kUnpackOption),
                  Vadu::JoinPath(OutputFolder(options), u"unpack_res"));
  if (ExitCode() != kExitSuccess) ExplainUnwritableDefaultFolder(options);
}

void UnpackResources(const WString& input, const WString& folder) {
  if (input.IsEmpty()) return ReportError("ERROR: no file to unpack");
  if (!PathPresent(input)) return;
  String payload;
  if (!ReadBlockPayload(input, &payload)) return;

  // The entries go into a new folder in the output folder, which then takes the place of the
  // old one: afterwards the output folder holds this file's resources alone. The output folder
  // is looked up once and locked for the run; everything below it is made, written and removed
  // relative to it, so that nothing is ever written or removed through a link that someone put
  // there meanwhile. Each entry is written as soon as it is inflated, so only one resource is in
  // memory at a time; a block found damaged on the way changes nothing.
  const Vadu::OpenedFolder output = Vadu::OpenedFolder::Open(Vadu::GetDirectoryPart(folder));
  const WString name = Vadu::GetFileName(folder);
  const WString stagingPrefix = name + u".~";
  Vadu::FileLock lock;
  const Vadu::FileLock::Status locked = output.IsOpen()
                                            ? lock.AcquireFolder(output.Path(), kOutputLockWait)
                                            : Vadu::FileLock::Status::kFailed;
  if (locked == Vadu::FileLock::Status::kBusy) {
    return ReportFileError(String("ERROR: can't write ") + Vadu::ToUtf8(folder) +
                               ": another run is unpacking into " + Vadu::ToUtf8(output.Path()),
                           folder, "another run holds the output folder");
  }
  // Where the system has no lock for the folder, nothing is taken for a dead run's.
  if (locked == Vadu::FileLock::Status::kLocked) RemoveStagingOfEndedRuns(output, stagingPrefix);
  const WString staged = output.MakeNewFolder(stagingPrefix);
  if (staged.IsEmpty()) {
    const String reason = Vadu::LastSystemErrorText();
    return ReportFileError(String("ERROR: can't write ") + Vadu::ToUtf8(folder) + ": " + reason,
                           folder, reason);
  }
  bool whole;
  {
    const Vadu::OpenedFolder stagedFolder = output.Child(staged);
    whole = Vadu::SettingsMap::ReadEntries(payload, [&](const String& entry, const String& value) {
      WriteEntry(entry, value, stagedFolder, folder);
      return true;
    });
  }
  if (!whole) {
    output.RemoveTree(staged);
    return ReportFileError(String("ERROR: damaged resources in ") + Vadu::ToUtf8(input), input,
                           "the embedded block does not inflate or is malformed");
  }
  if (!PutInPlace(output, staged, name)) {
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError(String("ERROR: can't write ") + Vadu::ToUtf8(folder) + ": " + reason, folder,
                    reason);
    output.RemoveTree(staged);
  }
}

}  // namespace Zentu

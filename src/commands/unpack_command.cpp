#include "src/commands/unpack_command.h"

#include "oem/resource_block.h"
#include "src/commands/add_resources.h"
#include "src/commands/output_folder.h"
#include "src/exit_code.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "src/steps/package_target.h"
#include "support/file_system.h"
#include "support/private_folder.h"
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

// Writes one entry below the staged folder; a name that is not safe, or a file that cannot be
// written, is reported (under the output folder's name) and the others are still written.
void WriteEntry(const String& name, const String& value, const WString& staged,
                const WString& folder) {
  WString path;
  if (!SafeRelativePath(name, &path)) {
    ReportError(String("ERROR: unsafe resource name: ") + Printable(name));
    return;
  }
  const WString file = Vadu::JoinPath(staged, path);
  const WString directory = Vadu::GetDirectoryPart(file);
  if ((!directory.IsEmpty() && !Vadu::CreateDirectories(directory)) ||
      !Vadu::WriteNewFile(value, file)) {
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError(
        String("ERROR: can't write ") + Vadu::ToUtf8(Vadu::JoinPath(folder, path)) + ": " + reason,
        file, reason);
  }
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

  // The entries go into a new folder beside the output folder, which then takes its place:
  // afterwards the output folder holds this file's resources alone, and nothing is ever written
  // through a link that stood in it. Each entry is written as soon as it is inflated, so only one
  // resource is in memory at a time; a block found damaged on the way changes nothing.
  const WString staged =
      Vadu::CreateNewFolder(Vadu::GetDirectoryPart(folder), Vadu::GetFileName(folder) + u".~");
  if (staged.IsEmpty()) {
    const String reason = Vadu::LastSystemErrorText();
    return ReportFileError(String("ERROR: can't write ") + Vadu::ToUtf8(folder) + ": " + reason,
                           folder, reason);
  }
  if (!Vadu::SettingsMap::ReadEntries(payload, [&](const String& name, const String& value) {
        WriteEntry(name, value, staged, folder);
        return true;
      })) {
    Vadu::RemoveDirectoryTree(staged);
    return ReportFileError(String("ERROR: damaged resources in ") + Vadu::ToUtf8(input), input,
                           "the embedded block does not inflate or is malformed");
  }
  if (!Vadu::RemoveDirectoryTree(folder) ||
      !Vadu::MoveDirectoryTo(staged, folder, /*recursive=*/true)) {
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError(String("ERROR: can't write ") + Vadu::ToUtf8(folder) + ": " + reason, folder,
                    reason);
    Vadu::RemoveDirectoryTree(staged);
  }
}

}  // namespace Zentu

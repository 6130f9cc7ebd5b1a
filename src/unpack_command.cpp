#include "src/unpack_command.h"

#include "oem/resource_block.h"
#include "src/add_resources.h"
#include "src/exit_code.h"
#include "src/option_names.h"
#include "src/output_folder.h"
#include "src/print_line.h"
#include "support/file_system.h"
#include "support/private_folder.h"
#include "support/settings_map.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

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
    if (component.Length() >= 2 && IsAsciiLetter(component[0]) && component[1] == u':')
      return false;
  }
  *path = text;
  return true;
}

void Fail(const String& line) {
  PrintLine(line);
  SetExitCode(kExitError);
}

// Loads the block at the end of the file into the map; false, after saying why, when the file
// cannot be read, carries no block, or its block is damaged.
bool LoadBlockOf(const WString& input, Vadu::SettingsMap& map) {
  const String shown = Vadu::ToUtf8(input);
  String payload;
  {
    String bytes;
    if (!Vadu::ReadWholeFile(input, &bytes)) {
      Fail(String("ERROR: can't read ") + shown);
      return false;
    }
    payload = ExtractBlock(bytes);  // the file's bytes are let go before the block inflates
  }
  if (payload.IsEmpty()) {
    Fail(String("ERROR: no resources found in ") + shown);
    return false;
  }
  if (!map.Load(payload)) {
    Fail(String("ERROR: damaged resources in ") + shown);
    return false;
  }
  return true;
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
  if (input.IsEmpty()) return Fail("ERROR: no file to unpack");
  if (!PathPresent(input)) return;
  Vadu::SettingsMap map;
  if (!LoadBlockOf(input, map)) return;

  // The entries go into a new folder beside the output folder, which then takes its place:
  // afterwards the output folder holds this file's resources alone, and nothing is ever written
  // through a link that stood in it.
  const WString staged =
      Vadu::CreateNewFolder(Vadu::GetDirectoryPart(folder), Vadu::GetFileName(folder) + u".~");
  if (staged.IsEmpty()) return Fail(String("ERROR: can't write ") + Vadu::ToUtf8(folder));
  for (const String& name : map.ListNames()) {
    WString path;
    if (!SafeRelativePath(name, &path)) {
      Fail(String("ERROR: unsafe resource name: ") + name);
      continue;
    }
    // A file that cannot be written is reported; the others are still written.
    const WString file = Vadu::JoinPath(staged, path);
    const WString directory = Vadu::GetDirectoryPart(file);
    if ((!directory.IsEmpty() && !Vadu::CreateDirectories(directory)) ||
        !Vadu::WriteNewFile(map.Get(name), file))
      Fail(String("ERROR: can't write ") + Vadu::ToUtf8(Vadu::JoinPath(folder, path)));
  }
  if (!Vadu::RemoveDirectoryTree(folder) || !Vadu::MoveDirectoryTo(staged, folder, true)) {
    Fail(String("ERROR: can't write ") + Vadu::ToUtf8(folder));
    Vadu::RemoveDirectoryTree(staged);
  }
}

}  // namespace Zentu

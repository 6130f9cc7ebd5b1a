#include "src/unpack_command.h"

#include "oem/resource_map.h"
#include "src/add_resources.h"
#include "src/exit_code.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "support/file_system.h"

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

}  // namespace

bool IsSafeResourceName(const String& name) {
  WString path;
  return SafeRelativePath(name, &path);
}

void UnpackResources(const Vadu::CommandLineOptions& options) {
  UnpackResources(options.GetOptionValue(kUnpackOption),
                  Vadu::JoinPath(Vadu::GetModuleDirectory(), u"unpack_res"));
}

void UnpackResources(const WString& input, const WString& folder) {
  LoadResources(WString(), input);
  const Vadu::SettingsMap& map = ResourceMap();
  for (const String& name : map.ListNames()) {
    WString path;
    if (!SafeRelativePath(name, &path)) {
      PrintLine(String("ERROR: unsafe resource name: ") + name);
      SetExitCode(kExitError);
      continue;
    }
    // A file that cannot be written is skipped; the others are still written.
    Vadu::WriteWholeFile(map.Get(name), Vadu::JoinPath(folder, path));
  }
}

}  // namespace Zentu

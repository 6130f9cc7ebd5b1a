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

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool IsSafeResourceName(const String& name) {
  if (name.IsEmpty()) return false;
  if (name[0] == '/' || name[0] == '\\') return false;
  for (const String& component : name.ReplaceAll("\\", "/").Split("/")) {
    if (component == "..") return false;
    if (component.Length() >= 2 && IsAsciiLetter(component[0]) && component[1] == ':') return false;
  }
  return true;
}

void UnpackResources(const Vadu::CommandLineOptions& options) {
  UnpackResources(options.GetOptionValue(kUnpackOption),
                  Vadu::JoinPath(Vadu::GetModuleDirectory(), u"unpack_res"));
}

void UnpackResources(const WString& input, const WString& folder) {
  LoadResources(WString(), input);
  const Vadu::SettingsMap& map = ResourceMap();
  for (const String& name : map.ListNames()) {
    if (!IsSafeResourceName(name)) {
      PrintLine(String("ERROR: unsafe resource name: ") + name);
      SetExitCode(kExitError);
      continue;
    }
    // A file that cannot be written is skipped; the others are still written.
    Vadu::WriteWholeFile(map.Get(name), Vadu::JoinPath(folder, Vadu::FromUtf8(name)));
  }
}

}  // namespace Zentu

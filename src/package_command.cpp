#include "src/package_command.h"

#include "src/add_resources.h"
#include "src/exit_code.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "support/file_system.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

void PackResources(const Vadu::CommandLineOptions& options) {
  PackResources(options.GetOptionValue(kPackResourceOption), options.GetOptionValue(kIconOption),
                options.GetOptionValue(kOutDirOption));
}

void PackResources(const WString& resources, const WString& icon, const WString& outputFolder) {
  const WString folder = outputFolder.IsEmpty() ? Vadu::GetCurrentDir() : outputFolder;
  const WString package = Vadu::JoinPath(folder, u"resource.oem");
  // An empty file first: the package then holds no block of its own to merge with, and the
  // command below finds an existing target.
  if (!Vadu::WriteWholeFile(String(), package)) {
    PrintLine(String("ERROR: can't save resource package to '") + Vadu::ToUtf8(package) + "'");
    SetExitCode(kExitError);
    return;
  }
  AddResources(package, icon, resources);
}

}  // namespace Zentu

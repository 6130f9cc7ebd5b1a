#include "src/commands/package_command.h"

#include "src/commands/add_resources.h"
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
  // The package and its folder are made only once the new block is complete; a failed run leaves
  // no file behind, and an existing package as it was.
  AddResourcesToPackage(package, icon, resources);
}

}  // namespace Zentu

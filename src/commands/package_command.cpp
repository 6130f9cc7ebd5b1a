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
  // A new package starts as an empty file, so that the command below finds its target; an
  // existing one is replaced only by a complete new package.
  if (!Vadu::FileExists(package) &&
      !(Vadu::CreateDirectories(folder) && Vadu::WriteNewFile(String(), package))) {
    return ReportError(String("ERROR: can't save resource package to '") + Vadu::ToUtf8(package) +
                       "'");
  }
  AddResourcesToPackage(package, icon, resources);
}

}  // namespace Zentu

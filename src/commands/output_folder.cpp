#include "src/commands/output_folder.h"

#include "src/option_names.h"
#include "src/print_line.h"
#include "src/program_layout.h"
#include "support/file_system.h"
#include "support/system_error.h"
#include "support/writable_folder.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

WString OutputFolder(const Vadu::CommandLineOptions& options) {
  if (!options.HasOption(kOutDirOption)) return DefaultOutputFolder();
  const WString given = options.GetOptionValue(kOutDirOption);
  return given.IsEmpty() ? Vadu::GetCurrentDir() : given;
}

bool PrepareOutputFolder(const Vadu::CommandLineOptions& options) {
  if (!options.HasOption(kOutDirOption)) return true;
  const WString folder = OutputFolder(options);
  if (Vadu::CreateDirectories(folder)) return true;
  const String reason = Vadu::LastSystemErrorText();
  ReportFileError(String("ERROR: can't create ") + Vadu::ToUtf8(folder) + ": " + reason, folder,
                  reason);
  return false;
}

void ExplainUnwritableDefaultFolder(const Vadu::CommandLineOptions& options) {
  if (options.HasOption(kOutDirOption)) return;
  const WString folder = DefaultOutputFolder();
  if (Vadu::CanCreateIn(folder)) return;
  PrintLine(String("ERROR: the folder ") + Vadu::ToUtf8(folder) +
            " is not writable: choose another with " + Vadu::ToUtf8(kOutDirOption) +
            " <OUTPUT_DIR_PATH>");
}

}  // namespace Zentu

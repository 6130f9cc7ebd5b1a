#include "src/commands/template_command.h"

#include "oem/oem_template.h"
#include "src/commands/output_folder.h"
#include "src/exit_code.h"
#include "src/print_line.h"
#include "support/file_system.h"

namespace Zentu {

void RunTemplateCommand() { RunTemplateCommand(Vadu::GetModuleDirectory()); }

void RunTemplateCommand(const Vadu::WString& directory) {
  if (WriteOemTemplate(directory))
    PrintLine(kTemplateSavedMessage);
  else
    ReportError(kTemplateFailedMessage);
}

void RunTemplateCommand(const Vadu::CommandLineOptions& options) {
  if (!PrepareOutputFolder(options)) return;
  RunTemplateCommand(OutputFolder(options));
  if (ExitCode() != kExitSuccess) ExplainUnwritableDefaultFolder(options);
}

}  // namespace Zentu

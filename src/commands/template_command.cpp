#include "src/commands/template_command.h"

#include "oem/oem_template.h"
#include "src/commands/output_folder.h"
#include "src/exit_code.h"
#include "src/print_line.h"
#include "src/program_layout.h"
#include "support/file_system.h"
#include "support/system_error.h"

namespace Zentu {

void RunTemplateCommand() { RunTemplateCommand(DefaultOutputFolder()); }

void RunTemplateCommand(const Vadu::WString& directory) {
  if (WriteOemTemplate(directory))
    PrintLine(kTemplateSavedMessage);
  else
    ReportFileError(kTemplateFailedMessage, Vadu::JoinPath(directory, u"oem_info.xml"),
                    Vadu::LastSystemErrorText());
}

void RunTemplateCommand(const Vadu::CommandLineOptions& options) {
  if (!PrepareOutputFolder(options)) return;
  RunTemplateCommand(OutputFolder(options));
  if (ExitCode() != kExitSuccess) ExplainUnwritableDefaultFolder(options);
}

}  // namespace Zentu

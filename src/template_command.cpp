#include "src/template_command.h"

#include <cstdio>

#include "oem/oem_template.h"
#include "src/exit_code.h"
#include "support/file_system.h"

namespace Zentu {

namespace {

void PrintLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

void RunTemplateCommand() { RunTemplateCommand(Vadu::GetModuleDirectory()); }

void RunTemplateCommand(const Vadu::WString& directory) {
  if (WriteOemTemplate(directory)) {
    PrintLine(kTemplateSavedMessage);
  } else {
    PrintLine(kTemplateFailedMessage);
    SetExitCode(kExitError);
  }
}

}  // namespace Zentu

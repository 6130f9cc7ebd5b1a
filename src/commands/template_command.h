// The -getxml command: writes the commented template of "oem_info.xml" beside the utility, or
// into the folder given with -outdir.
#pragma once

#include "support/command_line_options.h"
#include "support/string_base.h"

namespace Zentu {

inline constexpr char kTemplateSavedMessage[] =
    "OEM Information xml file saved to \"oem_info.xml\"";
inline constexpr char kTemplateFailedMessage[] = "ERROR: can't save xml file with OEM information";

// Writes the template into the utility's own directory and prints the result line; a failure
// sets exit code 1.
void RunTemplateCommand();
// The same into `directory`.
void RunTemplateCommand(const Vadu::WString& directory);
// The same into the folder of -outdir (made as needed; the current directory when it has no
// value), else beside the utility; when that folder is not writable, a second ERROR line names it
// and -outdir.
void RunTemplateCommand(const Vadu::CommandLineOptions& options);

}  // namespace Zentu

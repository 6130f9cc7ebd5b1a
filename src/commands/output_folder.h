// Where -getxml and -unpack write: the folder given with -outdir, else beside a portable utility,
// or in the current folder for an installed one.
#pragma once

#include "support/command_line_options.h"
#include "support/string_base.h"

namespace Zentu {

// The folder given with -outdir (the current directory when the option has no value), else
// DefaultOutputFolder().
Vadu::WString OutputFolder(const Vadu::CommandLineOptions& options);

// Makes the -outdir folder with its missing parents; true when there is nothing to make (no
// -outdir) or it exists afterwards. On failure prints "ERROR: can't create " and the folder and
// sets exit code 1.
bool PrepareOutputFolder(const Vadu::CommandLineOptions& options);

// After a command failed to write into its default folder: when no -outdir was given and that
// folder is not writable, prints an ERROR line naming the folder and -outdir, so that the user
// knows where to send the output instead.
void ExplainUnwritableDefaultFolder(const Vadu::CommandLineOptions& options);

}  // namespace Zentu

// The front end: the table of options it knows and the dispatch of exactly one command.
#pragma once

#include <vector>

#include "support/command_line_options.h"

namespace Zentu {

// The options of the utility, in the order they are registered with the parser.
std::vector<Vadu::OptionDefinition> FrontEndOptionDefinitions();

// Runs the one command the options ask for. A command line that cannot be run as typed is refused
// with an ERROR line and exit code 2 before anything is done: options given twice, words that name
// no option, -resource, -target, -icon or -packresource without a path, two commands at once. Help
// (the usage text, exit code 0) goes with anything. Options the command does not read get a
// WARNING line each. Without any command, logs a warning, prints the usage text and sets exit
// code 2.
void DispatchCommand(const Vadu::CommandLineOptions& options);

}  // namespace Zentu

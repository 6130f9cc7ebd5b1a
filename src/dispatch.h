// The front end: the table of options it knows and the dispatch of exactly one command.
#pragma once

#include <vector>

#include "support/command_line_options.h"

namespace Zentu {

// The options of the utility, in the order they are registered with the parser.
std::vector<Vadu::OptionDefinition> FrontEndOptionDefinitions();

// Runs the first command the options ask for, in the order help (the usage text, exit code 0),
// version, check, list, unpack, template, add resources, package; without any, logs a warning,
// prints the usage text and sets exit code 2.
void DispatchCommand(const Vadu::CommandLineOptions& options);

}  // namespace Zentu

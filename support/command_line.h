// The arguments the process was started with, as the system hands them over.
#pragma once

#include <vector>

#include "support/string_base.h"

namespace Vadu {

// The process arguments after the program name. Windows takes them from the process's own
// wide command line (argv is not used); POSIX converts argv[1..] from UTF-8.
std::vector<WString> SystemArguments(int argc, const char* const* argv);

}  // namespace Vadu

// File permissions the programs this utility writes to disk need.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// Lets the file be run as a program: POSIX gives it the mode 0755; Windows runs any file with a
// program's name, so there it only checks that the file exists. False when the file is missing
// or its mode cannot be changed.
bool SetExecutable(const WString& path);

}  // namespace Vadu

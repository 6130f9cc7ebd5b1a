// The versions a run reports with -version: the program's own (the project version of the build),
// the date version the banner shows, and the version of the 7-Zip program it carries.
#pragma once

#include <vector>

#include "support/string_base.h"

namespace Zentu {

// The program's version, "1.0.0": the project version the build was configured with.
Vadu::String ProgramVersionText();
// The version of the 7-Zip program the build carries, "26.03".
Vadu::String ArchiveToolVersionText();

// The lines -version prints: the program name and version, the build's date version, the 7-Zip
// version.
std::vector<Vadu::String> VersionLines(const Vadu::String& program);
// Prints VersionLines for the running executable's file name on standard output.
void PrintVersion();

}  // namespace Zentu

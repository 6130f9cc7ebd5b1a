// Where this program runs from: installed, or a portable copy. An installed program (the layout
// `cmake --install` and the Debian package make) never writes into its own folder, which belongs
// to root; a portable copy (a build folder, the unzipped Windows program) keeps its outputs and
// logs beside itself.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// True when the program lies in a folder named "bin" whose parent holds
// "share/doc/zentu-rebrand": the installed layout.
bool IsInstalledProgram();
// The same test for a program at `programPath`.
bool IsInstalledLayout(const Vadu::WString& programPath);

// Where -getxml and -unpack write without -outdir: the current folder for an installed program,
// the program's own folder for a portable one.
Vadu::WString DefaultOutputFolder();

}  // namespace Zentu

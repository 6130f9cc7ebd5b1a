// The -packresource command: packs a folder of resources and the "date" entry into the stand-alone
// package "resource.oem", a resource block with no host bytes.
#pragma once

#include "support/command_line_options.h"
#include "support/string_base.h"

namespace Zentu {

// Writes the package into the folder given with -outdir (created as needed), or into the current
// directory when -outdir is absent or has no value. A package already there is replaced: it never
// keeps entries of an earlier package.
void PackResources(const Vadu::CommandLineOptions& options);

// The same with explicit values; an empty output folder means the current directory.
void PackResources(const Vadu::WString& resources, const Vadu::WString& icon,
                   const Vadu::WString& outputFolder);

}  // namespace Zentu

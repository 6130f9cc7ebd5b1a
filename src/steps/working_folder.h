// The folder inside the run's private folder where archive and disk-image targets are unpacked.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// The run folder joined with "zentuunpacked"; empty when the run has no folder.
Vadu::WString WorkingFolderPath();

// Where the part of `path` below `folder` begins (just after the separator that follows the
// folder); 0 when the path does not lie below it. Lets the target's own names be looked at
// without the run folder's name, which could hold the same words.
uint32_t StartBelow(const Vadu::WString& path, const Vadu::WString& folder);

}  // namespace Zentu

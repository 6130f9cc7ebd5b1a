// The folder inside the run's private folder where archive and disk-image targets are unpacked.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// The run folder joined with "zentuunpacked"; empty when the run has no folder.
Vadu::WString WorkingFolderPath();

}  // namespace Zentu

// The folder under the temporary directory where archive and disk-image targets are unpacked.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// TEMP joined with "zentuunpacked".
Vadu::WString WorkingFolderPath();

}  // namespace Zentu

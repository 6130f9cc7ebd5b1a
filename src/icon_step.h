// The icon step of the add-resources command: applies a user's icon file to the executable or
// bundle that receives the resources, and adds the icon to the resource map.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// Called with an icon path that exists and the working path (the file that receives the block),
// before the block is written. Acts by the process-wide target kind.
void ApplyIcon(const Vadu::WString& icon, const Vadu::WString& workingPath);

}  // namespace Zentu

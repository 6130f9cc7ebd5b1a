#include "src/icon_step.h"

namespace Zentu {

// Replacing icons is not built yet: the icon is checked for existence by the caller and
// otherwise left out.
void ApplyIcon(const Vadu::WString& /*icon*/, const Vadu::WString& /*workingPath*/) {}

}  // namespace Zentu

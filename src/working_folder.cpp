#include "src/working_folder.h"

#include "support/file_system.h"

namespace Zentu {

Vadu::WString WorkingFolderPath() { return Vadu::JoinPath(Vadu::GetTempDir(), u"zentuunpacked"); }

}  // namespace Zentu

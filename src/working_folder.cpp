#include "src/working_folder.h"

#include "src/run_folder.h"
#include "support/file_system.h"

namespace Zentu {

Vadu::WString WorkingFolderPath() {
  const Vadu::WString run = RunFolder();
  return run.IsEmpty() ? Vadu::WString() : Vadu::JoinPath(run, u"zentuunpacked");
}

}  // namespace Zentu

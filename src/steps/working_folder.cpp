#include "src/steps/working_folder.h"

#include "src/steps/run_folder.h"
#include "support/file_system.h"

namespace Zentu {

Vadu::WString WorkingFolderPath() {
  const Vadu::WString run = RunFolder();
  return run.IsEmpty() ? Vadu::WString() : Vadu::JoinPath(run, u"zentuunpacked");
}

uint32_t StartBelow(const Vadu::WString& path, const Vadu::WString& folder) {
  const Vadu::WString prefix = folder + Vadu::WString(Vadu::PathSeparator());
  return path.StartsWith(prefix) ? prefix.Length() : 0;
}

}  // namespace Zentu

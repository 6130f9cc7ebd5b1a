#include "src/steps/rebrand_job.h"

#include "src/steps/working_folder.h"
#include "support/file_system.h"

namespace Zentu {

Vadu::WString RebrandJob::OwnPart(const Vadu::WString& path) const {
  return path.Substring(StartBelow(path, workingFolder));
}

}  // namespace Zentu

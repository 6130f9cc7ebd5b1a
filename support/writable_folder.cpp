#include "support/writable_folder.h"

#include "support/file_system.h"
#include "support/private_folder.h"

namespace Vadu {

bool CanCreateIn(const WString& folder) {
  if (!DirectoryExists(folder)) return false;
  const WString probe = CreateNewFolder(folder, u".zentu-probe-");
  if (probe.IsEmpty()) return false;
  RemoveEmptyDirectory(probe);
  return true;
}

}  // namespace Vadu

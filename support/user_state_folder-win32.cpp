#include "support/environment.h"
#include "support/file_system.h"
#include "support/user_state_folder.h"

namespace Vadu {

WString UserStateFolder(const WString& application) {
  const WString local = GetEnvironmentValue(u"LOCALAPPDATA");
  if (local.IsEmpty()) return WString();
  return JoinPath(local, application);
}

}  // namespace Vadu

#include "support/environment.h"
#include "support/file_system.h"
#include "support/user_state_folder.h"

namespace Vadu {

WString UserStateFolder(const WString& application) {
  // A relative XDG_STATE_HOME is invalid and ignored, as the base directory rules say.
  const WString state = GetEnvironmentValue(u"XDG_STATE_HOME");
  if (!state.IsEmpty() && state.StartsWith(u"/")) return JoinPath(state, application);
  const WString home = GetEnvironmentValue(u"HOME");
  if (home.IsEmpty()) return WString();
  return JoinPath(JoinPath(home, u".local/state"), application);
}

}  // namespace Vadu

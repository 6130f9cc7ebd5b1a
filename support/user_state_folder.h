// The per-user folder where a program keeps state that outlives a run, such as its logs.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// The application's folder in the user's state folder: POSIX "$XDG_STATE_HOME/<application>"
// when XDG_STATE_HOME is an absolute path, else "$HOME/.local/state/<application>"; Windows
// "%LOCALAPPDATA%\<application>". Not created. Empty when the environment names no such folder
// (no HOME, no LOCALAPPDATA).
WString UserStateFolder(const WString& application);

}  // namespace Vadu

// The process environment, as UTF-16 text on every platform.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// The value of an environment variable; empty when it is unset (or set to the empty text).
WString GetEnvironmentValue(const WString& name);
// Sets a variable for this process and the programs it starts; an empty value unsets it.
bool SetEnvironmentValue(const WString& name, const WString& value);

}  // namespace Vadu

// Helpers shared by the tests of the OEM units.
#pragma once

#include <string>

#include "support/string_base.h"

namespace Zentu::Testing {

inline std::string Str(const Vadu::String& text) { return std::string(text.CStr(), text.Length()); }

}  // namespace Zentu::Testing

// The -getxml command: writes the commented template of "oem_info.xml" beside the utility.
#pragma once

#include "support/string_base.h"

namespace Zentu {

inline constexpr char kTemplateSavedMessage[] =
    "OEM Information xml file saved to \"oem_info.xml\"";
inline constexpr char kTemplateFailedMessage[] = "ERROR: can't save xml file with OEM information";

// Writes the template into the utility's own directory and prints the result line; a failure
// sets exit code 1.
void RunTemplateCommand();
// The same into `directory`.
void RunTemplateCommand(const Vadu::WString& directory);

}  // namespace Zentu

// The -list command: shows what a branded file carries without writing anything beside it.
#pragma once

#include <vector>

#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// Prints the name and size of every resource embedded in the file, and its "date" entry as a
// calendar date. The file is a program or package carrying a block (.exe, .apk, resource.oem),
// or a .tgz archive or .dmg disk image, which is unpacked into the run's private folder to find
// its application the way branding does. Writes nothing outside the run folder. Every failure
// prints an ERROR line and sets exit code 1: no file given, a missing file, an archive that does
// not unpack or holds no application, a file without a block or with a damaged block.
void ListResources(const Vadu::WString& file);

// The lines printed for a loaded block: "Resources in " and the file's name, then one line per
// entry with its size in bytes right-aligned and its name, then "date: " with the calendar date
// YYYY-MM-DD of the "date" entry (its text as stored when it is not a day count).
std::vector<Vadu::String> ResourceListLines(const Vadu::String& shownName,
                                            const Vadu::SettingsMap& map);

}  // namespace Zentu

// The -list command: shows what a branded file carries without writing anything beside it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "src/print_line.h"
#include "support/string_base.h"

namespace Zentu {

// Prints the name and size of every resource embedded in the file, and its "date" entry as a
// calendar date. The file is a program or package carrying a block (.exe, .apk, resource.oem),
// or a .tgz archive or .dmg disk image, which is unpacked into the run's private folder to find
// its application the way branding does. Writes nothing outside the run folder. Every failure
// prints an ERROR line and sets exit code 1: no file given, a missing file, an archive that does
// not unpack or holds no application, a file without a block or with a damaged block. With
// Output::kJson it prints one JSON document instead (ResourceListJson), the ERROR lines inside it.
void ListResources(const Vadu::WString& file, Output output = Output::kLines);

// What a block carries: each resource's size by name, and the "date" entry.
struct CarriedResources {
  std::map<Vadu::String, uint64_t> sizes;
  std::optional<Vadu::String> date;
};

// Reads a block's payload entry by entry, keeping only sizes, so that one value at a time is in
// memory; false when it does not inflate or is malformed.
bool ReadCarriedResources(const Vadu::String& payload, CarriedResources* carried);

// The lines printed for a block: "Resources in " and the file's name, then one line per entry
// with its size in bytes right-aligned and its name, then "date: " with the calendar date
// YYYY-MM-DD of the "date" entry (its text as stored when it is not a day count). Names and the
// date text come from the file, which may be hostile: control characters, backslashes and bytes
// that are not UTF-8 are shown escaped ("\x1B", "\\"), so that nothing reaches the terminal as
// a command.
std::vector<Vadu::String> ResourceListLines(const Vadu::String& shownName,
                                            const CarriedResources& carried);

// The JSON document of -list -json: {"file": name, "resources": [{"name", "size"}...] in name
// order, "date": {"stored": the entry's text, "day": "YYYY-MM-DD" or null} or null, "ok": whether
// the file could be listed, "messages": the lines the command printed otherwise}. Names are
// written as they are stored; bytes that are not UTF-8 become U+FFFD.
Vadu::String ResourceListJson(const Vadu::String& shownName, const CarriedResources& carried,
                              bool listed, const std::vector<Vadu::String>& messages);

}  // namespace Zentu

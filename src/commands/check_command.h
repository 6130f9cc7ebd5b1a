// The -check command: looks over a resource folder before it is embedded, so that a misspelled
// key or a broken "oem_info.xml" is found before a product ships with the stock name.
#pragma once

#include <vector>

#include "src/print_line.h"
#include "support/string_base.h"

namespace Zentu {

// The problems of the text of an "oem_info.xml", each as an ERROR line: where the text stops being
// well-formed XML (line and column; nothing else is then checked), a document without OEM keys,
// every key the catalogue does not know (with the nearest known key when one is close: "ERROR:
// ProductNmae: unknown key, did you mean ProductName?"), every value not of its key's kind, and a
// missing or empty ProductName. Empty for a sound file.
std::vector<Vadu::String> OemInformationProblems(const Vadu::String& text);

// One problem found, with the line and column of the text where it lies (0 when not known).
struct CheckFinding {
  Vadu::String message;
  uint32_t line = 0;
  uint32_t column = 0;
};
// The problems of OemInformationProblems, with where they lie.
std::vector<CheckFinding> OemInformationFindings(const Vadu::String& text);

// Lines that warn of values a product is poorly branded with, each starting "WARNING: ": a
// VersionUniqueID that is missing (a macOS application would keep the stock bundle identifier)
// or still the template's, and a ProductName longer than the 15 characters macOS shows of a
// bundle's short name. Empty for a text that is not an OEM information document.
std::vector<Vadu::String> OemInformationWarnings(const Vadu::String& text);

// The known key closest to an unknown one in the same group, by edit distance (a swap of two
// neighbouring letters counts once, letter case not at all); empty when none is close enough to
// be what was meant.
Vadu::String NearestKnownKey(const Vadu::String& name, const std::vector<Vadu::String>& groups);

// Runs the check on a resource folder (or a single resource file): prints the problems of its
// "oem_info.xml" and its warnings, then the files that would be embedded with their sizes, their
// compressed size and whether that fits an Android package, and a last line saying whether it is
// ready. Any problem, a missing folder or a missing "oem_info.xml" sets exit code 1; warnings
// and the Android limit do not. Writes nothing. With Output::kJson it prints one JSON document
// instead: {"resources", "ready", "errors": [{"message", "line", "column"}] (line and column where
// known), "warnings": [{"message"}], "files": [{"name", "size"}], "date": the entry branding would
// add today, "compressedSize", "fitsAndroid"}.
void CheckResources(const Vadu::WString& resources, Output output = Output::kLines);

}  // namespace Zentu

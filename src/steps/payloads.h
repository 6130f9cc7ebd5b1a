// The tools and named files the utility carries inside itself, stored scrambled: unscrambling,
// writing the archive tool to disk when it is needed, the table of named files, and the build
// version text derived from them.
#pragma once

#include <cstdint>
#include <vector>

#include "src/steps/stored_blocks.h"
#include "support/string_base.h"

namespace Zentu {

// Every byte of the block XOR the key byte at the same index modulo the key length; an empty key
// gives a plain copy and a null block an empty string. The same operation scrambles. The block
// is only read.
Vadu::String UnscramblePayload(const unsigned char* block, uint32_t size, const Vadu::String& key);

// The key every payload and named file is scrambled with: 128 printable bytes.
Vadu::String PayloadKey();

// The plain content of a tool this build carries, by the file name it is written under; empty
// when the build carries no such tool.
Vadu::String ToolPayloadContent(const Vadu::String& fileName);
// The file names of the tools of one kind, in the order they are written.
std::vector<Vadu::String> ToolPayloadNames(StoredKind kind);

// The compile date and time texts of the payload unit, "Nov 24 2023" and "13:29:07".
Vadu::String BuildDateText();
Vadu::String BuildTimeText();

// The name of the tool folder of a build compiled at that date and time: every byte of the date
// text followed by the time text as two upper-case hexadecimal digits.
Vadu::WString ToolFolderName(const Vadu::String& date, const Vadu::String& time);

// Writes the archive tool files ("7z.exe" and "7z.dll" on Windows, "7zz" elsewhere) into the
// tool folder (ToolFolderName of this build) inside the run folder, each created exclusively, on
// the first call of the run, and returns the full path of the program. Empty when they cannot be
// written: nothing found on disk is ever run in their place.
Vadu::WString EnsureArchiveTool();

// The content of a named embedded file; empty for a name that is not in the table.
Vadu::String EmbeddedFileContent(const Vadu::String& name);
// The names of all named embedded files, in byte order.
std::vector<Vadu::String> EmbeddedFileNames();

// The version text of a compile date text "Mmm dd yyyy": two-digit year, month number and day
// number joined by "." ("Dec 11 2023" gives "23.12.11", "Jan  5 2024" gives "24.1.5"). Empty when
// the text does not split into three pieces at spaces or a piece gives nothing.
Vadu::String VersionTextForDate(const Vadu::String& date);
// The version text for a version file name: the content of the embedded file of that name when
// there is one, else the version text of the date.
Vadu::String VersionTextFor(const Vadu::String& versionFileName, const Vadu::String& date);
// This build's version text: VersionTextFor the content of "build_version_file_name" and the
// build date. Computed on the first call, under a lock, and kept.
Vadu::String BuildVersionText();
// The content of "minimal_version", as read by the first BuildVersionText call (empty before).
Vadu::String MinimalVersionText();

}  // namespace Zentu

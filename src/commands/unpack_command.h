// The -unpack command: writes every resource embedded in a file into the folder "unpack_res"
// beside the utility, or inside the folder given with -outdir.
#pragma once

#include "support/command_line_options.h"
#include "support/string_base.h"

namespace Zentu {

// Reads the value of -unpack, loads the block of that file and writes each entry as a file named
// after it into "unpack_res" beside the utility (inside the -outdir folder when given, made as
// needed; the current directory when it has no value), which afterwards holds exactly these files.
// Every failure is reported with an ERROR line and exit code 1: no file given, a missing or
// unreadable file, one without a block or with a damaged block (the folder is then left as it was),
// an entry that cannot be written. Entries with unsafe names (see IsSafeResourceName) are reported
// and skipped; the other entries are still written. When the utility's folder is not writable, a
// second ERROR line names it and -outdir.
void UnpackResources(const Vadu::CommandLineOptions& options);

// The same into `folder`.
void UnpackResources(const Vadu::WString& input, const Vadu::WString& folder);

// True when a resource name, used as a relative path, stays inside the folder it is written to:
// it is valid UTF-8 without zero bytes (an overlong or otherwise invalid form could decode to
// "." or "/"), and its decoded text is not absolute ("/..." or "\..."), and no component is ".."
// or begins with a drive letter ("C:"). Both "/" and "\" count as separators, so a name means the
// same on every platform.
bool IsSafeResourceName(const Vadu::String& name);

}  // namespace Zentu

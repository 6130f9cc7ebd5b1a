// The archive of a disk image's branded bundle ("<image>.tgz" beside the image), written by the
// utility itself rather than packed from disk: every entry of the image's listing that lies in
// the bundle, under its new name, with the kind, mode, link target and time the image gives it,
// owner 0/0, and the content of the branded files in the working folder. Links stay links and
// modes stay the image's on every platform, whatever the extraction could keep (Windows makes no
// links; an image's read-only files were made writable for the branding).
#pragma once

#include "src/steps/rebrand_job.h"
#include "support/string_base.h"

namespace Zentu {

// Writes the archive of the job's bundle to `archive`, replacing it once complete. False, with the
// reason in `why`, when a file of the bundle cannot be read or the archive cannot be written.
bool WriteBundleArchive(const RebrandJob& job, const Vadu::WString& archive, Vadu::String* why);

// Seconds since 1970 of a listing's local time ("YYYY-MM-DD HH:MM:SS"); 0 when it is not one.
int64_t ListedTime(const Vadu::WString& text);

}  // namespace Zentu

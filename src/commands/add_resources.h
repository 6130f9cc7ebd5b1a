// The add-resources command: finds the executable that carries the resources (the target itself,
// a file inside an unpacked .tgz archive or .dmg disk image, or the executable of a bundle
// folder), merges the resources already embedded in the target with new resource files, adds the
// "date" entry, writes the resource block into that executable and repacks what was unpacked.
// An archive or image in which no application is found is never written into.
#pragma once

#include <vector>

#include "src/steps/rebrand_job.h"
#include "support/date_time.h"
#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// Whether the command also gives a Windows program's version information the reseller's names
// (the -properties option).
enum class Properties { kKeep, kBrand };
// Whether the resources the target carries stay beside the new ones (a file of the same name
// replaces its entry) or all go (the -replace option).
enum class Embedded { kMerge, kReplace };

struct BrandingChoices {
  Properties properties = Properties::kKeep;
  Embedded embedded = Embedded::kMerge;
};

// Runs the command: reports on standard output and through the exit code. Icon and resources may
// be empty. All or nothing: every input is checked before anything is written (the resource files
// and the icon present and readable, their names UTF-8, all of them within what a block carries,
// the block the target carries readable unless it is to be replaced), the icon and properties
// steps work on a copy of the target in the run folder, and the target is replaced once, at the
// end; after any ERROR line the target is byte for byte as it was. A file target is locked for
// the run: a second run on it waits for the first (up to a minute, then "ERROR: another run is
// still working on " and the target); a target that is neither a regular file nor a folder is
// refused as missing.
void AddResources(const Vadu::WString& target, const Vadu::WString& icon,
                  const Vadu::WString& resources, const BrandingChoices& choices = {});

// The command for a resource package: as AddResources, but the package's own block is not taken
// over, and the package (with its folder) is made or replaced by the new block alone, only once
// it is complete.
void AddResourcesToPackage(const Vadu::WString& package, const Vadu::WString& icon,
                           const Vadu::WString& resources);

// Reads a file named for embedding (a resource or the icon) whole into `bytes`. Where the run has
// rights the owner of the file's folder lacks (root on a user's folder), the file read must be
// that owner's: a link the owner made to a file they may not read themselves (/etc/shadow) would
// otherwise ship to the customer. The owner is judged on the file opened, so that a link swapped
// meanwhile cannot pass. False with the ERROR line to print and the reason to log.
bool ReadFileToEmbed(const Vadu::WString& path, Vadu::String* bytes, Vadu::String* line,
                     Vadu::String* reason);

// True for an existing file or directory. A non-empty path that is neither is reported ("ERROR:
// can't find " and its file name) and sets exit code 1; an empty path gives false silently.
bool PathPresent(const Vadu::WString& path);

// Fills the map: the block embedded in the target replaces its content, then every file directly
// inside the resources folder (or the resources file itself) is added under its file name,
// replacing an embedded entry of the same name. False, after reporting it, when no resources path
// was given, it is missing, a resource cannot be read, or the target's block is damaged.
bool LoadResources(const Vadu::WString& resources, const Vadu::WString& target,
                   Vadu::SettingsMap& map);

// Takes the job's product word from the "ProductName" of the first OEM information document (a
// resource whose name ends with ".xml") that has one: spaces become "_", and so do path
// separators, since the word names files. Without one the word stays as it is.
void TakeProductName(RebrandJob& job);

// For a disk image: writes the bundle the working path lies in, as the image lists it, into the
// target's name followed by ".tgz" (X.dmg gives X.dmg.tgz; the image stays), replacing an old
// archive only once the new one is complete. False for any other target, and when the archive
// could not be made or put in place, with the reason in `why`.
bool Repack(const RebrandJob& job, Vadu::String* why);

// Helpers of the command.

// The decimal text of the milliseconds from 0001-01-01 to midnight of the day of `now`.
Vadu::String DateText(Vadu::DateTime now);

// Sets the job's kind from its working path: an existing directory is a bundle folder (and the
// executable of a bundle folder, "Contents/MacOS/zentu", becomes the working path); a path with
// "MacOS" and ".app" is an application bundle's executable, one with ".app" but not "Contents" a
// single application file, then ".apk" and ".exe" by substring. Otherwise the kind keeps its
// value. Inside the working folder only the part below it is looked at, so that the temporary
// directory's own name cannot match.
void DetectTargetKind(RebrandJob& job);

}  // namespace Zentu

// The macOS steps of the add-resources command: the unpacked application takes the product's
// name, a user icon becomes the bundle's icon, and the bundle's property lists receive the
// product's name and identifier. The steps work on the job's working path and only on what lies
// inside its working folder, print nothing but the line of a name that is taken, and leave things
// as they were when a step fails.
#pragma once

#include <map>

#include "src/steps/rebrand_job.h"
#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// "ProductName" of the first OEM information document among the resources (names ending in
// ".xml", in any case, in map order) that gives a non-empty one; empty when none does. Spaces
// stay.
Vadu::String BundleProductName(const Vadu::SettingsMap& resources);
// Likewise the first non-empty "VersionUniqueID", as a bundle identifier: Apple allows only A-Z,
// a-z, 0-9, "-" and ".", so every space becomes "." and every other character (a whole UTF-8
// sequence beyond ASCII counting as one) becomes "-".
Vadu::String BundleIdentifier(const Vadu::SettingsMap& resources);
// The product word the resources name: BundleProductName with spaces, "/" and "\" turned into
// "_" (the name of the application in packages and bundles); empty when they name none.
Vadu::String ProductWordOf(const Vadu::SettingsMap& resources);

// True for a name that can be one file name: not empty, "." or "..", no separator (nor "/" or ":"
// on Windows) and no control character.
bool IsPlainName(const Vadu::WString& name);

// The bundle folder the job's working path lies in: the path up to and including its first ".app"
// that is followed by a separator (below the working folder, for a path inside it); empty when
// there is none.
Vadu::WString BundleFolderOf(const RebrandJob& job);

// For the executable of an application bundle unpacked into the working folder (a disk image's):
// the bundle it lies in (the path up to its first ".app" folder) is renamed to the product word
// followed by ".app", and the working path follows it. Nothing happens for other kinds, a product
// word that is not a plain file name, or a working path outside the working folder. The rename
// never replaces another file or folder: when the new name is taken, "ERROR: can't rename <old>
// to <new>: the name is taken" is printed and the result is false.
bool RenameAppBundle(RebrandJob& job);

// Copies the icon into the renamed bundle in the working folder as its "icon.icns", replacing the
// old one, when the bundle's "Contents/Resources" folder exists.
void PlaceBundleIcon(const RebrandJob& job, const Vadu::WString& icon);

// For a working path inside a bundle's "MacOS" folder: the executable is renamed to the product
// name and the working path follows it; "version.plist" and "Info.plist" beside "MacOS" receive
// the product name and bundle identifier of the job's resources. "CFBundleExecutable" is changed
// only when the executable does carry the product name, so that the list never names a missing
// file. When another file of the product name stands beside the executable, nothing is renamed or
// changed, the line above is printed and the result is false.
bool UpdateBundlePlists(RebrandJob& job);

// Rewrites a property list with the declaration and its document: in the first "dict" of the
// root, the "string" following each key that has a non-empty value in `values` takes that value.
// A missing file, or one that is not an XML document, is left untouched. The file is replaced
// atomically.
void UpdatePlistFile(const Vadu::WString& file, const std::map<Vadu::String, Vadu::String>& values);

}  // namespace Zentu

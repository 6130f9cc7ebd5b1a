// The macOS steps of the add-resources command: the unpacked application takes the product's
// name, a user icon becomes the bundle's icon, and the bundle's property lists receive the
// product's name and identifier. The steps work only on what lies inside the working folder,
// never print, and leave things as they were when a step fails.
#pragma once

#include <map>

#include "support/string_base.h"

namespace Zentu {

// "ProductName" of the first OEM information document among the resources (names ending in
// ".xml", in any case, in map order) that gives a non-empty one; empty when none does. Spaces
// stay.
Vadu::String BundleProductName();
// Likewise the first non-empty "VersionUniqueID", with every space turned into ".".
Vadu::String BundleIdentifier();

// The bundle folder a working path lies in: the path up to and including its first ".app" that
// is followed by a separator (below the working folder, for a path inside it); empty when there
// is none.
Vadu::WString BundleFolderOf(const Vadu::WString& workingPath);

// For the target kinds ".tgz" and ".dmg": the application bundle the working path lies in (the
// path up to its first ".app" folder), or the single application file it names, is renamed to
// the product word followed by ".app", and the working path follows it. Nothing happens for
// other kinds, a product word that is not a plain file name, or a working path outside the
// working folder. The rename never replaces another file or folder: when the new name is taken,
// "ERROR: can't rename <old> to <new>: the name is taken" is printed and the result is false.
bool RenameAppBundle(Vadu::WString& workingPath);

// Copies the icon into the renamed bundle as its "icon.icns", replacing the old one, when the
// bundle's "Contents/Resources" folder exists: the bundle is looked for in the unpack folder
// "zentu" of the working folder, then directly in the working folder (where disk images unpack).
void PlaceBundleIcon(const Vadu::WString& icon);

// For a working path inside a bundle's "MacOS" folder: the executable is renamed to the product
// name and the working path follows it; "version.plist" and "Info.plist" beside "MacOS" receive
// the product name and bundle identifier. "CFBundleExecutable" is changed only when the
// executable does carry the product name, so that the list never names a missing file. When
// another file of the product name stands beside the executable, nothing is renamed or changed,
// the line above is printed and the result is false.
bool UpdateBundlePlists(Vadu::WString& workingPath);

// Rewrites a property list with the declaration and its document: in the first "dict" of the
// root, the "string" following each key that has a non-empty value in `values` takes that value.
// A missing file, or one that is not an XML document, is left untouched. The file is replaced
// atomically.
void UpdatePlistFile(const Vadu::WString& file, const std::map<Vadu::String, Vadu::String>& values);

}  // namespace Zentu

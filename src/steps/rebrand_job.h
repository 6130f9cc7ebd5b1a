// One run of the add-resources command: what it works on, built by the command and handed to its
// steps (icon, properties, bundle, repack), which read and change nothing else.
#pragma once

#include <optional>

#include "src/steps/archive_tool.h"
#include "src/steps/tgz_package.h"
#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// What the working path turned out to be, told from its own names (not the run folder's).
enum class TargetKind {
  kUnknown,       // none of the below: the block is written, nothing else applies
  kWindows,       // a Windows program: a path holding ".exe"
  kAndroid,       // an Android package: a path holding ".apk"
  kAppFile,       // the single application file of a .tgz archive: ".app" without "Contents"
  kAppBundle,     // the executable of an application bundle: "MacOS" and ".app"
  kBundleFolder,  // a folder target (the executable of a bundle folder, when there is one)
};

// How the target was opened.
enum class Opened {
  kFile,       // written into directly
  kPackage,    // a .tgz package, read and written anew as a stream (package_target.h)
  kDiskImage,  // a .dmg disk image, unpacked into the working folder; packed beside it as .tgz
};

struct RebrandJob {
  // The file or folder the user named.
  Vadu::WString target;
  Opened opened = Opened::kFile;
  // The file that receives the block: the target, or the application inside what was unpacked.
  // The bundle steps rename it and move it along.
  Vadu::WString workingPath;
  TargetKind kind = TargetKind::kUnknown;
  // The application's name inside bundles and archives: "zentu" until the OEM information names
  // a product.
  Vadu::WString productWord{u"zentu"};
  // The resources to embed: the target's own block, then the resource files over it.
  Vadu::SettingsMap resources;
  // Where archives and disk images are unpacked, inside the run's private folder; empty when the
  // run has no folder.
  Vadu::WString workingFolder;
  // The icon file the user gave, when there is one.
  Vadu::WString icon;
  // For a package read as a stream: what it holds, and which candidate is the application.
  std::optional<PackageIndex> package;
  size_t application = 0;
  // For a disk image: its entries as the archive tool lists them, and the executable's path among
  // them.
  std::vector<ListedEntry> imageListing;
  Vadu::WString imageExecutable;

  // The part of `path` that names files of the target: below the working folder for a path
  // inside it, else the whole path.
  Vadu::WString OwnPart(const Vadu::WString& path) const;
};

}  // namespace Zentu

// The archive tool driver: unpacks .tgz archives and .dmg disk images and packs folders into .tgz
// archives by running the 7-Zip program the utility carries (EnsureArchiveTool). Every run is
// logged to the driver's own log file, "<executable>.7zip.log" beside the executable.
//
// Paths reach the tool as one argument each whatever they hold: the tool is given an argument
// list (which Windows alone quotes into a command line), and no path passes through a command
// interpreter. The log shows each command as a Windows command line would hold it.
// While a pack or unpack runs, a progress line names it on standard error when that is a terminal.
#pragma once

#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Zentu {

// Every "\" of the UTF-8 path turned into "/", as wide text.
Vadu::WString ToForwardSlashes(const Vadu::String& path);

// The name of the intermediate tar file for packing to `path`: the file name of the path up to
// the last occurrence of `extension` (".dmg" or ".tgz"), then ".tar"; "D:\out\Product.dmg" gives
// "Product.tar". When that is empty, the path up to the first occurrence of the extension.
Vadu::WString TarNameFor(const Vadu::WString& path, const Vadu::String& extension);

// What PackTgz puts at the root of the archive.
enum class PackRoot {
  kSource,          // the source itself: a folder "pkg" gives "pkg/..."
  kFolderContents,  // everything inside the source folder, each at the root
};

// Packs the source into a gzip-compressed tar archive. A destination containing ".dmg" gives the
// archive beside it with ".tgz" in place of its last ".dmg" (and removes the disk-image staging
// folder afterwards); otherwise a destination containing ".tgz" is the archive itself. Symbolic
// links are stored as links. The new archive is made under a temporary name and replaces the old
// one only once it is complete, so a failure leaves any existing archive untouched. True when the
// archive was made.
bool PackTgz(const Vadu::WString& source, const Vadu::WString& destination,
             PackRoot root = PackRoot::kSource);

// Extracts one archive layer into the folder (created as needed), overwriting existing files.
// True when the tool reported success.
bool UnpackArchive(const Vadu::WString& archive, const Vadu::WString& folder);

// Extracts a .tgz archive (gzip, then tar) into the folder and removes the intermediate tar
// file. True when both layers were extracted.
bool UnpackTgz(const Vadu::WString& archive, const Vadu::WString& folder);

// An entry of a disk image as the tool lists it ("l -slt"): what extraction may not keep (links
// on Windows, modes) is read from here.
struct ListedEntry {
  enum class Kind { kFile, kFolder, kLink };
  Vadu::WString path;  // inside the image, with "/"
  Kind kind = Kind::kFile;
  uint64_t size = 0;
  uint32_t mode = 0;       // permission, set-ID and sticky bits; 0 when the image shows none
  Vadu::WString link;      // a link's target
  Vadu::WString modified;  // "YYYY-MM-DD HH:MM:SS", local time, as the tool shows it
};

// Extracts a disk image's file tree through the staging folder "dmgunpackresult" in the run
// folder and moves it into the destination; with `listing`, gives the image's entries too. True
// when the tree was extracted whole (every regular file of the listing, with its size) and moved.
bool UnpackDmg(const Vadu::WString& image, const Vadu::WString& destination,
               std::vector<ListedEntry>* listing = nullptr);

}  // namespace Zentu

// The archive tool driver: lists and unpacks .dmg disk images by running the 7-Zip program the
// utility carries (EnsureArchiveTool). Every run is logged to the driver's own log file,
// "<executable>.7zip.log" beside the executable. (Linux packages are read and written by the
// utility itself: tgz_package.h.)
//
// Paths reach the tool as one argument each whatever they hold: the tool is given an argument
// list (which Windows alone quotes into a command line), and no path passes through a command
// interpreter. The log shows each command as a Windows command line would hold it.
// While an image is unpacked, a progress line names it on standard error when that is a terminal.
#pragma once

#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Zentu {

// Every "\" of the UTF-8 path turned into "/", as wide text.
Vadu::WString ToForwardSlashes(const Vadu::String& path);

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

// A Linux package (.tgz) read and rewritten as a stream: the gzip and tar layers are read by the
// utility itself, never unpacked to disk, and the package is written anew with every entry the
// branding does not change copied byte for byte (links, hard links, owners, set-ID bits, sparse
// files, pax and GNU headers, the end-of-archive blocks and what follows them). Only the
// application's data is written to disk, into the run folder, under names the utility chooses.
//
// Two passes: ReadPackage inflates the package and indexes what branding may change (the
// applications that may be the one, and the links), WritePackage inflates it again and writes the
// new package, putting changed entries in the place of the old ones.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "support/gzip_file.h"
#include "support/settings_map.h"
#include "support/string_base.h"
#include "support/tar_reader.h"

namespace Zentu {

// An entry as the package stores it.
struct PackageEntry {
  Vadu::TarEntry entry;
  Vadu::String headers;  // its header blocks, byte for byte
};

// A regular file whose name says it may be the application (it holds ".app", and "MacOS" or no
// "Contents"), the last entry of its name.
struct ApplicationCandidate {
  PackageEntry stored;
  // Its data in the run folder (ReadPackage with a folder to extract into); empty otherwise, and
  // for a sparse file, whose data is not extracted.
  Vadu::WString extracted;
  // The last bytes of its data: where a block's length field and marker lie.
  Vadu::String tail;
};

struct PackageIndex {
  Vadu::String gzipHeader;  // the first gzip member's header, as stored
  uint32_t members = 0;
  uint64_t tarLength = 0;  // the inflated length
  uint64_t entries = 0;
  std::vector<ApplicationCandidate> candidates;  // in archive order
  std::vector<PackageEntry> links;               // hard and symbolic links
  std::vector<PackageEntry> inBundles;           // every entry in a bundle, or that is one
  // The property lists of bundles ("Info.plist", "version.plist") by name, with their extracted
  // copies (empty paths when nothing was extracted).
  std::map<Vadu::String, Vadu::WString> propertyLists;
  std::set<Vadu::String> names;  // the name of every entry (NormalEntryName)
  // Where the compressed data can be kept around a change (read with a folder to extract into).
  Vadu::GzipIndex deflate;
};

// The bundle a name lies in: the name up to its first component that ends in ".app" and is
// followed by another; empty when there is none.
Vadu::String BundleRootOf(const Vadu::String& name);

// A name as extraction resolves it: without leading "./" and trailing "/", "//" as "/".
Vadu::String NormalEntryName(const Vadu::String& name);

// Reads the package: its index, or nothing with `failure` set (for the log) when it is not a
// whole gzip-compressed tar archive. With `extractInto`, the data of every candidate and every
// bundle property list is written there.
std::optional<PackageIndex> ReadPackage(const Vadu::WString& path, const Vadu::WString& extractInto,
                                        Vadu::String* failure);

// Removes the files ReadPackage extracted.
void RemoveExtracted(const PackageIndex& index);

// The compressed payloads of the candidates' blocks, read from the package (for candidates not
// extracted): a second pass that keeps only those bytes. Nothing when the package cannot be read.
std::optional<std::vector<Vadu::String>> ReadCandidatePayloads(const Vadu::WString& path,
                                                               const PackageIndex& index);

// Which candidate is the application, given the block each one carries (empty when none, or
// one that does not inflate): the one carrying a block; among several, the one named after the
// product its own block names; else one named "zentu.app"; else the first. Nothing when there
// are no candidates.
std::optional<size_t> ChooseApplication(const std::vector<ApplicationCandidate>& candidates,
                                        const std::vector<Vadu::SettingsMap>& blocks);

// An entry to write in place of a stored one: new headers, and for a changed file its new data.
struct EntryReplacement {
  const PackageEntry* stored = nullptr;
  Vadu::String headers;
  Vadu::WString data;  // the file holding the new data; empty to keep the stored data
};

// Writes the package anew into `output`: the gzip header of the original, the tar stream with the
// replacements made, one CRC-32 and length. Only the part of the stream around the replacements is
// compressed anew (on every core, at level 6): from the last access point of the index before the
// first of them to the first block boundary on a byte boundary 32 KiB past the last, where the
// original blocks can follow again, since no back-reference reaches further. The compressed data
// before and after is copied. A package of several gzip members, or
// one read without an index, is compressed anew whole. False when the package cannot be read again
// or the output cannot be written.
bool WritePackage(const Vadu::WString& path, const PackageIndex& index,
                  std::vector<EntryReplacement> replacements,
                  const std::function<bool(const char*, uint64_t)>& output);

}  // namespace Zentu

// The OEM resource block: a resource map carried at the end of a host file.
//
//   host bytes | payload (zlib stream of the raw map, N bytes) | N (u32 LE, never 0) | "OEM"
//
// Readers tolerate up to 7 bytes of anything after the marker (a signing tool's alignment).
// A stand-alone package is a block with no host bytes. An Authenticode signature of a Windows
// executable is removed before a block is searched for or written, so a file signed after
// embedding still yields its block and a re-embedded file comes out unsigned. Only a certificate
// table after the program's headers and sections is a signature: a security entry that points
// into them is refused. A Windows program comes out with the checksum of its header set for the
// new file. An Android package (a zip) carries the block inside its end-of-central-directory
// comment, so that the file still ends with the block and is still a zip by Android's rules.
#pragma once

#include <cstdint>
#include <optional>

#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// Bytes after the marker that readers still accept.
constexpr uint32_t kMaxBlockTail = 7;
// The length field and the marker that follow a payload.
constexpr uint32_t kBlockTrailerSize = 7;
// The most an Android package's end-record comment may hold, its own comment and the block
// together: Android's search for the record never finds one with a comment of 65,535 bytes.
constexpr uint32_t kMaxAndroidComment = 65534;

// How a host takes a block.
enum class HostFormat {
  kAsFound,         // the block follows the host's bytes
  kAndroidPackage,  // a zip takes it inside its end record's comment; anything else as kAsFound
};

// Where the payload of a block lies; a length of 0 means there is no block.
struct BlockLocation {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// `bytes` without the certificate table that the security directory entry of a PE file points
// at, and with that entry set to zero; `bytes` itself when it is not a PE file, has no such
// table, or the entry is not one to honour: past the end of the file, or pointing into the
// program's headers or sections.
Vadu::String RemoveSignature(const Vadu::String& bytes);

// The payload of the block at the end of `bytes` (no signature removal); {0, 0} when there is
// none: no marker within the last bytes, or a length field of 0 or longer than what precedes it.
BlockLocation FindBlock(const Vadu::String& bytes);

// How many bytes at the end of a file the block search reads: the marker, at most kMaxBlockTail
// bytes before the end, and the length field before it.
constexpr uint32_t kBlockSearchSpan = kMaxBlockTail + kBlockTrailerSize;

// Where the payload of a block lies in data of `length` bytes (no signature removal), told by its
// last bytes alone: `tail` holds the last min(length, kBlockSearchSpan) of them. Nothing when
// there is no block.
struct BlockSpan {
  uint64_t offset = 0;
  uint32_t length = 0;
};
std::optional<BlockSpan> FindBlockAtEnd(uint64_t length, const Vadu::String& tail);

// The (still compressed) payload of the block of a file, signature removed first; empty when
// there is none.
Vadu::String ExtractBlock(const Vadu::String& bytes);

// The file without its signature and without its block (payload, length, marker and tail).
Vadu::String StripBlock(const Vadu::String& bytes);

// The file content carrying `map` as its only block, the signature and any old block removed, the
// security entry of a PE header set to zero and its checksum field set for the result; `bytes`
// unchanged when the map is empty. An odd-length Windows program would have two checksums (tools
// differ on a last odd byte): its payload then starts with an empty stored deflate block, which
// makes the length even and reads as nothing. Empty when the block cannot be built: the
// compressed map or the result would be longer than a string can hold, the host is a PE header
// cut short that the block's bytes would complete, or one of the refusals of WriteBlockIntoFile.
Vadu::String AppendBlock(const Vadu::String& bytes, const Vadu::SettingsMap& map,
                         HostFormat format = HostFormat::kAsFound);
// The same result, built in the host's own buffer when nothing else shares it and there is no
// signature to cut: a large program is then never held twice. `bytes` is consumed.
Vadu::String AppendBlock(Vadu::String&& bytes, const Vadu::SettingsMap& map,
                         HostFormat format = HostFormat::kAsFound);

// Replaces the contents of `map` with the block of a file; a file without a block empties it.
// False when there is no block or it is corrupt.
bool LoadBlock(Vadu::SettingsMap& map, const Vadu::String& bytes);

// The same operations on files, streamed: the host is read with positioned reads and copied into a
// temporary file beside it that then takes its place, so a program of any size (4 GiB or more
// too) is never held in memory. On every failure the file stays byte for byte as it was.
//
// Sets `payload` to the (still compressed) payload of the file's block, signature removed first,
// or to empty when there is none. False, with `payload` unchanged, when the file cannot be read
// or the payload cannot be held in memory.
bool ReadBlockOfFile(const Vadu::WString& path, Vadu::String* payload);
// What a host file is, before a block goes into it.
struct HostReport {
  // Why no block can go into it, as an ERROR line says it (without "ERROR: "); empty when one can.
  Vadu::String problem;
  // A Windows program whose signature embedding removes.
  bool authenticodeSigned = false;
  // An Android package with an APK signing block (scheme v2 or later), which the new end-record
  // comment invalidates.
  bool apkSigned = false;
};
// Reads what the host's headers say with a few positioned reads. False when the file cannot be
// read.
bool InspectHostFile(const Vadu::WString& path, HostFormat format, HostReport* report);

// What became of writing a block into a file.
struct BlockWrite {
  bool written = false;
  // Why the host or the resources were refused, as an ERROR line says it (without "ERROR: "):
  // a security entry that points into the program, resources too large for an Android package.
  // Empty when the file could not be read or replaced.
  Vadu::String problem;

  explicit operator bool() const { return written; }
};
// Makes the file carry `map` as its only block, as AppendBlock makes its content; an empty file
// becomes the block alone, an empty map changes nothing. A Windows program's checksum is summed
// from its bytes while the resources are compressed. With kAndroidPackage a zip takes the block
// inside its end record's comment, whose length then covers the comment it had and the whole
// block (an old block, in the comment or after the record, is dropped first): more than
// kMaxAndroidComment bytes in all are refused, and a block whose bytes would hold the record's
// signature (which Android's backward search would take for the record) is compressed again
// with other flush points until none does. Not written when the file cannot be read or replaced,
// the map cannot be compressed, or the host or the resources are refused.
BlockWrite WriteBlockIntoFile(const Vadu::WString& path, const Vadu::SettingsMap& map,
                              HostFormat format = HostFormat::kAsFound);
// Takes the signature and the block off the file, as StripBlock does; a file with neither is
// left untouched. The checksum field is left as it was: the final write sets it. False when the
// file cannot be read or replaced, or its security entry points into the program.
bool StripBlockFromFile(const Vadu::WString& path);

}  // namespace Zentu

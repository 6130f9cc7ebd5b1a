// The OEM resource block: a resource map carried at the end of a host file.
//
//   host bytes | payload (zlib stream of the raw map, N bytes) | N (u32 LE, never 0) | "OEM"
//
// Readers tolerate up to 7 bytes of anything after the marker (a signing tool's alignment).
// A stand-alone package is a block with no host bytes. An Authenticode signature of a Windows
// executable is removed before a block is searched for or written, so a file signed after
// embedding still yields its block and a re-embedded file comes out unsigned.
#pragma once

#include <cstdint>
#include <optional>

#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// Bytes after the marker that readers still accept.
constexpr uint32_t kMaxBlockTail = 7;

// Where the payload of a block lies; a length of 0 means there is no block.
struct BlockLocation {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// `bytes` without the certificate table that the security directory entry of a PE file points
// at, and with that entry set to zero; `bytes` itself when it is not a PE file, has no such
// table, or the entry is inconsistent (past the end of the file, or inside the table).
Vadu::String RemoveSignature(const Vadu::String& bytes);

// The payload of the block at the end of `bytes` (no signature removal); {0, 0} when there is
// none: no marker within the last bytes, or a length field of 0 or longer than what precedes it.
BlockLocation FindBlock(const Vadu::String& bytes);

// How many bytes at the end of a file the block search reads: the marker, at most kMaxBlockTail
// bytes before the end, and the length field before it.
constexpr uint32_t kBlockSearchSpan = kMaxBlockTail + 7;

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

// The file content carrying `map` as its only block, the signature and any old block removed and
// the security entry of a PE header set to zero; `bytes` unchanged when the map is empty. Empty
// when the block cannot be built: the compressed map or the result would be longer than a string
// can hold, or the host is a PE header cut short that the block's bytes would complete.
Vadu::String AppendBlock(const Vadu::String& bytes, const Vadu::SettingsMap& map);
// The same result, built in the host's own buffer when nothing else shares it and there is no
// signature to cut: a large program is then never held twice. `bytes` is consumed.
Vadu::String AppendBlock(Vadu::String&& bytes, const Vadu::SettingsMap& map);

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
// Makes the file carry `map` as its only block, as AppendBlock makes its content; an empty file
// becomes the block alone, an empty map changes nothing. False when the file cannot be read or
// replaced, the map cannot be compressed, or the block format refuses the host.
bool WriteBlockIntoFile(const Vadu::WString& path, const Vadu::SettingsMap& map);
// Takes the signature and the block off the file, as StripBlock does; a file with neither is
// left untouched. False when the file cannot be read or replaced.
bool StripBlockFromFile(const Vadu::WString& path);

}  // namespace Zentu

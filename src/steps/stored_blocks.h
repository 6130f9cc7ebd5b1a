// The scrambled blocks embedded into the program at build time (cmake/payloads.cmake generates
// the definitions): the tools the utility writes to disk when it needs them, the named files, and
// the key that unscrambles them all.
#pragma once

#include <cstdint>
#include <span>

namespace Zentu {

enum class StoredKind { kArchiveTool, kIconTool, kNamedFile };

struct StoredBlock {
  StoredKind kind;
  // The file name a tool is written under, or the name of a named file.
  const char* name;
  // Scrambled content, read-only.
  const unsigned char* data;
  uint32_t size;
};

// Every embedded block, in the order the build added them (archive tool files: the program first).
std::span<const StoredBlock> StoredBlocks();
// The scrambling key, in plain.
std::span<const unsigned char> StoredKey();

}  // namespace Zentu

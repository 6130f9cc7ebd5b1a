// The checksum field of a PE (Windows program) header, computed over pieces of the file in any
// order: the file's bytes summed as little-endian 16-bit words with every carry folded back in,
// the checksum field itself read as zero, then the file's length added. A last odd byte counts as
// a word whose high byte is zero, as Windows reads it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vadu {

class PeChecksum {
 public:
  // Where the checksum field lies: the PE header's offset plus 88 (PE32 and PE32+ alike).
  static constexpr uint32_t kFieldOffsetInHeader = 88;

  // Adds `count` bytes that lie at `offset` of the file. Every byte of the file but those of the
  // checksum field is added once (the field's may be added as zeros), in any order.
  void Add(uint64_t offset, const void* bytes, size_t count);
  // Adds what another sum took in (pieces summed on another thread).
  void Add(const PeChecksum& other);
  // The checksum of a file of `length` bytes, all of them added.
  uint32_t Value(uint64_t length) const;

 private:
  // The word sum is kept modulo 0xFFFF, which folding the carries amounts to; a non-zero sum that
  // is a multiple of it folds to 0xFFFF, never to 0.
  uint32_t residue_ = 0;
  bool nonzero_ = false;
};

}  // namespace Vadu

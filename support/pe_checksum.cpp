#include "support/pe_checksum.h"

namespace Vadu {
namespace {

constexpr uint64_t kModulus = 0xFFFF;
// Little-endian 32-bit loads summed before the total could overflow 64 bits.
constexpr size_t kLoadsPerRound = size_t{1} << 30;

}  // namespace

void PeChecksum::Add(uint64_t offset, const void* bytes, size_t count) {
  // Since 0x10000 is 1 modulo 0xFFFF, a little-endian 32-bit value is the sum of its two words
  // modulo 0xFFFF: wide loads summed exactly, then reduced, give the folded word sum.
  const auto* p = static_cast<const unsigned char*>(bytes);
  uint64_t reduced = 0;
  bool nonzero = false;
  while (count >= 4) {
    const size_t loads = count / 4 < kLoadsPerRound ? count / 4 : kLoadsPerRound;
    uint64_t sum = 0;
    for (size_t i = 0; i < loads; ++i, p += 4)
      sum += uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    nonzero = nonzero || sum != 0;
    reduced = (reduced + sum % kModulus) % kModulus;
    count -= loads * 4;
  }
  // The last one to three bytes: a whole word, and a lone byte as the low half of one.
  uint64_t last = 0;
  for (size_t i = 0; i < count; ++i) last += uint64_t{p[i]} << (8 * (i % 2));
  nonzero = nonzero || last != 0;
  reduced = (reduced + last) % kModulus;
  // Bytes that start at an odd offset are the high halves of the file's words: 0x100 times what
  // they summed to as low halves.
  if (offset % 2) reduced = reduced * 0x100 % kModulus;
  residue_ = static_cast<uint32_t>((residue_ + reduced) % kModulus);
  nonzero_ = nonzero_ || nonzero;
}

void PeChecksum::Add(const PeChecksum& other) {
  residue_ = static_cast<uint32_t>((residue_ + uint64_t{other.residue_}) % kModulus);
  nonzero_ = nonzero_ || other.nonzero_;
}

uint32_t PeChecksum::Value(uint64_t length) const {
  const uint32_t folded = residue_ == 0 && nonzero_ ? 0xFFFF : residue_;
  return static_cast<uint32_t>(folded + length);
}

}  // namespace Vadu

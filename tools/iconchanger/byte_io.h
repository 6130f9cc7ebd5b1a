// Little-endian byte access, alignment helpers and the error type shared by the iconchanger units.
#ifndef ZENTU_TOOLS_ICONCHANGER_BYTE_IO_H_
#define ZENTU_TOOLS_ICONCHANGER_BYTE_IO_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace iconchanger {

// Every failure (malformed input, no room, I/O) is reported with this exception; the message is
// meant for a single line on standard error.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes (overflow-safe).
inline bool InBounds(uint64_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

// Bounds-checked reads; `what` names the field in the error message.
inline uint16_t ReadU16(ByteSpan data, uint64_t offset, const char* what) {
  if (!InBounds(data.size(), offset, 2)) throw Error(std::string("truncated ") + what);
  return LoadU16(data.data() + offset);
}

inline uint32_t ReadU32(ByteSpan data, uint64_t offset, const char* what) {
  if (!InBounds(data.size(), offset, 4)) throw Error(std::string("truncated ") + what);
  return LoadU32(data.data() + offset);
}

inline void AppendU16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void AppendU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Rounds `value` up to a multiple of `alignment` (a power of two, or 0/1 meaning no alignment).
constexpr uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return alignment <= 1 ? value : (value + alignment - 1) & ~(alignment - 1);
}

constexpr bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_BYTE_IO_H_

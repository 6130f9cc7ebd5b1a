// Independent checks of what the platforms accept, written from the formats alone: where
// Android's zip reader finds a package's end record, and a Windows program's checksum as Windows
// computes it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace Zentu::Testing {

// Where Android's zip reader finds the end of central directory record: the first signature it
// meets scanning back from 22 bytes before the end, over the last 65,535 + 22 bytes; the record's
// comment must then end exactly at the end of the file. npos when it refuses the file.
inline size_t AndroidEndRecord(const std::string& file) {
  if (file.size() < 22) return std::string::npos;
  const size_t start = file.size() - std::min<size_t>(file.size(), 65535 + 22);
  for (size_t i = file.size() - 22 + 1; i-- > start;) {
    if (file.compare(i, 4, "PK\x05\x06") != 0) continue;
    const size_t comment = uint8_t(file[i + 20]) | uint8_t(file[i + 21]) << 8;
    return i + 22 + comment == file.size() ? i : std::string::npos;
  }
  return std::string::npos;
}

// Where a Windows program's checksum field lies: 88 bytes into its PE header.
inline size_t PeChecksumFieldAt(const std::string& file) {
  uint32_t header = 0;
  for (int i = 0; i < 4; ++i) header |= uint32_t(uint8_t(file.at(0x3C + i))) << (8 * i);
  return size_t{header} + 88;
}

// The value the checksum field holds.
inline uint32_t PeChecksumField(const std::string& file) {
  const size_t at = PeChecksumFieldAt(file);
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t(uint8_t(file.at(at + i))) << (8 * i);
  return value;
}

// The checksum as Windows' image helper computes it: the file's 16-bit little-endian words (a last
// odd byte as the low half of one) summed with the carry folded back in, the field itself read as
// zero, plus the file's length.
inline uint32_t PeChecksumOf(const std::string& file) {
  const size_t field = PeChecksumFieldAt(file);
  uint32_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    uint32_t word = 0;
    for (size_t j = i; j < i + 2 && j < file.size(); ++j)
      if (j < field || j >= field + 4) word |= uint32_t(uint8_t(file[j])) << (8 * (j - i));
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + uint32_t(file.size());
}

}  // namespace Zentu::Testing

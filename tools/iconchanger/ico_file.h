// Reading and validating .ico files.
#ifndef ZENTU_TOOLS_ICONCHANGER_ICO_FILE_H_
#define ZENTU_TOOLS_ICONCHANGER_ICO_FILE_H_

#include <cstdint>
#include <vector>

#include "byte_io.h"

namespace iconchanger {

// One image of an icon, with the directory fields that go into an icon group entry.
struct IconImage {
  uint8_t width = 0;  // 0 stands for 256.
  uint8_t height = 0;
  uint8_t color_count = 0;
  uint8_t reserved = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  bool is_png = false;
  Bytes data;  // The image exactly as stored in the .ico (a DIB or a whole PNG file).
};

// Reads the six fields an .ico directory entry and an icon group entry share, stored alike at
// the start of both: width, height, color count, reserved, planes, bit count.
template <typename Entry>
void LoadIconFormat(const uint8_t* stored, Entry& entry) {
  entry.width = stored[0];
  entry.height = stored[1];
  entry.color_count = stored[2];
  entry.reserved = stored[3];
  entry.planes = LoadU16(stored + 4);
  entry.bit_count = LoadU16(stored + 6);
}

struct IcoFile {
  std::vector<IconImage> images;
};

// Parses an .ico file. The directory and every image are checked: image ranges must lie inside
// the file and not overlap the directory or each other, DIB images must hold their header,
// color table, XOR and AND masks, PNG images must be a well-formed chunk sequence (IHDR first,
// IEND last, valid CRCs). A plane or bit count of 0 in the directory is filled in from the
// image header, because Windows picks an icon image by these group-entry fields.
// Throws Error on any violation.
IcoFile ParseIco(ByteSpan bytes);

// CRC-32 as used by PNG chunks.
uint32_t Crc32(ByteSpan data, uint32_t crc = 0);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_ICO_FILE_H_

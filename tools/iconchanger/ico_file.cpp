#include "ico_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>

namespace iconchanger {
namespace {

constexpr size_t kIcoHeaderSize = 6;
constexpr size_t kIcoEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

uint32_t LoadU32BE(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool IsPng(ByteSpan image) {
  return image.size() >= sizeof(kPngSignature) &&
         std::memcmp(image.data(), kPngSignature, sizeof(kPngSignature)) == 0;
}

// Walks the PNG chunks and returns the bits per pixel from IHDR.
uint16_t ValidatePng(ByteSpan png, size_t index) {
  const std::string where = "icon image " + std::to_string(index) + ": ";
  size_t pos = sizeof(kPngSignature);
  bool first = true;
  uint16_t bits = 0;
  while (true) {
    if (!InBounds(png.size(), pos, 8)) throw Error(where + "truncated PNG chunk");
    const uint32_t length = LoadU32BE(png.data() + pos);
    if (length > 0x7fffffffu || !InBounds(png.size(), pos + 8, uint64_t{length} + 4)) {
      throw Error(where + "PNG chunk exceeds the image");
    }
    const uint8_t* type = png.data() + pos + 4;
    const uint32_t stored_crc = LoadU32BE(png.data() + pos + 8 + length);
    if (Crc32(png.subspan(pos + 4, uint64_t{length} + 4)) != stored_crc) {
      throw Error(where + "PNG chunk CRC mismatch");
    }
    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) {
        throw Error(where + "PNG does not start with IHDR");
      }
      const uint8_t* ihdr = png.data() + pos + 8;
      if (LoadU32BE(ihdr) == 0 || LoadU32BE(ihdr + 4) == 0) {
        throw Error(where + "PNG has zero width or height");
      }
      const uint8_t depth = ihdr[8];
      const uint8_t color_type = ihdr[9];
      int channels = 0;
      switch (color_type) {
        case 0:
          channels = 1;
          break;  // Grayscale.
        case 2:
          channels = 3;
          break;  // RGB.
        case 3:
          channels = 1;
          break;  // Palette.
        case 4:
          channels = 2;
          break;  // Grayscale + alpha.
        case 6:
          channels = 4;
          break;  // RGBA.
        default:
          throw Error(where + "PNG has an invalid color type");
      }
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
        throw Error(where + "PNG has an invalid bit depth");
      }
      bits = static_cast<uint16_t>(depth * channels);
      first = false;
    }
    pos += 12 + uint64_t{length};
    if (std::memcmp(type, "IEND", 4) == 0) break;
  }
  if (pos != png.size()) throw Error(where + "bytes after the PNG IEND chunk");
  return bits;
}

// Checks that a DIB icon image holds everything its header announces; returns its bit count.
uint16_t ValidateDib(ByteSpan dib, size_t index) {
  const std::string where = "icon image " + std::to_string(index) + ": ";
  if (dib.size() < 40) throw Error(where + "too small for a bitmap header");
  const uint32_t header_size = LoadU32(dib.data());
  if (header_size < 40 || header_size > dib.size()) {
    throw Error(where + "invalid bitmap header size");
  }
  const int32_t width = static_cast<int32_t>(LoadU32(dib.data() + 4));
  const int32_t double_height = static_cast<int32_t>(LoadU32(dib.data() + 8));
  const uint16_t planes = LoadU16(dib.data() + 12);
  const uint16_t bit_count = LoadU16(dib.data() + 14);
  const uint32_t compression = LoadU32(dib.data() + 16);
  const uint32_t colors_used = LoadU32(dib.data() + 32);
  // Icon bitmaps store the XOR and AND masks stacked, so the height is twice the icon height.
  if (width <= 0 || width > 4096 || double_height <= 0 || double_height > 8192 ||
      double_height % 2 != 0) {
    throw Error(where + "invalid bitmap dimensions");
  }
  if (planes != 1) throw Error(where + "bitmap plane count is not 1");
  if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 &&
      bit_count != 32) {
    throw Error(where + "invalid bitmap bit count");
  }
  if (compression != 0) throw Error(where + "compressed bitmaps are not valid in icons");
  uint64_t palette = 0;
  if (colors_used != 0) {
    if (bit_count <= 8 && colors_used > (1u << bit_count)) {
      throw Error(where + "bitmap color table larger than the bit count allows");
    }
    if (colors_used > 65536) throw Error(where + "bitmap color table too large");
    palette = colors_used;
  } else if (bit_count <= 8) {
    palette = uint64_t{1} << bit_count;
  }
  const uint64_t height = static_cast<uint64_t>(double_height) / 2;
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t xor_row = (w * bit_count + 31) / 32 * 4;
  const uint64_t and_row = (w + 31) / 32 * 4;
  const uint64_t needed = header_size + palette * 4 + (xor_row + and_row) * height;
  if (needed > dib.size()) throw Error(where + "bitmap data shorter than its header announces");
  return bit_count;
}

}  // namespace

uint32_t Crc32(ByteSpan data, uint32_t crc) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (uint8_t b : data) crc = table[(crc ^ b) & 0xff] ^ (crc >> 8);
  return ~crc;
}

IcoFile ParseIco(ByteSpan bytes) {
  if (bytes.size() < kIcoHeaderSize) throw Error("icon file too small for an icon header");
  const uint16_t reserved = LoadU16(bytes.data());
  const uint16_t type = LoadU16(bytes.data() + 2);
  const uint16_t count = LoadU16(bytes.data() + 4);
  if (reserved != 0 || (type != 1 && type != 2)) throw Error("not an icon file");
  if (type == 2) throw Error("a cursor file is not an icon file");
  if (count == 0) throw Error("icon file has no images");
  const uint64_t directory_end = kIcoHeaderSize + uint64_t{count} * kIcoEntrySize;
  if (directory_end > bytes.size()) throw Error("icon directory is truncated");

  IcoFile ico;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;  // [offset, end) of each image.
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes.data() + kIcoHeaderSize + i * kIcoEntrySize;
    IconImage image;
    LoadIconFormat(entry, image);
    const uint32_t size = LoadU32(entry + 8);
    const uint32_t offset = LoadU32(entry + 12);
    const std::string where = "icon image " + std::to_string(i) + ": ";
    if (size == 0) throw Error(where + "empty image");
    if (offset < directory_end) throw Error(where + "image overlaps the icon directory");
    if (!InBounds(bytes.size(), offset, size)) throw Error(where + "image extends past the file");
    ranges.emplace_back(offset, uint64_t{offset} + size);
    const ByteSpan data = bytes.subspan(offset, size);
    uint16_t bits = 0;
    if (IsPng(data)) {
      image.is_png = true;
      bits = ValidatePng(data, i);
    } else {
      bits = ValidateDib(data, i);
    }
    if (image.planes == 0) image.planes = 1;
    if (image.bit_count == 0) image.bit_count = bits;
    image.data.assign(data.begin(), data.end());
    ico.images.push_back(std::move(image));
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].first < ranges[i - 1].second) throw Error("icon images overlap each other");
  }
  return ico;
}

}  // namespace iconchanger

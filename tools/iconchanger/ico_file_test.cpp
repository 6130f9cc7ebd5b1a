#include "ico_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "test_support.h"

namespace iconchanger {
namespace {

using testing::DibIcon;
using testing::PngIcon;
using testing::WriteIco;

TEST(Crc32Test, MatchesThePublishedCheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32(ByteSpan(reinterpret_cast<const uint8_t*>(check.data()), check.size())),
            0xcbf43926u);
}

TEST(ParseIcoTest, ReadsBitmapAndPngImagesWithTheirDirectoryFields) {
  const std::vector<IconImage> images = {DibIcon(16, 4, 1), DibIcon(32, 32, 2), PngIcon(48, 3),
                                         DibIcon(24, 1, 4)};
  const IcoFile ico = ParseIco(WriteIco(images));
  ASSERT_EQ(ico.images.size(), images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ico.images[i].data, images[i].data);
    EXPECT_EQ(ico.images[i].is_png, images[i].is_png);
    EXPECT_EQ(ico.images[i].width, images[i].width);
    EXPECT_EQ(ico.images[i].color_count, images[i].color_count);
    EXPECT_EQ(ico.images[i].bit_count, images[i].bit_count);
  }
}

TEST(ParseIcoTest, FillsMissingPlaneAndBitCountsFromTheImages) {
  IconImage png = PngIcon(0, 5);  // A 256x256 image is written with width 0.
  png.data = testing::MakePngImage(256, 256, 5);
  IconImage dib = DibIcon(16, 8, 6);
  png.planes = png.bit_count = dib.planes = dib.bit_count = 0;
  const IcoFile ico = ParseIco(WriteIco({png, dib}));
  EXPECT_EQ(ico.images[0].planes, 1);
  EXPECT_EQ(ico.images[0].bit_count, 32);  // 8-bit RGBA.
  EXPECT_EQ(ico.images[1].planes, 1);
  EXPECT_EQ(ico.images[1].bit_count, 8);
}

// Each case breaks a valid two-image file (DIB first, PNG second) in one way.
TEST(ParseIcoTest, RejectsBrokenFiles) {
  const IconImage dib = DibIcon(16, 4, 1), png = PngIcon(16, 2);
  const Bytes valid = WriteIco({dib, png});
  const size_t dib_at = 6 + 2 * 16, png_at = dib_at + dib.data.size();
  ASSERT_NO_THROW(ParseIco(valid));
  const std::vector<std::pair<std::string, std::function<void(Bytes&)>>> cases = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"header only", [](Bytes& b) { b.resize(6); }},
      {"bad reserved", [](Bytes& b) { b[0] = 1; }},
      {"cursor", [](Bytes& b) { b[2] = 2; }},
      {"bad type", [](Bytes& b) { b[2] = 7; }},
      {"no images", [](Bytes& b) { b[4] = 0; }},
      {"directory truncated", [](Bytes& b) { b[4] = 200; }},
      {"zero size", [](Bytes& b) { StoreU32(&b[6 + 8], 0); }},
      {"offset into directory", [](Bytes& b) { StoreU32(&b[6 + 12], 6); }},
      {"image past end", [&](Bytes& b) { b.resize(b.size() - 1); }},
      {"offset past end", [](Bytes& b) { StoreU32(&b[6 + 12], 0xfffffff0u); }},
      {"overlapping images",
       [&](Bytes& b) { StoreU32(&b[6 + 16 + 12], static_cast<uint32_t>(dib_at + 4)); }},
      {"dib header size", [&](Bytes& b) { StoreU32(&b[dib_at], 12); }},
      {"dib zero width", [&](Bytes& b) { StoreU32(&b[dib_at + 4], 0); }},
      {"dib odd height", [&](Bytes& b) { StoreU32(&b[dib_at + 8], 31); }},
      {"dib planes", [&](Bytes& b) { StoreU16(&b[dib_at + 12], 2); }},
      {"dib bit count", [&](Bytes& b) { StoreU16(&b[dib_at + 14], 3); }},
      {"dib compressed", [&](Bytes& b) { StoreU32(&b[dib_at + 16], 2); }},
      {"dib palette too big", [&](Bytes& b) { StoreU32(&b[dib_at + 32], 17); }},
      {"dib masks truncated", [&](Bytes& b) { StoreU32(&b[dib_at + 4], 64); }},
      {"png crc", [&](Bytes& b) { b[png_at + 8 + 8] ^= 1; }},
      {"png first chunk not IHDR",
       [&](Bytes& b) {
         std::copy_n("tEXt", 4, &b[png_at + 12]);
         const uint32_t crc = Crc32(ByteSpan(&b[png_at + 12], 4 + 13));
         for (int i = 0; i < 4; ++i) b[png_at + 29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
       }},
      {"png truncated",
       [&](Bytes& b) { StoreU32(&b[6 + 16 + 8], static_cast<uint32_t>(png.data.size() - 4)); }},
      {"png trailing bytes",
       [&](Bytes& b) {
         b.push_back(0);
         StoreU32(&b[6 + 16 + 8], static_cast<uint32_t>(png.data.size() + 1));
       }},
  };
  for (const auto& [name, corrupt] : cases) {
    Bytes broken = valid;
    corrupt(broken);
    EXPECT_THROW(ParseIco(broken), Error) << name;
  }
}

}  // namespace
}  // namespace iconchanger

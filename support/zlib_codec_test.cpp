#include "support/zlib_codec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace Vadu {
namespace {

// Varied bytes that compress a little, long enough to need several output buffers.
String SampleBytes(uint32_t size) {
  String bytes;
  bytes.Resize(size);
  char* out = bytes.MutableData();
  uint32_t state = 12345;
  for (uint32_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = static_cast<char>((state >> 16) % 40 + (i % 7 == 0 ? 0 : 'a'));
  }
  return bytes;
}

// zlib's own one-shot calls, as an independent reference.
String ReferenceCompress(const String& raw, int level = 6) {
  uLongf size = compressBound(raw.Length());
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.CStr()), raw.Length(), level),
            Z_OK);
  return String(out.data(), static_cast<uint32_t>(size));
}

std::string ReferenceUncompress(const String& stream, size_t expectedSize) {
  std::string out(expectedSize + 1, '\0');
  uLongf size = out.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(stream.CStr()), stream.Length()),
            Z_OK);
  out.resize(size);
  return out;
}

TEST(ZlibCodec, RoundTripsAcrossOutputBufferBoundaries) {
  for (uint32_t size : {0u, 1u, 16384u, 16385u, 200000u}) {
    String raw = SampleBytes(size);
    String stream = Deflate(raw);
    ASSERT_FALSE(stream.IsEmpty()) << size;
    EXPECT_EQ(Inflate(stream), raw) << size;
  }
  // Incompressible data produces more than one output buffer on the deflate side too.
  String noise;
  noise.Resize(70000);
  uint32_t x = 2463534242u;
  for (uint32_t i = 0; i < noise.Length(); ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    noise.MutableData()[i] = static_cast<char>(x);
  }
  String stream = Deflate(noise);
  EXPECT_GT(stream.Length(), 16384u);
  EXPECT_EQ(Inflate(stream), noise);
}

TEST(ZlibCodec, InteroperatesWithZlibsOneShotCalls) {
  String raw = SampleBytes(50000);
  String stream = Deflate(raw);
  // A standard RFC 1950 header for the default window and level 6.
  ASSERT_GE(stream.Length(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(stream[0]), 0x78);
  EXPECT_EQ(static_cast<unsigned char>(stream[1]), 0x9C);
  EXPECT_EQ(ReferenceUncompress(stream, raw.Length()), std::string(raw.ToView()));
  for (int level : {1, 6, 9}) EXPECT_EQ(Inflate(ReferenceCompress(raw, level)), raw) << level;
}

TEST(ZlibCodec, AFlushBetweenPiecesChangesTheBytesNotTheData) {
  const String raw = SampleBytes(50000);
  Deflater whole, flushed;
  ASSERT_TRUE(whole.Add(raw.CStr(), raw.Length()));
  ASSERT_TRUE(flushed.Add(raw.CStr(), 20000));
  ASSERT_TRUE(flushed.Flush());
  ASSERT_TRUE(flushed.Add(raw.CStr() + 20000, raw.Length() - 20000));
  const String one = whole.Finish(), two = flushed.Finish();
  EXPECT_EQ(one, Deflate(raw));
  EXPECT_NE(one, two);
  EXPECT_EQ(ReferenceUncompress(two, raw.Length()), std::string(raw.ToView()));
}

TEST(ZlibCodec, CorruptOrTruncatedStreamsGiveNothing) {
  String raw = SampleBytes(3000);
  String stream = ReferenceCompress(raw);
  EXPECT_FALSE(TryInflate(String()).has_value());
  // Every proper prefix is a stream cut short, the empty prefix included.
  for (uint32_t n = 0; n < stream.Length(); ++n)
    EXPECT_FALSE(TryInflate(stream.Substring(0, n)).has_value()) << n;
  // A wrong checksum, a wrong header.
  for (uint32_t at : {stream.Length() - 1, 0u}) {
    String spoilt = stream;
    spoilt.MutableData()[at] ^= 1;
    EXPECT_FALSE(TryInflate(spoilt).has_value()) << at;
    EXPECT_TRUE(Inflate(spoilt).IsEmpty()) << at;
  }
  // Bytes after the end of the stream are not part of it.
  EXPECT_EQ(Inflate(stream + String("trailing")), raw);
}

TEST(ZlibCodec, StreamNeedingAPresetDictionaryIsRejected) {
  z_stream s{};
  ASSERT_EQ(deflateInit(&s, 6), Z_OK);
  const char dictionary[] = "resource dictionary";
  ASSERT_EQ(
      deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary - 1),
      Z_OK);
  std::string input = "resource dictionary resource dictionary";
  std::string out(256, '\0');
  s.next_in = reinterpret_cast<Bytef*>(input.data());
  s.avail_in = static_cast<uInt>(input.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  ASSERT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  String stream(out.data(), static_cast<uint32_t>(s.total_out));
  deflateEnd(&s);
  EXPECT_FALSE(TryInflate(stream).has_value());
}

TEST(ZlibCodec, InflationStopsAtTheLimit) {
  // A compression bomb in miniature: 4 MiB of zeros in a few kilobytes.
  const uint32_t size = 4u << 20;
  String zeros;
  zeros.Resize(size);
  String bomb = ReferenceCompress(zeros);
  ASSERT_LT(bomb.Length(), 8192u);
  EXPECT_EQ(TryInflate(bomb, size).value_or(String()).Length(), size);
  EXPECT_FALSE(TryInflate(bomb, size - 1).has_value());
  EXPECT_TRUE(Inflate(bomb, 1000).IsEmpty());
  // The default limit is far above this.
  EXPECT_EQ(Inflate(bomb).Length(), size);
}

}  // namespace
}  // namespace Vadu

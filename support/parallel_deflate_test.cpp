#include "support/parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;

constexpr uint32_t kPiece = ParallelDeflater::kPieceSize;

// Text that compresses, with matches that reach back across piece boundaries, and noise.
std::string MixedInput(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  static const char* const words[] = {"camera ", "stream ",   "<entry name=\"", "\"/>\n",
                                      "rtsp://", "Entrance ", "Parking ",       "recorder "};
  std::string bytes;
  while (bytes.size() < size) {
    if (random() % 16 == 0)
      for (int i = 0; i < 64; ++i) bytes += static_cast<char>(random());
    else
      bytes += words[random() % 8];
  }
  bytes.resize(size);
  return bytes;
}

String CompressInParallel(const std::string& input, unsigned threads, size_t step) {
  ParallelDeflater deflater(kDefaultCompressionLevel, threads);
  for (size_t at = 0; at < input.size(); at += step)
    EXPECT_TRUE(deflater.Add(input.data() + at, uint32_t(std::min(step, input.size() - at))));
  return deflater.Finish();
}

// Plain zlib, knowing nothing of pieces.
std::string PlainInflate(const std::string& stream, size_t size) {
  std::string out(size + 1, '\0');
  uLongf length = uLongf(out.size());
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                       reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size())),
            Z_OK);
  out.resize(length);
  return out;
}

std::string OneStream(const std::string& input) {
  uLongf size = compressBound(uLong(input.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(input.data()), uLong(input.size()), 6),
            Z_OK);
  out.resize(size);
  return out;
}

TEST(ParallelDeflate, PlainInflateReadsEveryPieceCount) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{kPiece - 1}, size_t{kPiece}, size_t{kPiece + 1},
                      size_t{5 * kPiece + 12345}}) {
    SCOPED_TRACE(size);
    const std::string input = MixedInput(size, unsigned(size));
    const std::string stream = Std(CompressInParallel(input, 2, 100000));
    ASSERT_GE(stream.size(), 6u);
    EXPECT_TRUE(PlainInflate(stream, size) == input);
    // The header and checksum of an ordinary level-6 stream.
    EXPECT_EQ(stream.substr(0, 2), OneStream(input).substr(0, 2));
    EXPECT_EQ(stream.substr(stream.size() - 4),
              OneStream(input).substr(OneStream(input).size() - 4));
  }
}

TEST(ParallelDeflate, TheStreamDoesNotDependOnThreadsOrHowTheInputArrives) {
  const std::string input = MixedInput(4 * kPiece + 777, 7);
  const std::string reference = Std(CompressInParallel(input, 1, input.size()));
  EXPECT_EQ(Std(CompressInParallel(input, 4, 4099)), reference);
  EXPECT_EQ(Std(CompressInParallel(input, 2, kPiece)), reference);
  // Less than a piece: exactly what one zlib stream gives.
  const std::string small = MixedInput(kPiece / 2, 8);
  EXPECT_EQ(Std(CompressInParallel(small, 2, 1000)), OneStream(small));
}

TEST(ParallelDeflate, PiecesPrimedWithTheirWindowCompressAsWellAsOneStream) {
  // One stretch of noise over and over: one stream stores it once, a piece that started cold would
  // store it again.
  const std::string stretch = [] {
    std::mt19937 random(11);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    return noise;
  }();
  std::string input;
  while (input.size() < 6 * kPiece) input += stretch;
  const size_t parallel = CompressInParallel(input, 2, kPiece).Length();
  const size_t single = OneStream(input).size();
  EXPECT_LE(parallel, single + single / 20) << single;
}

TEST(ParallelDeflate, RawDeflateToASinkCarriesTheCrcOfAGzipMember) {
  for (size_t size : {size_t{0}, size_t{5000}, size_t{3 * kPiece + 99}}) {
    SCOPED_TRACE(size);
    const std::string input = MixedInput(size, 5);
    std::string stream;
    ParallelDeflater deflater(ParallelDeflater::Format::kRawDeflate,
                              [&stream](const char* data, uint32_t count) {
                                stream.append(data, count);
                                return true;
                              });
    for (size_t at = 0; at < input.size(); at += 70000)
      ASSERT_TRUE(deflater.Add(input.data() + at, uint32_t(std::min<size_t>(70000, size - at))));
    ASSERT_TRUE(deflater.End());
    EXPECT_EQ(deflater.Crc32(),
              crc32(0, reinterpret_cast<const Bytef*>(input.data()), uInt(input.size())));
    EXPECT_EQ(deflater.InputLength(), size);
    // Plain raw inflate reads it to the end of the stream.
    z_stream inflater{};
    ASSERT_EQ(inflateInit2(&inflater, -15), Z_OK);
    std::string out(size + 1, '\0');
    inflater.next_in = reinterpret_cast<Bytef*>(stream.data());
    inflater.avail_in = uInt(stream.size());
    inflater.next_out = reinterpret_cast<Bytef*>(out.data());
    inflater.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&inflater, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - inflater.avail_out);
    inflateEnd(&inflater);
    EXPECT_TRUE(out == input);
  }
  // A sink that stops the stream fails it.
  ParallelDeflater refused(ParallelDeflater::Format::kRawDeflate,
                           [](const char*, uint32_t) { return false; });
  const std::string input = MixedInput(2 * kPiece, 6);
  refused.Add(input.data(), uint32_t(input.size()));
  EXPECT_FALSE(refused.End());
}

}  // namespace
}  // namespace Vadu

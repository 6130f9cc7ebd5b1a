// zlib compression and decompression (RFC 1950 streams with the default window): of whole byte
// strings, and piece by piece, so that neither side needs a second copy of the data.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "support/string_base.h"

struct z_stream_s;  // zlib's stream state

namespace Vadu {

// Compression level of the resource payloads.
constexpr int kDefaultCompressionLevel = 6;

// Most raw bytes one stream may inflate to (1 GiB). A stream that would inflate past it is treated
// as corrupt, so a small crafted payload cannot exhaust memory.
constexpr uint64_t kMaxInflatedSize = uint64_t{1} << 30;

// The zlib stream of `bytes`; empty on failure (a valid stream is never empty), including a
// result too long for a string.
String Deflate(const String& bytes, int level = kDefaultCompressionLevel);

// A zlib stream made of pieces handed over one after another; the stream grows in one buffer.
class Deflater {
 public:
  explicit Deflater(int level = kDefaultCompressionLevel);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses the next piece. False once anything has failed (then Finish gives nothing).
  bool Add(const char* data, uint32_t count);
  // Ends the deflate block here and aligns the output to a byte (a sync flush): the stream reads
  // the same, its bytes from here on differ.
  bool Flush();
  // Ends the stream and hands it over; empty on failure.
  String Finish();

 private:
  bool Run(const char* data, uint32_t count, int flush);

  std::unique_ptr<::z_stream_s> stream_;
  String out_;
  bool ok_ = false;
  bool started_ = false;
};

// Receives the output of InflateInto piece by piece; returning false stops the inflation.
using InflateSink = std::function<bool(const char* data, uint32_t count)>;

// Inflates the zlib stream at the start of `bytes`, handing each piece of output to `sink` as it
// is produced. False when the stream is malformed or cut short, would inflate to more than
// `limit` bytes, or the sink stops it.
bool InflateInto(const String& bytes, uint64_t limit, const InflateSink& sink);

// The data of the zlib stream at the start of `bytes` (bytes after the stream's end are ignored).
// Nothing when the stream is malformed, cut short, or would inflate to more than `limit` bytes or
// more than a string can hold.
std::optional<String> TryInflate(const String& bytes, uint64_t limit = kMaxInflatedSize);

// TryInflate with an empty result for every failure.
String Inflate(const String& bytes, uint64_t limit = kMaxInflatedSize);

}  // namespace Vadu

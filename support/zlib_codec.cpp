#include "support/zlib_codec.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <vector>

namespace Vadu {
namespace {

constexpr uInt kPieceSize = 64 * 1024;
// Longest string the string class can hold.
constexpr uint64_t kMaxStringLength = String::npos - 1;

Bytef* InputOf(const String& bytes) {
  return reinterpret_cast<Bytef*>(const_cast<char*>(bytes.CStr()));
}

// Ends a stream on every way out, exceptions included.
template <int (*End)(z_streamp)>
class StreamGuard {
 public:
  explicit StreamGuard(z_stream& stream) : stream_(stream) {}
  ~StreamGuard() { End(&stream_); }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

 private:
  z_stream& stream_;
};

}  // namespace

Deflater::Deflater(int level) : stream_(new z_stream{}) {
  ok_ = deflateInit(stream_.get(), level) == Z_OK;
  started_ = ok_;
}

Deflater::~Deflater() {
  if (started_) deflateEnd(stream_.get());
}

bool Deflater::Run(const char* data, uint32_t count, int flush) {
  if (!ok_) return false;
  try {
    stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_->avail_in = count;
    char buffer[kPieceSize];
    int rc;
    do {
      stream_->next_out = reinterpret_cast<Bytef*>(buffer);
      stream_->avail_out = kPieceSize;
      rc = deflate(stream_.get(), flush);
      const uint32_t produced = kPieceSize - stream_->avail_out;
      if ((rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) ||
          produced > kMaxStringLength - out_.Length()) {
        ok_ = false;
        return false;
      }
      // The output grows in its own block, in place where it can: one copy of the stream.
      out_.Append(buffer, produced);
    } while (flush == Z_FINISH ? rc != Z_STREAM_END : stream_->avail_out == 0);
    return true;
  } catch (const std::bad_alloc&) {
    ok_ = false;
    return false;
  }
}

bool Deflater::Add(const char* data, uint32_t count) {
  return count == 0 ? ok_ : Run(data, count, Z_NO_FLUSH);
}

bool Deflater::Flush() { return Run(nullptr, 0, Z_SYNC_FLUSH); }

String Deflater::Finish() {
  if (!Run(nullptr, 0, Z_FINISH)) return String();
  ok_ = false;  // the stream is complete: nothing more can be added
  return std::move(out_);
}

String Deflate(const String& bytes, int level) {
  Deflater deflater(level);
  deflater.Add(bytes.CStr(), bytes.Length());
  return deflater.Finish();
}

bool InflateInto(const String& bytes, uint64_t limit, const InflateSink& sink) try {
  z_stream stream{};
  stream.next_in = InputOf(bytes);
  stream.avail_in = bytes.Length();
  if (inflateInit(&stream) != Z_OK) return false;
  StreamGuard<inflateEnd> guard(stream);
  uint64_t total = 0;
  char buffer[kPieceSize];
  int rc;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    // Each round has a fresh output buffer, so Z_BUF_ERROR means the input ran out before the
    // end of the stream: a truncated stream.
    rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) return false;
    const uint32_t produced = kPieceSize - stream.avail_out;
    if (produced > limit - total) return false;
    total += produced;
    if (produced && !sink(buffer, produced)) return false;
  } while (rc != Z_STREAM_END);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

std::optional<String> TryInflate(const String& bytes, uint64_t limit) try {
  if (limit > kMaxStringLength) limit = kMaxStringLength;
  // One block that grows in place as the output arrives: no second copy to join pieces.
  String out;
  if (!InflateInto(bytes, limit, [&out](const char* data, uint32_t count) {
        out.Append(data, count);
        return true;
      }))
    return std::nullopt;
  return out;
} catch (const std::bad_alloc&) {
  return std::nullopt;
}

String Inflate(const String& bytes, uint64_t limit) {
  std::optional<String> data = TryInflate(bytes, limit);
  return data ? std::move(*data) : String();
}

}  // namespace Vadu

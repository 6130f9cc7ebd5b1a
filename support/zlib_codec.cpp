#include "support/zlib_codec.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <vector>

namespace Vadu {
namespace {

constexpr uInt kPieceSize = 16 * 1024;
// Longest string the string class can hold.
constexpr uint64_t kMaxStringLength = String::npos - 1;

// Output collected piece by piece, joined once at the end.
class Pieces {
 public:
  // False when the total would pass `limit`.
  bool Add(const char* data, uint32_t count, uint64_t limit) {
    if (count > limit - total_) return false;
    if (count) pieces_.emplace_back(data, count);
    total_ += count;
    return true;
  }

  String Join() const {
    String joined;
    if (total_ == 0) return joined;
    joined.Resize(static_cast<uint32_t>(total_));
    char* out = joined.MutableData();
    for (const String& piece : pieces_) {
      std::memcpy(out, piece.Data(), piece.Length());
      out += piece.Length();
    }
    return joined;
  }

 private:
  std::vector<String> pieces_;
  uint64_t total_ = 0;
};

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

String Deflate(const String& bytes, int level) try {
  z_stream stream{};
  if (deflateInit(&stream, level) != Z_OK) return String();
  StreamGuard<deflateEnd> guard(stream);
  stream.next_in = InputOf(bytes);
  stream.avail_in = bytes.Length();
  Pieces pieces;
  char buffer[kPieceSize];
  int rc;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    rc = deflate(&stream, Z_FINISH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    if (!pieces.Add(buffer, kPieceSize - stream.avail_out, kMaxStringLength)) {
      rc = Z_MEM_ERROR;
      break;
    }
  } while (rc != Z_STREAM_END);
  return rc == Z_STREAM_END ? pieces.Join() : String();
} catch (const std::bad_alloc&) {
  return String();
}

std::optional<String> TryInflate(const String& bytes, uint64_t limit) try {
  if (limit > kMaxStringLength) limit = kMaxStringLength;
  z_stream stream{};
  stream.next_in = InputOf(bytes);
  stream.avail_in = bytes.Length();
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  StreamGuard<inflateEnd> guard(stream);
  Pieces pieces;
  char buffer[kPieceSize];
  int rc;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kPieceSize;
    // Each round has a fresh output buffer, so Z_BUF_ERROR means the input ran out before the
    // end of the stream: a truncated stream.
    rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    if (!pieces.Add(buffer, kPieceSize - stream.avail_out, limit)) {
      rc = Z_MEM_ERROR;
      break;
    }
  } while (rc != Z_STREAM_END);
  if (rc != Z_STREAM_END) return std::nullopt;
  return pieces.Join();
} catch (const std::bad_alloc&) {
  return std::nullopt;
}

String Inflate(const String& bytes, uint64_t limit) {
  std::optional<String> data = TryInflate(bytes, limit);
  return data ? std::move(*data) : String();
}

}  // namespace Vadu

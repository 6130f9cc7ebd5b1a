// A zlib stream (RFC 1950) compressed on every core. The input is cut into pieces that are
// deflated independently, each primed with the 32 KiB that precede it so that the ratio stays
// close to one stream's; every piece but the last ends on a byte boundary (a sync flush), the last
// one finishes the stream, and the piece checksums are joined into the one Adler-32 of the whole.
// The result is an ordinary zlib stream that plain inflate reads.
#pragma once

#include <cstdint>
#include <deque>
#include <future>
#include <string>

#include "support/string_base.h"
#include "support/zlib_codec.h"

namespace Vadu {

class ParallelDeflater {
 public:
  // `threads` pieces are compressed at once; 0 means one per core.
  explicit ParallelDeflater(int level = kDefaultCompressionLevel, unsigned threads = 0);
  ~ParallelDeflater();
  ParallelDeflater(const ParallelDeflater&) = delete;
  ParallelDeflater& operator=(const ParallelDeflater&) = delete;

  // Takes the next bytes of the input. False once anything has failed (then Finish gives nothing).
  bool Add(const char* data, uint32_t count);
  // Ends the stream and hands it over; empty on failure (memory, or a stream longer than a string
  // can hold).
  String Finish();

  // How much input each piece takes.
  static constexpr uint32_t kPieceSize = 1u << 20;

 private:
  struct Piece {
    std::string deflated;
    uint32_t adler = 1;
    uint32_t length = 0;
    bool ok = false;
  };

  void StartPiece(bool last);
  // Appends the oldest piece in flight to the output.
  void CollectOne();

  int level_;
  unsigned threads_;
  std::string input_, window_;
  std::deque<std::future<Piece>> inFlight_;
  String out_;
  uint32_t adler_ = 1;
  bool ok_ = true;
};

}  // namespace Vadu

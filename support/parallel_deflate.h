// A deflate stream compressed on every core: a zlib stream (RFC 1950), or raw deflate (RFC 1951)
// with the CRC-32 of the input for a gzip member. The input is cut into pieces that are deflated
// independently, each primed with the 32 KiB that precede it so that the ratio stays close to one
// stream's; every piece but the last ends on a byte boundary (a sync flush), the last one finishes
// the stream, and the piece checksums are joined into the one checksum of the whole. The result is
// an ordinary stream that plain inflate reads, the same bytes whatever the number of threads. The
// output is collected in memory, or handed to a sink in order as pieces are done, so that a
// stream of any length needs only the pieces in flight.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <string>

#include "support/string_base.h"
#include "support/zlib_codec.h"

namespace Vadu {

class ParallelDeflater {
 public:
  enum class Format {
    kZlib,        // header, deflate data and Adler-32
    kRawDeflate,  // the deflate data alone; Crc32() gives the checksum a gzip trailer holds
  };
  // Receives the output in order; returning false stops the compression.
  using Sink = std::function<bool(const char* data, uint32_t count)>;

  // `threads` pieces are compressed at once; 0 means one per core. The output is collected and
  // handed over by Finish.
  explicit ParallelDeflater(int level = kDefaultCompressionLevel, unsigned threads = 0);
  // The output goes to `sink`.
  ParallelDeflater(Format format, Sink sink, int level = kDefaultCompressionLevel,
                   unsigned threads = 0);
  ~ParallelDeflater();
  ParallelDeflater(const ParallelDeflater&) = delete;
  ParallelDeflater& operator=(const ParallelDeflater&) = delete;

  // Raw deflate only, before the first Add: the stream continues one that stopped at a block
  // boundary, whose last `bits` bits (0 to 7, the low bits of `value`) are still to be written
  // and whose last 32 KiB of input were `window`: the first block starts after those bits, and
  // back-references may reach into the window.
  void ContinueAfter(std::string window, int bits, int value);

  // Takes the next bytes of the input. False once anything has failed (then Finish gives nothing).
  bool Add(const char* data, uint32_t count);
  // Ends the stream; false on failure (memory, a sink that stopped it, or a collected stream
  // longer than a string can hold). Raw deflate may end without a last block (`final` false):
  // the output then ends on a byte boundary, and a stream's further blocks may follow it.
  bool End(bool final = true);
  // Ends the stream and hands over the collected output; empty on failure.
  String Finish();

  // After End: the CRC-32 and the length of the whole input.
  uint32_t Crc32() const { return crc_; }
  uint64_t InputLength() const { return inputLength_; }

  // How much input each piece takes.
  static constexpr uint32_t kPieceSize = 1u << 20;

 private:
  struct Piece {
    std::string deflated;
    uint32_t check = 0;  // Adler-32 or CRC-32 of the piece's input, as the format needs
    uint32_t length = 0;
    bool ok = false;
  };

  void StartPiece(bool last, bool final = true);
  // Hands the oldest piece in flight to the output.
  void CollectOne();
  bool Emit(const char* data, uint32_t count);

  Format format_;
  Sink sink_;
  int level_;
  unsigned threads_;
  std::string input_, window_;
  std::deque<std::future<Piece>> inFlight_;
  String out_;
  uint32_t adler_ = 1, crc_ = 0;
  uint64_t inputLength_ = 0;
  bool started_ = false;
  int primeBits_ = 0, primeValue_ = 0;  // for the first piece
  bool ok_ = true;
};

}  // namespace Vadu

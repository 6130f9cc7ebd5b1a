#include "support/parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <thread>

namespace Vadu {
namespace {

// The window deflate looks back over: each piece is primed with this much of the input before it.
constexpr uint32_t kWindow = 32 * 1024;
constexpr uint32_t kOutputStep = 64 * 1024;

// The two-byte zlib header deflate writes for `level` with the default window and strategy.
std::string ZlibHeader(int level) {
  if (level < 0) level = 6;  // the default level
  const int flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned cmf = 0x78;
  unsigned flg = static_cast<unsigned>(flevel) << 6;
  flg += 31 - (cmf * 256 + flg) % 31;
  return {static_cast<char>(cmf), static_cast<char>(flg)};
}

}  // namespace

ParallelDeflater::ParallelDeflater(int level, unsigned threads)
    : ParallelDeflater(Format::kZlib, nullptr, level, threads) {}

ParallelDeflater::ParallelDeflater(Format format, Sink sink, int level, unsigned threads)
    : format_(format),
      sink_(std::move(sink)),
      level_(level),
      threads_(threads ? threads : std::max(1u, std::thread::hardware_concurrency())) {}

ParallelDeflater::~ParallelDeflater() {
  // Pieces still running end before the buffers they use go.
  for (std::future<Piece>& piece : inFlight_) piece.wait();
}

bool ParallelDeflater::Emit(const char* data, uint32_t count) {
  if (sink_) return sink_(data, count);
  if (count >= String::npos - 1 - out_.Length()) return false;
  out_.Append(data, count);
  return true;
}

void ParallelDeflater::ContinueAfter(std::string window, int bits, int value) {
  if (window.size() > kWindow) window.erase(0, window.size() - kWindow);
  window_ = std::move(window);
  primeBits_ = bits;
  primeValue_ = value & ((1 << bits) - 1);
}

bool ParallelDeflater::Add(const char* data, uint32_t count) try {
  if (ok_ && !started_) {
    started_ = true;
    if (format_ == Format::kZlib) ok_ = Emit(ZlibHeader(level_).data(), 2);
  }
  while (ok_ && count > 0) {
    const uint32_t take =
        std::min<uint32_t>(count, kPieceSize - static_cast<uint32_t>(input_.size()));
    input_.append(data, take);
    data += take, count -= take;
    if (input_.size() == kPieceSize) StartPiece(/*last=*/false);
  }
  return ok_;
} catch (const std::exception&) {  // no memory, or no thread to be had
  return ok_ = false;
}

void ParallelDeflater::StartPiece(bool last, bool final) {
  // Each piece deflates its own copy of its input after the window before it, raw (no header or
  // checksum of its own); the first one after the bits of a stream it continues.
  const int flush = last && final ? Z_FINISH : Z_SYNC_FLUSH;
  auto job = [level = level_, flush, crc = format_ == Format::kRawDeflate,
              prime = std::pair(primeBits_, primeValue_)](std::string input, std::string window) {
    Piece piece;
    const auto* bytes = reinterpret_cast<const Bytef*>(input.data());
    const auto size = static_cast<uInt>(input.size());
    piece.check = static_cast<uint32_t>(crc ? crc32(0, bytes, size) : adler32(1, bytes, size));
    piece.length = static_cast<uint32_t>(input.size());
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return piece;
    bool ok = window.empty() ||
              deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(window.data()),
                                   static_cast<uInt>(window.size())) == Z_OK;
    if (ok && prime.first) ok = deflatePrime(&stream, prime.first, prime.second) == Z_OK;
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = size;
    int rc = Z_OK;
    while (ok) {
      const size_t used = piece.deflated.size();
      piece.deflated.resize(used + kOutputStep);
      stream.next_out = reinterpret_cast<Bytef*>(piece.deflated.data() + used);
      stream.avail_out = kOutputStep;
      rc = deflate(&stream, flush);
      piece.deflated.resize(used + kOutputStep - stream.avail_out);
      ok = rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR;
      // Done when the stream finished, or, for a sync flush, when the output had room to spare.
      if (flush == Z_FINISH ? rc == Z_STREAM_END : stream.avail_out != 0) break;
    }
    deflateEnd(&stream);
    piece.ok = ok;
    return piece;
  };
  // The next piece's window: the last 32 KiB of the input so far.
  std::string window = window_;
  if (input_.size() >= kWindow) {
    window_.assign(input_, input_.size() - kWindow, kWindow);
  } else {
    window_ += input_;
    if (window_.size() > kWindow) window_.erase(0, window_.size() - kWindow);
  }
  // At most `threads_` pieces run at once: the oldest is collected before another starts. A last
  // piece with none before it in flight runs on this thread, which would only wait otherwise: a
  // stream of one piece starts no thread at all.
  while (inFlight_.size() >= threads_) CollectOne();
  const auto policy = last && inFlight_.empty() ? std::launch::deferred : std::launch::async;
  inFlight_.push_back(std::async(policy, job, std::move(input_), std::move(window)));
  input_.clear();
  primeBits_ = primeValue_ = 0;
}

void ParallelDeflater::CollectOne() {
  Piece piece = inFlight_.front().get();
  inFlight_.pop_front();
  if (!ok_) return;
  if (!piece.ok || !Emit(piece.deflated.data(), static_cast<uint32_t>(piece.deflated.size()))) {
    ok_ = false;
    return;
  }
  if (format_ == Format::kZlib)
    adler_ = static_cast<uint32_t>(adler32_combine(adler_, piece.check, piece.length));
  else
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, piece.check, piece.length));
  inputLength_ += piece.length;
}

bool ParallelDeflater::End(bool final) try {
  if (ok_ && !started_) Add(nullptr, 0);
  if (ok_) StartPiece(/*last=*/true, final || format_ == Format::kZlib);
  while (!inFlight_.empty()) CollectOne();
  if (ok_ && format_ == Format::kZlib) {
    const char trailer[4] = {static_cast<char>(adler_ >> 24), static_cast<char>(adler_ >> 16),
                             static_cast<char>(adler_ >> 8), static_cast<char>(adler_)};
    ok_ = Emit(trailer, 4);
  }
  const bool done = ok_;
  ok_ = false;  // the stream is complete: nothing more can be added
  return done;
} catch (const std::exception&) {
  ok_ = false;
  inFlight_.clear();
  return false;
}

String ParallelDeflater::Finish() {
  if (!End()) return String();
  return std::move(out_);
}

}  // namespace Vadu

// gzip files (RFC 1952): a file of one or more members read as one inflated stream, and the
// header of a member as stored, so that a file written anew can keep it (name, time, system,
// extra field, comment and header CRC).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/file_system.h"
#include "support/parallel_deflate.h"
#include "support/string_base.h"
#include "support/zlib_codec.h"

namespace Vadu {

// The longest member header a reader takes (its name, comment and extra field included).
constexpr uint32_t kMaxGzipHeader = 1u << 20;

// The length of the gzip member header at the start of `bytes`; 0 while `bytes` end inside it.
// Nothing when they start no gzip header: another magic or method, reserved flags set, or a
// header CRC that does not match.
std::optional<uint32_t> GzipHeaderLength(const String& bytes);

// The eight bytes that end a member: the CRC-32 and the length (modulo 2^32) of its data.
String GzipTrailer(uint32_t crc, uint64_t length);

// Writes one gzip member: a header, the data compressed on every core at level 6, and the trailer,
// into `output` as it is made.
class GzipWriter {
 public:
  using Output = std::function<bool(const char* data, uint64_t count)>;
  // `header` is a member header as stored (one read from another file, to keep it); empty gives a
  // plain one (no name, no time).
  GzipWriter(const String& header, Output output);
  ~GzipWriter();
  GzipWriter(const GzipWriter&) = delete;
  GzipWriter& operator=(const GzipWriter&) = delete;

  // Takes the next bytes of the data. False once anything has failed.
  bool Add(const char* data, uint32_t count);
  bool Add(const String& bytes) { return Add(bytes.Data(), bytes.Length()); }
  // Ends the member; false when anything failed.
  bool End();
  // The bytes of data taken so far.
  uint64_t Length() const { return length_; }

 private:
  Output output_;
  std::unique_ptr<ParallelDeflater> deflater_;
  uint64_t length_ = 0;
  bool ok_ = true;
};

// Where a deflate block of a member ends: the bit of the file after it, how much data the blocks
// before it hold, and the CRC-32 of that data.
struct DeflateBoundary {
  uint64_t bit = 0;
  uint64_t offset = 0;
  uint32_t crc = 0;
};

// A boundary where inflation can start again: with the 32 KiB of data before it (less at the
// start), which back-references after it may reach.
struct DeflateAccessPoint {
  DeflateBoundary boundary;
  std::string window;
};

// The block boundaries of a file of one gzip member, as reading it finds them, so that a changed
// file can keep the compressed data before and after a change: a boundary at the start of the
// data, then one after every block but the last; access points at least every kAccessSpacing
// bytes of data at first, further apart as the file grows, so that at most kMaxAccessPoints are
// kept.
struct GzipIndex {
  static constexpr uint64_t kAccessSpacing = uint64_t{1} << 20;
  static constexpr size_t kMaxAccessPoints = 256;

  bool usable = false;      // one member, read whole
  uint64_t dataEndBit = 0;  // the bit after the member's last block
  std::vector<DeflateBoundary> boundaries;
  std::vector<DeflateAccessPoint> accessPoints;
  uint32_t crc = 0;     // of the whole data
  uint64_t length = 0;  // of the whole data
};

// What reading a gzip file found.
struct GzipReading {
  String firstHeader;  // the first member's header, as stored
  uint32_t members = 0;
  uint64_t inflated = 0;  // bytes handed to the sink
  String failure;         // why the file was refused, for the log; empty when it was read whole
};

// Inflates the members of the file one after another into `sink`, as one stream. Refused (a
// failure is given): a file that does not start with a member, a member that is malformed or cut
// short, a CRC-32 or length that does not match its data, bytes after the last member that are not
// all zeros (tape padding), a sink that stopped it, or bytes that cannot be read.
// With `index`, a file of one member is indexed as it is read.
GzipReading InflateGzipFile(const FileReader& file, const InflateSink& sink,
                            GzipIndex* index = nullptr);
// The same for a file held in memory.
GzipReading InflateGzipBytes(const String& bytes, const InflateSink& sink);

// Inflates `length` bytes of the member's data from an access point of its index into `sink`.
// False when they cannot be read or inflated, or the sink stopped it.
bool InflateFromAccessPoint(const FileReader& file, const DeflateAccessPoint& point,
                            uint64_t length, const InflateSink& sink);

// Copies the bits of the file from `from` to `to` into `output` as whole bytes: the first bit of
// the range becomes the lowest bit of the first byte, and the last byte is padded with zero bits.
bool CopyFileBits(const FileReader& file, uint64_t from, uint64_t to,
                  const std::function<bool(const char* data, uint64_t count)>& output);

// The CRC-32 of data made of a first part with CRC-32 `first` and a second of `length` bytes with
// `second`.
uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t length);
// The CRC-32 of the last `length` bytes of data whose whole CRC-32 is `whole` and whose first part
// has `head`.
uint32_t Crc32OfRest(uint32_t whole, uint32_t head, uint64_t length);

}  // namespace Vadu

// gzip files (RFC 1952): a file of one or more members read as one inflated stream, and the
// header of a member as stored, so that a file written anew can keep it (name, time, system,
// extra field, comment and header CRC).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

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
GzipReading InflateGzipFile(const FileReader& file, const InflateSink& sink);
// The same for a file held in memory.
GzipReading InflateGzipBytes(const String& bytes, const InflateSink& sink);

}  // namespace Vadu

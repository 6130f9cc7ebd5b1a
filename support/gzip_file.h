// gzip files (RFC 1952): a file of one or more members read as one inflated stream, and the
// header of a member as stored, so that a file written anew can keep it (name, time, system,
// extra field, comment and header CRC).
#pragma once

#include <cstdint>
#include <optional>

#include "support/file_system.h"
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

// One-shot zlib compression and decompression of whole byte strings (RFC 1950 streams with the
// default window), working through a 16 KiB output buffer whose pieces are joined once.
#pragma once

#include <cstdint>
#include <optional>

#include "support/string_base.h"

namespace Vadu {

// Compression level of the resource payloads.
constexpr int kDefaultCompressionLevel = 6;

// Most raw bytes one stream may inflate to (1 GiB). A stream that would inflate past it is treated
// as corrupt, so a small crafted payload cannot exhaust memory.
constexpr uint64_t kMaxInflatedSize = uint64_t{1} << 30;

// The zlib stream of `bytes`; empty on failure (a valid stream is never empty), including a
// result too long for a string.
String Deflate(const String& bytes, int level = kDefaultCompressionLevel);

// The data of the zlib stream at the start of `bytes` (bytes after the stream's end are ignored).
// Nothing when the stream is malformed, cut short, or would inflate to more than `limit` bytes or
// more than a string can hold.
std::optional<String> TryInflate(const String& bytes, uint64_t limit = kMaxInflatedSize);

// TryInflate with an empty result for every failure.
String Inflate(const String& bytes, uint64_t limit = kMaxInflatedSize);

}  // namespace Vadu

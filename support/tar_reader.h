// Reads a tar archive as a stream of bytes, fed in pieces of any size, entry by entry: where each
// entry lies, its name and link as extraction would use them (pax records over GNU long names over
// the header), and its stored data. Nothing is interpreted beyond that: sparse maps are skipped,
// not decoded, so that a caller can copy every entry it does not change byte for byte.
//
// Accepted: ustar, GNU (long names and links, old sparse headers with their extension blocks), pax
// extended and global headers (sparse formats 0.0, 0.1 and 1.0 included), v7 headers, checksums
// summed with signed bytes, and an archive that ends with one zero block or none. Whatever follows
// the first zero block is not read. Refused: a bad checksum, a number that is not one, a record
// that is malformed, an extended header larger than kMaxTarExtensionSize, headers of one entry
// larger than kMaxTarHeaderGroup, and a stream that ends inside an entry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "support/string_base.h"
#include "support/tar_format.h"

namespace Vadu {

// The largest pax extended header or GNU long name a reader takes.
constexpr uint32_t kMaxTarExtensionSize = 1u << 20;
// The largest run of header blocks (extended headers, the header, sparse extension blocks) of one
// entry.
constexpr uint32_t kMaxTarHeaderGroup = 4u << 20;

struct TarEntry {
  // Offsets in the archive.
  uint64_t start = 0;   // the entry's first block: its first extended header, else its header
  uint64_t header = 0;  // its own header block
  uint64_t data = 0;    // its stored data, after any sparse extension blocks
  uint64_t size = 0;    // how many bytes of data are stored
  uint64_t end = 0;     // after the data's padding, where the next entry starts

  char type = TarType::kRegular;
  TarDialect dialect = TarDialect::kUstar;
  String name;
  String linkName;
  // Its data is a sparse file's (a GNU sparse header, or pax GNU.sparse records).
  bool sparse = false;
  // Which of the name's forms the archive holds, so that a changed name can take the same form.
  bool paxPath = false, paxLinkPath = false, paxSize = false;
  bool gnuLongName = false, gnuLongLink = false;

  bool IsRegularFile() const;
  bool IsHardLink() const { return type == TarType::kHardLink; }
  bool IsSymbolicLink() const { return type == TarType::kSymbolicLink; }
};

class TarReader {
 public:
  // Called once an entry's headers have been read, before its data, with the bytes of those
  // headers (from `start` to `data`). Returning false stops the reading.
  using EntryHandler = std::function<bool(const TarEntry& entry, const String& headers)>;
  // Called with an entry's stored data, piece by piece (no padding). Returning false stops it.
  using DataHandler = std::function<bool(const TarEntry& entry, const char* data, uint32_t count)>;

  explicit TarReader(EntryHandler onEntry, DataHandler onData = nullptr);

  // Takes the next bytes of the archive. False once the archive was found malformed or a handler
  // stopped the reading; Failure() tells which.
  bool Feed(const char* data, size_t count);
  // Called at the end of the stream: false when it ends inside an entry.
  bool Finish();

  // Where the first end-of-archive block begins; nothing while none has been read.
  std::optional<uint64_t> EndOfEntries() const { return endOfEntries_; }
  // Bytes taken so far.
  uint64_t Position() const { return position_; }
  // Why the archive was refused, for the log; empty when it was not.
  const String& Failure() const { return failure_; }

 private:
  enum class State { kHeader, kExtensionData, kSparseExtension, kData, kPadding, kAfterEnd };

  bool Fail(const String& why);
  // Handles a complete header block in block_.
  bool TakeHeader();
  // Handles a complete extension block of an old GNU sparse header in block_.
  bool TakeSparseExtension();
  // Handles the complete data of an extended header (pax records or a GNU long name).
  bool TakeExtension();
  // The entry's headers are complete: hands it over and goes on to its data.
  bool StartData();

  EntryHandler onEntry_;
  DataHandler onData_;
  State state_ = State::kHeader;
  uint64_t position_ = 0;
  std::optional<uint64_t> endOfEntries_;
  String failure_;

  // The block being gathered and how much of it is there.
  unsigned char block_[kTarBlockSize] = {};
  uint32_t filled_ = 0;
  // The headers of the entry being read, and what its extended headers said.
  String headers_;
  TarEntry entry_;
  bool inEntry_ = false;
  char extensionType_ = 0;
  uint64_t extensionSize_ = 0, extensionLeft_ = 0;
  String extension_;
  std::vector<PaxRecord> pax_;
  std::optional<String> longName_, longLink_;
  // Data and padding still to come.
  uint64_t left_ = 0;
};

}  // namespace Vadu

// The tar archive format, block by block: the fields of a header block, its numbers and checksum,
// ustar names, and pax extended-header records. Readers and writers of archives build on it
// (tar_reader.h, tar_rewrite.h).
//
// A header block is 512 bytes. Numbers are octal text, or, when they do not fit, base-256 (the
// first byte's high bit set, as GNU tar writes sizes past 8 GiB). Three dialects share the layout:
// POSIX ustar ("ustar\0" "00": a 155-byte prefix joins the name), GNU ("ustar  \0": the prefix
// area holds other fields; long names travel in 'L' and 'K' entries before the header) and v7 (no
// magic). pax adds 'x' entries whose records ("<length> <key>=<value>\n") override the header of
// the entry that follows, and 'g' entries whose records apply to every later entry.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

constexpr uint32_t kTarBlockSize = 512;

// Where a field lies in a header block.
struct TarField {
  uint32_t offset;
  uint32_t size;
};

namespace TarFields {
inline constexpr TarField kName{0, 100}, kMode{100, 8}, kUid{108, 8}, kGid{116, 8}, kSize{124, 12},
    kMtime{136, 12}, kChecksum{148, 8}, kType{156, 1}, kLinkName{157, 100}, kMagic{257, 8},
    kUname{265, 32}, kGname{297, 32}, kDevMajor{329, 8}, kDevMinor{337, 8}, kPrefix{345, 155};
// GNU's old sparse headers: whether extension blocks follow, in the header and in each extension.
inline constexpr TarField kGnuIsExtended{482, 1}, kGnuExtensionIsExtended{504, 1};
}  // namespace TarFields

// The header dialects, told by the magic field.
enum class TarDialect { kV7, kUstar, kGnu };

// Entry types (the type flag) the archive code treats specially.
namespace TarType {
inline constexpr char kRegular = '0', kRegularOld = '\0', kHardLink = '1', kSymbolicLink = '2',
                      kDirectory = '5', kContiguous = '7', kPaxExtended = 'x', kPaxGlobal = 'g',
                      kGnuLongName = 'L', kGnuLongLink = 'K', kGnuSparse = 'S';
}  // namespace TarType

// A header block (512 bytes), read in place.
class TarHeaderView {
 public:
  explicit TarHeaderView(const unsigned char* block) : block_(block) {}

  // Every byte zero: an end-of-archive block.
  bool IsZero() const;
  // The checksum field holds the sum of the block's bytes, the field itself read as spaces: as
  // unsigned bytes (the standard) or as signed ones (some old writers).
  bool ChecksumMatches() const;
  TarDialect Dialect() const;
  char Type() const { return static_cast<char>(block_[TarFields::kType.offset]); }
  // A text field up to its first zero byte.
  String Text(TarField field) const;
  // A numeric field; nothing when it is neither octal nor base-256, or is negative.
  std::optional<uint64_t> Number(TarField field) const;
  // The entry's name as the header alone gives it: the ustar prefix joined to the name.
  String Name() const;

 private:
  const unsigned char* block_;
};

// Writes `value` into a numeric field: octal text ending in a zero byte where it fits, else
// base-256.
void SetTarNumber(unsigned char* block, TarField field, uint64_t value);
// Writes text into a field, zero-filled; text longer than the field is cut.
void SetTarText(unsigned char* block, TarField field, const String& text);
// Computes the checksum of a header block and writes it, as GNU tar does ("%06o\0 ").
void SetTarChecksum(unsigned char* block);

// Splits a name into the ustar prefix and name fields; false when it cannot be split so (no "/"
// at which both parts fit).
bool SplitUstarName(const String& name, String* prefix, String* rest);

// The bytes a header block's data takes in the archive: `size` rounded up to whole blocks.
// Nothing when that overflows.
std::optional<uint64_t> TarPaddedSize(uint64_t size);

// One record of a pax extended header.
struct PaxRecord {
  String key;
  String value;
  uint32_t stored = 0;  // the length of the record as stored
};

// Reads the records of a pax extended header's data; nothing when it is malformed (a length that
// is not decimal, runs past the data or does not end in a newline, a record without "=").
std::optional<std::vector<PaxRecord>> ParsePaxRecords(const String& data);
// One record as it is stored: its length counts the digits of the length itself.
String PaxRecordText(const String& key, const String& value);

}  // namespace Vadu

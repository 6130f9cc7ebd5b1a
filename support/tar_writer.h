// Writes tar entries anew (for archives the utility makes itself, not for entries it copies): POSIX
// ustar headers, with a pax extended header before them where a name, a link name or a size does
// not fit, as GNU tar's pax format writes them.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

struct TarWriteEntry {
  enum class Kind { kFile, kDirectory, kSymbolicLink };
  Kind kind = Kind::kFile;
  String name;           // with "/" between components; a folder's gets a "/" at its end
  String linkName;       // what a symbolic link points at
  uint32_t mode = 0644;  // permission bits, set-ID and sticky bits included
  uint64_t size = 0;     // a file's data, which follows the headers, padded to whole blocks
  int64_t mtime = 0;     // seconds since 1970
  uint32_t uid = 0, gid = 0;
  String uname, gname;
};

// The header blocks of an entry.
String TarHeadersFor(const TarWriteEntry& entry);

// The zero bytes that pad `size` bytes of data to whole blocks.
String TarPadding(uint64_t size);

// The end of an archive: two zero blocks.
String TarEnd();

}  // namespace Vadu
